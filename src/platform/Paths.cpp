#include "platform/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
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
    // The folder holds the log of visited pages and the launched browser's profile: only its
    // user may look inside. A folder the user already has keeps the permissions they gave it.
    if (!QFileInfo::exists(folder) && QDir().mkpath(folder))
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner);
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

QString manualFile() {
    const QString page = QStringLiteral("pagewarden/manual/index.html");
    QStringList candidates;
    if (QCoreApplication::instance())
        candidates << QCoreApplication::applicationDirPath() + QStringLiteral("/../share/") + page;
    candidates << QStandardPaths::locate(QStandardPaths::GenericDataLocation, page);
#ifdef PAGEWARDEN_SOURCE_MANUAL
    candidates << QStringLiteral(PAGEWARDEN_SOURCE_MANUAL "/index.html");
#endif
    for (const QString& file : candidates)
        if (!file.isEmpty() && QFileInfo(file).isFile())
            return QFileInfo(file).canonicalFilePath();
    return QString();
}

} // namespace Paths
