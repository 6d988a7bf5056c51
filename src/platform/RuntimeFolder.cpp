#include "platform/RuntimeFolder.h"

#include <QDir>
#include <QFileInfo>
#include <unistd.h>

QString userRuntimeFolder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return runtime;
    return QDir::tempPath() + QStringLiteral("/pagewarden-%1").arg(::getuid());
}
