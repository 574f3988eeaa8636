#pragma once

#include <QString>

// Texts of the check for a newer version.
namespace UpdateTexts {
inline const QString SettingKey = QStringLiteral("UpdateServer");
inline const QString EnvironmentVariable = QStringLiteral("STAVELY_UPDATE_URL");
inline const QString DefaultServer = QStringLiteral("https://downloads.corvane.example/stavely/");
inline const QString VersionFileName = QStringLiteral("versions.txt");
inline const QString OK = QStringLiteral("&OK");
inline const QString LineBreak = QStringLiteral("\r\n");

inline const QString SupportLine =
    QStringLiteral("Please contact Corvane support at support@corvane.example for help, or try again later.");

inline const QString ErrorTitle = QStringLiteral("ERROR ACCESSING VERSION SERVER");
inline const QString ErrorText =
    QStringLiteral("An error occurred while attempting to obtain version information:");
inline const QString FileNotFound = QStringLiteral("File not found");
inline const QString EmptyTitle = QStringLiteral("EMPTY VERSION FILE");
inline const QString EmptyText = QStringLiteral("The version information file was empty.");
inline const QString NewerTitle = QStringLiteral("NEWER VERSION AVAILABLE");
inline const QString NoInformation = QStringLiteral("No information on the latest version was found.");
inline const QString LatestTitle = QStringLiteral("RUNNING LATEST VERSION");
inline const QString NewerThanNewTitle = QStringLiteral("RUNNING NEWER THAN NEW VERSION !");
inline const QString CopiedNote =
    QStringLiteral("For your convenience, this URL has been copied to the clipboard.");

// Failures of the fetch that the network library does not name itself.
inline const QString TimedOut = QStringLiteral("The version server did not answer within 20 seconds.");
inline const QString TooLarge = QStringLiteral("The version file is larger than 65536 bytes.");
inline const QString OtherScheme =
    QStringLiteral("The version server redirected to another kind of address: ");
inline const QString BadAddress =
    QStringLiteral("The version server address is not an http or https address: ");
// While the server is asked, and a second request meanwhile.
inline const QString Waiting = QStringLiteral(
    "Asking the version server for the latest version... (Check for newer version again to cancel.)");
inline const QString WaitingTitle = QStringLiteral("CHECK FOR NEWER VERSION");
inline const QString StillWaiting =
    QStringLiteral("The check for a newer version is still waiting for the version server.\r"
                   "Do you want to cancel it?");
inline const QString Cancelled = QStringLiteral("The check was cancelled.");
} // namespace UpdateTexts
