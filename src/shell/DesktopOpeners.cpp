#include "shell/DesktopOpeners.h"

#include <QDesktopServices>
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

bool openFileWithDesktop(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}
