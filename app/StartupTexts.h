#pragma once

#include <QString>

// Texts that start-up, shutdown and the shell windows put before the operator, exactly as shown.
namespace StartupTexts {
inline const QString ProgramEndingTitle = QStringLiteral("PROGRAM ENDING");

inline const QString SecondInstance =
    QStringLiteral("Only one instance of STAVELY is permitted\r\n at a time. This instance is terminating.");
inline const QString SecondInstanceTitle = QStringLiteral("THIS INSTANCE OF STAVELY IS CLOSING");

inline const QString NoPrecisionTimer = QStringLiteral(
    "This computer does not implement a precision timer.\rThe STAVELY program can not be run on "
    "this computer. \rPlease try running STAVELY on a newer computer.");
inline const QString TimerTooSlow = QStringLiteral(
    "The high precision timer does not run fast enough on this\rcomputer for the STAVELY program "
    "to run smoothly. \rPlease try running STAVELY on a faster computer.");

inline const QString VersionsDiffer =
    QStringLiteral("Warning: project and predefined version numbers differ!\r\r");

inline const QString ExitQuestion = QStringLiteral("Are you sure you want to exit the program?");
inline const QString ExitTitle = QStringLiteral("EXIT PROGRAM");

inline const QString SysInfoUnavailable = QStringLiteral("System Information Is Unavailable At This Time");
inline const QString HelpNotOpened = QStringLiteral("The help file could not be opened:\r\n");
inline const QString SimulatorNotStarted = QStringLiteral("The simulated instrument could not be started:\r\n");

inline const QString SplashLine = QStringLiteral("Strength testing of optical fibers");

inline const QString NoDisplay =
    QStringLiteral("STAVELY needs a graphical display, but neither DISPLAY nor WAYLAND_DISPLAY is set "
                   "(try xvfb-run, or QT_QPA_PLATFORM=offscreen).");
inline const QString Usage =
    QStringLiteral("Usage: stavely [--settings FILE] [--simulate] | stavely --stats DATAFILE | "
                   "stavely --report FILE.pdf DATAFILE");
} // namespace StartupTexts
