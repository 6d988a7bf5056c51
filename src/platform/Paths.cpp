#include "platform/Paths.h"

#include <QDir>
#include <QStandardPaths>

namespace Paths {

QString configFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/pagewarden");
}

QString settingsFile(const QString& applicationTitle) {
    return configFolder() + QLatin1Char('/') + applicationTitle + QStringLiteral(".conf");
}

QString dataFolder() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                           QStringLiteral("/pagewarden");
    QDir().mkpath(folder);
    return folder;
}

QString blockedLogFile() {
    return dataFolder() + QStringLiteral("/skipped_sites.txt");
}

QString debugMarkerFile() {
    return dataFolder() + QStringLiteral("/debug.txt");
}

QString browserProfileFolder() {
    return dataFolder() + QStringLiteral("/browser-profile");
}

} // namespace Paths
