#pragma once

#include <QString>
#include <QStringList>

// Captions and tool tips of the options and preload speed windows, as the operator sees them.
namespace OptionsTexts {
inline const QString Caption = QStringLiteral("OPTIONS MENU");
inline const QString LoadTimeFrame = QStringLiteral("Save Load/Time Data");
inline const QString SaveLTData = QStringLiteral("Automatically save load/time data");
inline const QString SaveLTPlots = QStringLiteral("Automatically save load/time graphs");
inline const QString MiscFrame = QStringLiteral("Miscellaneous");
inline const QString MaxStepRateLabel = QStringLiteral("Maximum step rate");
inline const QString MaxStepRateTip =
    QStringLiteral("Set the maximum motor stepping rate - smaller values result in smoother motor operation");
inline const QString ReverseSense = QStringLiteral("ReverseSense - reverse motor");
inline const QString ReverseSenseTip =
    QStringLiteral("When checked the sense of rotation of the stepper motor is reversed (ReverseSense)");
inline const QString Noisy = QStringLiteral("Noisy - click when motor steps");
inline const QString NoisyTip = QStringLiteral("Click speaker for each step - useful feedback (Noisy)");
inline const QString WaveListLabel = QStringLiteral("Sound to play when a fiber breaks:");
inline const QString WaveListTip = QStringLiteral("Select a sound to play when a fiber break is detected");
inline const QString PlayTip = QStringLiteral("Play the selected sound");
inline const QString Play = QStringLiteral("Play");
inline const QString StaticFrame = QStringLiteral("Static Test");
inline const QString StaticMaxHoldLabel = QStringLiteral("Longest hold (0 = until it breaks)");
inline const QString StaticMaxHoldTip =
    QStringLiteral("A fiber that holds its load this long is unloaded and may be recorded as a run-out");
inline const QString LabFrame = QStringLiteral("Lab database");
inline const QString LabDatabaseTip =
    QStringLiteral("The laboratory's PostgreSQL server that collects every tester's results, as a URI or "
                   "connection string; the password goes in ~/.pgpass, never here");
inline const QString LabDatabasePlaceholder =
    QStringLiteral("postgresql://tester3@labserver/results?sslmode=verify-full");
inline const QString LabDatabaseNone = QStringLiteral("Results are kept on this computer only.");
inline const QString LabDatabaseSet =
    QStringLiteral("Results are kept on this computer and sent to the lab database.");
inline const QString GapLabel = QStringLiteral("Faceplate cleaning gap");
inline const QString ConfigFrame = QStringLiteral("Configuration Files");
inline const QString ReadCfg = QStringLiteral("&Read file");
inline const QString ReadCfgTip = QStringLiteral("Read configuration parameters from file");
inline const QString ReadCfgLabel = QStringLiteral("Read configuration file");
inline const QString WriteCfg = QStringLiteral("&Write file");
inline const QString WriteCfgTip = QStringLiteral("Write all configuration parameters to file");
inline const QString WriteCfgLabel = QStringLiteral("Write all configurable parameters to file");
inline const QString WriteDiffCfg = QStringLiteral("Write &changes ");
inline const QString WriteDiffCfgTip = QStringLiteral("Write changed configuration parameters to file");
inline const QString WriteDiffCfgLabel = QStringLiteral("Write only changes from default values");
inline const QString ResetCfg = QStringLiteral("Re&set to defaults");
inline const QString ResetCfgTip = QStringLiteral("Reset all parameters to default values");
inline const QString ResetCfgLabel = QStringLiteral("Reset all parameters to their default values");
// The program's own wording, misspelling included.
inline const QString ConfigNote =
    QStringLiteral("Configuration files are used to load program configuartion parameters automatically. "
                   "They avoid the need to manually set up various inside the program.");
inline const QString Done = QStringLiteral("&Done");
inline const QString DoneTip = QStringLiteral("Exit this window");

// The sound list.
inline const QString BeepEntry = QStringLiteral("Beep (default)");
inline const QString Beep = QStringLiteral("Beep");
inline const QString SoundsFolder = QStringLiteral("Sounds");

// The preload speed window.
inline const QString PreloadCaption = QStringLiteral("PRELOAD SPEED");
inline const QString PreloadTitle = QStringLiteral("Specify the Speed for Preloading");
inline const QString PreloadMaximum = QStringLiteral("Maximum - ");
inline const QString MicronsPerSecond = QStringLiteral(" µm/s");
inline const QString StandardName = QStringLiteral("FOTP-28C");
inline const QString PreloadNominal =
    QStringLiteral("0.3 %/min") + QStringLiteral(" (nominal) - specified by ") + StandardName;
inline const QString PreloadUser = QStringLiteral("User specified");
inline const QString PreloadUnit = QStringLiteral("µm/s");
inline const QString PreloadDescription =
    QStringLiteral("Standard test procedures (e.g. ") + StandardName +
    QStringLiteral(") specify that specimens can be quickly loaded to about 50% of the ") +
    QStringLiteral("failure stress. Typically the preload speed is also specified. That ") +
    QStringLiteral("speed is set here.");
inline const QString OK = QStringLiteral("OK");

// The settings file, when it can not be read as it is.
inline QString SettingsFileSpecial(const QString& file) {
    return QStringLiteral("The settings file\r\n") + file +
           QStringLiteral(
               "\r\nis a device or other special file, not a file. Every setting has been reset to "
               "its default, and the settings of this run are not kept.");
}
inline QString SettingsFileUnreadable(const QString& file, const QString& aside) {
    return QStringLiteral("The settings file\r\n") + file +
           QStringLiteral(
               "\r\nholds binary data or UTF-16 text, not settings. Every setting has been reset to "
               "its default.") +
           (aside.isEmpty() ? QStringLiteral(" The settings of this run are not kept.")
                            : QStringLiteral(" The file has been kept as\r\n") + aside);
}
inline QString SettingsQuoteOpen(const QString& file, const QStringList& lines) {
    return QStringLiteral("In the settings file\r\n") + file +
           QStringLiteral("\r\na quotation mark is not closed on ") + lines.join(QStringLiteral(", ")) +
           QStringLiteral(". Those settings have been reset to their defaults; the lines after them are read "
                          "as they are.");
}
} // namespace OptionsTexts
