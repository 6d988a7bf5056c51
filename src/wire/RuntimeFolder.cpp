#include "wire/RuntimeFolder.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Whether `path` is a folder (not a link to one) that is ours and that nobody else can write; a
// folder we make for the purpose is made user-only first.
bool privateFolder(const QString& path, bool make) {
    if (path.isEmpty())
        return false;
    const QByteArray native = QFile::encodeName(path);
    if (make)
        ::mkdir(native.constData(), S_IRWXU); // fails harmlessly when it is already there
    struct stat st {};
    return ::lstat(native.constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == ::geteuid() && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

} // namespace

QString userRuntimeFolder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (privateFolder(runtime, false))
        return runtime;
    const QString inTemp = QDir::tempPath() + QStringLiteral("/pagewarden-%1").arg(::geteuid());
    if (privateFolder(inTemp, true))
        return inTemp;
    // Somebody else holds that name: the cache folder is the user's alone.
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    QDir().mkpath(cache);
    const QString inCache = cache + QStringLiteral("/pagewarden-runtime");
    return privateFolder(inCache, true) ? inCache : QString();
}
