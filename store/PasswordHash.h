#pragma once

#include <QByteArray>

// Slow salted password hashes (Argon2id from libsodium), kept as the library's own encoded text so
// the salt and the cost travel with the hash. The password itself is never kept.
namespace PasswordHash {
// The encoded hash of a password; empty when the library could not run (out of memory).
QByteArray Make(const QByteArray& password);
// Whether the password matches an encoded hash; false for anything that is not one.
bool Matches(const QByteArray& encoded, const QByteArray& password);
// Overwrites a password held in memory once it is no longer needed.
void Wipe(QByteArray& password);
} // namespace PasswordHash
