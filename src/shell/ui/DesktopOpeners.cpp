#include "shell/ui/DesktopOpeners.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

void DesktopPageOpener::openPage(const QString& startPage, const QString& address, Done done) {
    const QString target = address.isEmpty() ? startPage : address;
    const QUrl url = QUrl::fromUserInput(target);
    const bool ok = url.isValid() && QDesktopServices::openUrl(url);
    if (done)
        done(ok,
             ok ? QString()
                : QStringLiteral("The desktop could not open %1 in a web browser.").arg(target));
}

bool openFileWithDesktop(const QString& path, const QString& workingFolder) {
    const QString xdgOpen = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (!xdgOpen.isEmpty() &&
        QProcess::startDetached(xdgOpen, {QUrl::fromLocalFile(path).toString()}, workingFolder))
        return true;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}
