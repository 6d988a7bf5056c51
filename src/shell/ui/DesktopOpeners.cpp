#include "shell/ui/DesktopOpeners.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>
#include <memory>
#include <unistd.h>

namespace {
// An opener still running after this long runs the browser itself, which shows the page by now.
constexpr int stillRunningMs = 5000;
} // namespace

void DesktopPageOpener::openPage(const QString& startPage, const QString& address, Done done) {
    const QString target = address.isEmpty() ? startPage : address;
    const QUrl url = QUrl::fromUserInput(target);
    const QString failed =
        QStringLiteral("The desktop could not open %1 in a web browser.").arg(target);
    const QString xdgOpen = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (!url.isValid() || xdgOpen.isEmpty()) {
        const bool ok = url.isValid() && QDesktopServices::openUrl(url);
        if (done)
            done(ok, ok ? QString() : failed);
        return;
    }

    // Not owned by anything that ends with us: deleting a running QProcess would kill it.
    auto* process = new QProcess;
    process->setProgram(xdgOpen);
    process->setArguments({url.toString(QUrl::FullyEncoded)});
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    // Its own session: no hangup reaches it when our terminal or session goes.
    process->setChildProcessModifier([] { ::setsid(); });
    auto pending = std::make_shared<Done>(std::move(done));
    const auto settle = [pending](bool ok, const QString& failure) {
        if (Done d = std::exchange(*pending, nullptr))
            d(ok, failure);
    };
    QObject::connect(process, &QProcess::finished, process,
                     [process, settle, failed](int code, QProcess::ExitStatus status) {
                         const bool ok = status == QProcess::NormalExit && code == 0;
                         settle(ok, ok ? QString() : failed);
                         process->deleteLater();
                     });
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [process, settle, failed](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart)
                             return;
                         settle(false, failed);
                         process->deleteLater();
                     });
    QTimer::singleShot(stillRunningMs, process, [process, settle] {
        if (process->state() == QProcess::Running)
            settle(true, QString());
    });
    process->start();
}

bool openFileWithDesktop(const QString& path, const QString& workingFolder) {
    const QString xdgOpen = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (!xdgOpen.isEmpty() &&
        QProcess::startDetached(xdgOpen, {QUrl::fromLocalFile(path).toString()}, workingFolder))
        return true;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}
