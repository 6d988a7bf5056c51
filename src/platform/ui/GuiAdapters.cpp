#include "platform/ui/GuiAdapters.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>

void QtMessageBoxes::information(const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok);
    box.exec();
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
