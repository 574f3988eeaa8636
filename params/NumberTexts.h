#pragma once

#include <QString>

// Texts of the refusals of a typed or stored number, kept together so tests compare them exactly.
namespace NumberTexts {
inline const QString MustBeNumber = QStringLiteral(" must be a number");
inline const QString OutsideTheRange = QStringLiteral(" is outside the range ");
// The title of a typed entry refused, and of the options window's values refused.
inline const QString BadValueTitle = QStringLiteral("Bad value");
inline const QString BadParameterTitle = QStringLiteral("BAD VALUE");
} // namespace NumberTexts
