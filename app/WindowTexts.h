#pragma once

#include <QString>

// Texts the message and status windows show, kept together so tests compare them exactly.
namespace WindowTexts {
inline const QString InvalidIcons = QStringLiteral("Invalid Icons bit in MyMsgBox.Go: ");
inline const QString Remnant = QStringLiteral(" (remnant ");
inline const QString StatusButton = QStringLiteral("OK");
inline const QString ProgressCancel = QStringLiteral("Cancel");
inline const QString WaitingFor = QStringLiteral("Waiting for ");
inline const QString Seconds = QStringLiteral(" seconds");
inline const QString WaitCancel = QStringLiteral("&Cancel");
inline const QString WaitContinue = QStringLiteral("C&ontinue");
inline const QString Increments[4] = {QStringLiteral("+10"), QStringLiteral("+60"), QStringLiteral("-10"),
                                      QStringLiteral("-60")};
constexpr double IncrementSeconds[4] = {10, 60, -10, -60};
inline const QString LongStringOk = QStringLiteral("&Ok");
inline const QString FileDoesNotExist = QStringLiteral("This file does not exist.");
inline const QString CreateFile = QStringLiteral("Do you want to create it?");
// After a file name the dialog does not take.
inline const QString ReadOnlyRefused =
    QStringLiteral("\rThis file is set read-only.\rTry again with a different file name.");

// The program writes line breaks as CR, LF or CR LF; labels break only on LF.
inline QString toDisplayLines(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}
} // namespace WindowTexts
