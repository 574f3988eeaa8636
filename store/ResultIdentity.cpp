#include "store/ResultIdentity.h"

#include "params/Cp1252.h"
#include "results/DataLine.h"
#include "results/DataRow.h"
#include "store/Sha256.h"

#include <QUuid>

namespace ResultIdentity {

namespace {
QString uuidOf(Sha256& hash) {
    const std::array<unsigned char, 32> digest = hash.result();
    QByteArray bytes(reinterpret_cast<const char*>(digest.data()), 16);
    bytes[6] = char((bytes[6] & 0x0F) | 0x80); // version 8
    bytes[8] = char((bytes[8] & 0x3F) | 0x80); // RFC variant
    return QUuid::fromRfc4122(bytes).toString(QUuid::WithoutBraces);
}
} // namespace

QString of(const QStringList& fields) {
    // A name-based UUID (RFC 9562 version 8) from SHA-256 over the fields as the file holds them,
    // each ended by the unit separator so that no two splits of one text collide.
    Sha256 hash;
    hash.addData(QByteArrayView("stavely-result-1\x1f"));
    for (int column = 1; column <= DataRow::Fields; ++column) {
        if (column == DataLine::CommentsColumn)
            continue;
        hash.addData(Cp1252::encode(fields.value(column - 1)));
        hash.addData(QByteArrayView("\x1f"));
    }
    return uuidOf(hash);
}

QString of(const DataRow& row) {
    if (!row.isNarrow())
        return of(row.fields());
    // A row read from a file keeps the file's bytes: hashed as they are.
    Sha256 hash;
    hash.addData(QByteArrayView("stavely-result-1\x1f"));
    for (int column = 1; column <= DataRow::Fields; ++column) {
        if (column == DataLine::CommentsColumn)
            continue;
        hash.addData(row.bytes(column));
        hash.addData(QByteArrayView("\x1f"));
    }
    return uuidOf(hash);
}

} // namespace ResultIdentity
