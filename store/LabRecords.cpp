#include "store/LabRecords.h"

#include "results/DataLine.h"
#include "store/ResultIdentity.h"
#include "store/ResultsDatabase.h"

#include <QCryptographicHash>

namespace {
int columnOf(const char* name) {
    return int(ResultsDatabase::ResultColumns().indexOf(QLatin1String(name)));
}

// A stored text item; a missing value is written "-".
QString textItem(const QList<QByteArray>& items, const char* column) {
    const QByteArray item = items.value(columnOf(column));
    return item == "-" ? QString() : QString::fromUtf8(item);
}
} // namespace

std::optional<QList<QByteArray>> LabResult::Items(const QByteArray& canonical) {
    QList<QByteArray> items;
    qsizetype at = 0;
    while (at < canonical.size()) {
        const qsizetype colon = canonical.indexOf(':', at);
        if (colon < 0)
            return std::nullopt;
        bool ok = false;
        const qsizetype length = canonical.mid(at, colon - at).toLongLong(&ok);
        if (!ok || length < 0 || colon + 1 + length >= canonical.size() ||
            canonical[colon + 1 + length] != ';')
            return std::nullopt;
        items << canonical.mid(colon + 1, length);
        at = colon + 2 + length;
    }
    return items;
}

bool LabResult::fillFromContent() {
    const std::optional<QList<QByteArray>> items = Items(content);
    if (!items || items->size() != ResultsDatabase::ResultColumns().size())
        return false;
    uuid = textItem(*items, "uuid");
    dataFile = textItem(*items, "data_file");
    rowNumber = textItem(*items, "row_number").toInt();
    line = textItem(*items, "line");
    sample = textItem(*items, "sample");
    operatorName = textItem(*items, "operator");
    testedAt = textItem(*items, "tested_at");
    nominalRate = textItem(*items, "nominal_rate");
    bool ok = false;
    const double stress = textItem(*items, "stress_mpa").toDouble(&ok);
    stressMPa = ok ? std::optional<double>(stress) : std::nullopt;
    specimen = SpecimenOf(line);
    return true;
}

bool LabResult::matchesContent() const {
    LabResult fromContent;
    fromContent.content = content;
    if (!fromContent.fillFromContent())
        return false;
    const std::optional<QList<QByteArray>> items = Items(content);
    const QByteArray recordHash = items->value(columnOf("record_sha256"));
    const bool recordMatches =
        record.isEmpty() ? recordHash == "-"
                         : QCryptographicHash::hash(record, QCryptographicHash::Sha256).toHex() == recordHash;
    return recordMatches && fromContent.uuid == uuid && fromContent.dataFile == dataFile &&
           fromContent.rowNumber == rowNumber && fromContent.line == line && fromContent.sample == sample &&
           fromContent.operatorName == operatorName && fromContent.testedAt == testedAt &&
           fromContent.nominalRate == nominalRate && fromContent.stressMPa == stressMPa;
}

QString LabResult::SpecimenOf(const QString& line) {
    if (line.trimmed().isEmpty())
        return QString();
    DataLine::Fields parsed;
    DataLine::ParseDataLine(line, parsed);
    QStringList fields;
    for (int c = 1; c < DataLine::Columns; ++c)
        fields << parsed[size_t(c)];
    return ResultIdentity::of(fields);
}
