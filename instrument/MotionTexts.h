#pragma once

#include <QString>

// Every text that moves, the moving window and the zero window put before the operator.
namespace MotionTexts {

inline const QString ProgramEnding = QStringLiteral("PROGRAM ENDING");

// Reported move endings
inline const QString ContactTitle = QStringLiteral("CONTACT DETECTED");
inline const QString Contact = QStringLiteral("Faceplates in unexpected contact");
inline const QString HardLimitTitle = QStringLiteral("HARD LIMIT");
inline const QString HardLimit = QStringLiteral("Hard limit detected");
inline const QString NotSafeTitle = QStringLiteral("NOT SAFE TO MOVE");
inline const QString ContactDisabled = QStringLiteral("Contact detection is disabled");
inline const QString Overload = QStringLiteral("The load cell signal is too high. The "
                                               "load cell could be overloaded and might be damaged if "
                                               "loaded further.");
inline const QString LocalControlTitle = QStringLiteral("DRIVE UNDER LOCAL CONTROL");
inline const QString LocalControl = QStringLiteral("Stepper motor drive is in local control mode");

inline const QString Interrupted =
    QStringLiteral("Motion interrupted by user\r\nDo you want to end the move?");

// Moving window
inline const QString MovingCaption = QStringLiteral("MOTOR MOVING");
inline const QString Stop = QStringLiteral("STOP");
inline const QString LockKeyboard = QStringLiteral("Lock keyboard");
inline const QString StopLocked =
    QStringLiteral("Press the enter key or click the button to stop the motor.");
inline const QString StopAnyKey = QStringLiteral("Press any key or click the button to stop the motor.");
inline const QString LoadPrefix = QStringLiteral("Load ");
inline const QString MaxPrefix = QStringLiteral(" max ");
inline const QString Newtons = QStringLiteral(" N");
// Readouts of a break run
inline const QString SpecimenPrefix = QStringLiteral("Specimen ");
inline const QString ElapsedPrefix = QStringLiteral("Elapsed ");
inline const QString TypicalBreakBefore = QStringLiteral(" of about ");
inline const QString TypicalBreakAfter = QStringLiteral(" s to a typical break");
inline const QString ProgressFormat = QStringLiteral("%p % of a typical break");
inline const QString PastTypicalBreak = QStringLiteral("past a typical break");

// Homing
inline const QString ClosedLimitCaption = QStringLiteral("MOVE TO CLOSED LIMIT");
inline const QString ZeroCaption = QStringLiteral("MOVE TO ZERO POSITION");
inline const QString TryAgain = QStringLiteral("Try again?");
inline const QString ClosedLimitNotFoundTitle = QStringLiteral("CLOSED LIMIT NOT FOUND");
inline const QString ClosedLimitNotFound = QStringLiteral("Did not find closed limit");
inline const QString ZeroNotValidTitle = QStringLiteral("ZERO POSITION NOT VALID");

// Zero window
inline const QString ZeroWindowCaption = QStringLiteral("SYNCHRONIZE POSITIONS");
inline const QString RunToZero = QStringLiteral("&Run to close limit");
inline const QString RunToContact =
    QStringLiteral("Run capstan until the closed hard limit is detected, back "
                   "off 500 \u00B5m, set that position to zero");
inline const QString SetPosition = QStringLiteral("&Set position");
inline const QString Cancel = QStringLiteral("&Cancel");
inline const QString ZeroIndicatorTitle = QStringLiteral("ZERO POSITION INDICATOR");
inline const QString ZeroIndicator = QStringLiteral("Zero stepper motor drive");
inline const QString AskPosition = QStringLiteral("What is the current position in steps?");
inline const QString AskPositionTitle = QStringLiteral("SET POSITION");
inline const QString NotSynchronizedTitle = QStringLiteral("POSITIONS NOT YET SYNCHRONIZED");
inline const QString NotSynchronized =
    QStringLiteral("The motor position MUST be synchronized with the program. \r\n"
                   "Do you want to try again (Retry) or quit the program (Cancel)?");

// Start-up
inline QString keptPosition(qint32 position) {
    return QStringLiteral("The position recovered from the System Controller is ") +
           QString::number(position) + QStringLiteral("\r\nDo you want to accept this value?");
}

// The System Controller's input lines ("R"), bit 0 first, as the diagnostics label them.
inline const QString InputLines[8] = {QStringLiteral("LpI / Jog+"),  QStringLiteral("Key"),
                                      QStringLiteral("Jog-"),        QStringLiteral("Disable / Use Fan"),
                                      QStringLiteral("Close Limit"), QStringLiteral("Open Limit"),
                                      QStringLiteral("Break"),       QStringLiteral("Contact")};

// Break sound
inline const QString Beep = QStringLiteral("Beep");
inline const QString SoundsFolder = QStringLiteral("Sounds");

} // namespace MotionTexts
