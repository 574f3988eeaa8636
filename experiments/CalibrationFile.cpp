#include "experiments/CalibrationFile.h"

#include "params/Cp1252.h"
#include "params/NumberFormat.h"
#include "params/RegularFile.h"

#include <QFile>
#include <QSaveFile>
#include <QStringList>

namespace CalibrationFile {

std::optional<LoadCalibration> parse(const QString& text) {
    const QString whole = text.trimmed();
    const QStringList fields = whole.split(QLatin1Char(','));
    if (fields.size() != 9 && fields.size() != 10)
        return std::nullopt;
    for (int i = 1; i <= 8; ++i)
        if (!isNumeric(fields[i]))
            return std::nullopt;
    // A tare that is there must be a number: read as 0 it would shift every load unnoticed.
    if (fields.size() == 10 && !fields[9].trimmed().isEmpty() && !isNumeric(fields[9]))
        return std::nullopt;
    const double channel = *toNumber(fields[1]);
    if (*toNumber(fields[2]) < MinimumSlope || channel < 0 || channel > 12)
        return std::nullopt;
    LoadCalibration record;
    if (!TextToRecord(whole, record))
        return std::nullopt;
    return record;
}

std::optional<QString> read(const QString& fileName, QString* error) {
    // One line of a few hundred characters; a pipe or a device is never waited on.
    const std::optional<QByteArray> bytes = RegularFile::ReadAll(fileName, 1024 * 1024, error);
    if (!bytes)
        return std::nullopt;
    return Cp1252::decode(*bytes);
}

std::optional<WriteError> write(const QString& fileName, const LoadCalibration& record) {
    // Written to the side and renamed into place, so a failed write leaves any earlier file whole.
    QSaveFile file(fileName);
    const QByteArray bytes = Cp1252::encode(RecordToText(record) + QStringLiteral("\r\n"));
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return std::nullopt;
    return WriteError{int(file.error()), file.errorString()};
}

} // namespace CalibrationFile
