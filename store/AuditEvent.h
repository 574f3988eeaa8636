#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

// One entry of the audit trail: who changed what in the recorded results, the value before and after,
// chained to the entry before it by its hash.
struct AuditEvent {
    qint64 seq = 0;     // order in the store
    QString uuid;       // identity, kept when the entry is sent elsewhere
    QString utc;        // ISO 8601 with milliseconds
    QString systemUser; // the account the program ran under
    QString operatorName;
    QString kind; // StoreTexts::Event...
    QString dataFile;
    int rowNumber = 0;
    QString resultUuid;
    QString before;
    QString after;
    QByteArray hash; // hex SHA-256

    // The text the hash covers. An "added" entry covers its result through resultText, so a changed
    // stored value of the result breaks the chain too.
    QByteArray canonicalText(const QByteArray& resultText = {}) const;
    // How a check names the entry: its time, what it was, of which row, its place in the trail.
    QString describe() const;
    // SHA-256(previous hash || canonical text), hex.
    static QByteArray chainHash(const QByteArray& previousHash, const QByteArray& canonical);
};

// Builds canonical texts: each item as its UTF-8 length, a colon, the bytes and a semicolon, so no
// choice of values can make two different entries read alike.
class CanonicalText {
public:
    CanonicalText& add(const QString& text);
    CanonicalText& add(QByteArrayView bytes);
    CanonicalText& add(const QByteArray& bytes) { return add(QByteArrayView(bytes)); }
    CanonicalText& add(qint64 number);
    // Numbers in their shortest exact form (17 significant digits, as "%.17g" writes them); a
    // missing one as "-".
    CanonicalText& addNumber(const std::optional<double>& value);
    const QByteArray& bytes() const { return m_bytes; }
    // Emptied for the next text, keeping what it has grown to.
    void clear() { m_bytes.resize(0); }
    void reserve(qsizetype size) { m_bytes.reserve(size); }

private:
    QByteArray m_bytes;
};
