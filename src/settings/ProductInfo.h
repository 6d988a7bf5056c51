#pragma once

#include <QString>

// The product's names and version, fixed for a build.
namespace ProductInfo {

// The product identifier: the words of the name and the version joined by "_".
inline const QString productIdentifier = QStringLiteral("pagewarden_8.0");

// "pagewarden_8.0" -> "Pagewarden 8.0": every "_" becomes a space and each word starts with a
// capital letter.
QString applicationTitleFrom(const QString& identifier);

// The display title, also the settings file's name and the tray icon's tip.
QString applicationTitle();

// major.minor.revision of the running program, in plain decimal.
QString programVersion();
int majorVersion();

// The executable's base name on disk.
inline const QString executableBaseName = QStringLiteral("pagewarden");

} // namespace ProductInfo
