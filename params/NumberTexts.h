#pragma once

#include <QString>

// Texts of the refusals of a typed or stored number, kept together so tests compare them exactly.
namespace NumberTexts {
inline const QString MustBeNumber = QStringLiteral(" must be a number");
inline const QString OutsideTheRange = QStringLiteral(" is outside the range ");
// Ours: a text the settings and configuration files could not give back as it is.
inline QString CharacterNotKept(QChar c) {
    return QStringLiteral(": the character \"") + c + QLatin1Char('"') +
           QStringLiteral(" can not be kept in the settings and configuration files: only the printable "
                          "characters of the Windows-1252 code page can. Please rename the file.");
}
// The title of a typed entry refused, and of the options window's values refused.
inline const QString BadValueTitle = QStringLiteral("Bad value");
inline const QString BadParameterTitle = QStringLiteral("BAD VALUE");
} // namespace NumberTexts
