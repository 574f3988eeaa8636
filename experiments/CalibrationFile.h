#pragma once

#include "instrument/LoadCalibration.h"

#include <QString>
#include <optional>

// Load-cell calibration files (*.cal): one record in its stored text form, Windows-1252 text.
namespace CalibrationFile {
// The record a file's text holds, or nullopt when the text is not a calibration: it must split into
// 9 or 10 fields at the commas, fields 1 to 8 numeric, the slope at least 0.00001 and the channel
// 0 to 12. A tenth field is the tare; without it the tare is 0.
std::optional<LoadCalibration> parse(const QString& text);

// The whole file as text; nullopt (and *error set) when it cannot be read or is no ordinary file.
std::optional<QString> read(const QString& fileName, QString* error = nullptr);

struct WriteError {
    int number = 0;
    QString description;
};
// Writes the record's text form as the whole file (one line); nullopt when it was written.
std::optional<WriteError> write(const QString& fileName, const LoadCalibration& record);
} // namespace CalibrationFile
