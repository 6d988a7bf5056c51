#pragma once

#include <QString>

// Where the program keeps its files for the current user. The data folder stands in for the
// program's own folder: everything the program writes or looks for lives there.
namespace Paths {

// $XDG_CONFIG_HOME/pagewarden
QString configFolder();
// The settings file: <config folder>/<application title>.conf
QString settingsFile(const QString& applicationTitle);
// $XDG_DATA_HOME/pagewarden, created when missing.
QString dataFolder();
QString blockedLogFile();       // <data folder>/skipped_sites.txt
QString debugMarkerFile();      // <data folder>/debug.txt
QString browserProfileFolder(); // <data folder>/browser-profile

// The manual's first page: where it is installed with the program (share/pagewarden/manual beside
// the program's bin folder, or in the desktop's data folders), else the copy in the source tree of
// a program run from its build folder. Empty when there is none.
QString manualFile();

} // namespace Paths
