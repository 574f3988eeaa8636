#include "store/PasswordHash.h"

#include <cstring>
#include <sodium.h>

namespace {
bool sodiumReady() {
    // sodium_init is safe to call from several threads and more than once.
    static const bool ready = sodium_init() >= 0;
    return ready;
}
} // namespace

QByteArray PasswordHash::Make(const QByteArray& password) {
    if (!sodiumReady())
        return {};
    char out[crypto_pwhash_STRBYTES];
    // The interactive cost (64 MiB, two passes): a fraction of a second at each sign-in, and far
    // beyond what a guesser with the store file can afford per guess.
    if (crypto_pwhash_str(out, password.constData(), quint64(password.size()),
                          crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
        return {};
    return QByteArray(out);
}

bool PasswordHash::Matches(const QByteArray& encoded, const QByteArray& password) {
    if (!sodiumReady() || encoded.isEmpty() || encoded.size() >= crypto_pwhash_STRBYTES ||
        !encoded.startsWith("$argon2id$"))
        return false;
    // The library reads a NUL-terminated text of at most STRBYTES.
    char stored[crypto_pwhash_STRBYTES] = {};
    std::memcpy(stored, encoded.constData(), size_t(encoded.size()));
    return crypto_pwhash_str_verify(stored, password.constData(), quint64(password.size())) == 0;
}

void PasswordHash::Wipe(QByteArray& password) {
    if (!password.isEmpty())
        sodium_memzero(password.data(), size_t(password.size()));
    password.clear();
}
