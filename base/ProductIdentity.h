#pragma once

#include <QString>

// Fixed identity and build switches of this build.
namespace ProductIdentity {
inline const QString AppTitle = QStringLiteral("STAVELY");
inline const QString Caption = QStringLiteral("STAVELY - Control Program for the Stavely Tester");
inline const QString AppDescription =
    QStringLiteral("Control program for the STAVELY apparatus which is used to measure the strength and "
                   "fatigue behavior of optical fibers.");
inline const QString PredefinedVersion = QStringLiteral("1.05");
constexpr int VersionMajor = 1;
constexpr int VersionMinor = 5;
constexpr bool TensileProduct = true;
constexpr bool BendProduct = !TensileProduct;
constexpr bool BreakEdition = true;
constexpr bool StripForceEdition = false;
constexpr bool PullOutForceEdition = false;
constexpr bool FurtherEdition = false;
constexpr bool SystemControllerLink = true;
// Settings store names.
inline const QString Organisation = QStringLiteral("Corvane");
inline const QString SharedSection = QStringLiteral("AllApps");
} // namespace ProductIdentity
