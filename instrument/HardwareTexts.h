#pragma once

#include <QString>
#include <array>

// Texts of the hardware window.
namespace HardwareTexts {
inline const QString Caption = QStringLiteral("HARDWARE SETUP");
inline const QString ControllerOn = QStringLiteral("System Controller on COM");
inline const QString FirmwareVersion = QStringLiteral("Firmware version ");
inline const QString InputFrame = QStringLiteral("Input  Bits");
inline const QString OutputFrame = QStringLiteral("Toggle Output Bits");
inline const QString High = QStringLiteral("High");
inline const QString Low = QStringLiteral("Low");
inline const QString StepPrefix = QStringLiteral("Step ");
inline const QString OK = QStringLiteral("OK");
inline const QString Cancel = QStringLiteral("Cancel");
inline const QString RateLabel = QStringLiteral("Toggle rate");

// Input line labels beside their levels.
inline const QString OpenLimit = QStringLiteral("Open limit");
inline const QString ClosedLimit = QStringLiteral("Closed limit");
inline const QString StopButton = QStringLiteral("Stop button");
inline const QString Break = QStringLiteral("Break");
inline const QString Contact = QStringLiteral("Contact");
inline const QString ContactDisable = QStringLiteral("Contact disable");

// Output test modes, index 1 to 6.
inline const std::array<QString, 7> OutputModes{QString(),
                                                QStringLiteral("Step open"),
                                                QStringLiteral("Step close"),
                                                QStringLiteral("Direction"),
                                                QStringLiteral("Current"),
                                                QStringLiteral("Tick"),
                                                QStringLiteral("Off")};

// The three sounds, in the program's "Sounds" folder.
inline const std::array<QString, 3> SoundFiles{QStringLiteral("HIGH.WAV"), QStringLiteral("LOW.WAV"),
                                               QStringLiteral("CHANGE.WAV")};
} // namespace HardwareTexts
