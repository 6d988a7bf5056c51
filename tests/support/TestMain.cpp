#include "support/TestMain.h"

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdlib>

namespace {
QTemporaryDir* homeDir = nullptr;
}

namespace TestEnvironment {

void isolate() {
    if (homeDir)
        return;
    homeDir = new QTemporaryDir(QDir::tempPath() + QStringLiteral("/pagewarden-test-XXXXXX"));
    const QByteArray root = homeDir->path().toLocal8Bit();
    const auto make = [&](const char* var, const char* sub) {
        const QByteArray path = root + "/" + sub;
        QDir().mkpath(QString::fromLocal8Bit(path));
        qputenv(var, path);
    };
    qputenv("HOME", root);
    make("XDG_CONFIG_HOME", ".config");
    make("XDG_DATA_HOME", ".local/share");
    make("XDG_CACHE_HOME", ".cache");
    make("XDG_STATE_HOME", ".local/state");
    make("XDG_RUNTIME_DIR", "runtime");
    QFile::setPermissions(QString::fromLocal8Bit(root + "/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::atexit([] {
        delete homeDir;
        homeDir = nullptr;
    });
}

QString home() {
    return homeDir ? homeDir->path() : QString();
}

} // namespace TestEnvironment
