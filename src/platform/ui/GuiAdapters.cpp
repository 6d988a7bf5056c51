#include "platform/ui/GuiAdapters.h"

#include "platform/Waits.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPointer>
#include <optional>

int runModal(QDialog& dialog) {
    const QPointer<QDialog> alive(&dialog);
    std::optional<int> result;
    QEventLoop loop;
    QObject::connect(&dialog, &QDialog::finished, &loop, [&](int r) {
        result = r;
        loop.quit();
    });
    QObject::connect(&dialog, &QObject::destroyed, &loop, &QEventLoop::quit);
    const auto answered = [&] { return result.has_value() || !alive; };
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.show();
    AnswerWait::workUntil(answered);
    if (!answered())
        loop.exec(QEventLoop::DialogExec);
    return result.value_or(QDialog::Rejected);
}

void QtMessageBoxes::information(const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok);
    runModal(box);
}

void QtBeeper::beep() {
    QApplication::beep();
}

void QtBusyPointer::setBusy() {
    if (m_busy)
        return;
    m_busy = true;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

void QtBusyPointer::setDefault() {
    if (!m_busy)
        return;
    m_busy = false;
    QGuiApplication::restoreOverrideCursor();
}
