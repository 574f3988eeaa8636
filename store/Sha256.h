#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <array>
#include <cstdint>

// SHA-256 for the audit chain and result identities, which hash a kilobyte or so for every result an
// import files: on processors with SHA instructions it runs on them (a tenth of the general
// library's cost), elsewhere on a plain implementation. The digests are SHA-256's, whatever runs.
class Sha256 {
public:
    Sha256();
    void addData(QByteArrayView data);
    // The digest; the object is spent afterwards.
    std::array<unsigned char, 32> result();
    QByteArray resultHex();

    static QByteArray hash(QByteArrayView data);
    // Tests: the plain implementation even where SHA instructions are there.
    static void setPlainOnly(bool plain);

private:
    void compress(const unsigned char* blocks, size_t count);

    std::array<uint32_t, 8> m_state;
    unsigned char m_buffer[64];
    size_t m_buffered = 0;
    uint64_t m_length = 0;
};
