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

#include "platform/ui/TrayIcon.h"

#include <QMenu>
#include <QSystemTrayIcon>

QtTrayIcon::QtTrayIcon(QObject* parent) : TrayIcon(parent) {}

QtTrayIcon::~QtTrayIcon() {
    QtTrayIcon::remove();
}

bool QtTrayIcon::isAvailable() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void QtTrayIcon::add(const QIcon& icon, const QString& tip, QMenu* menu) {
    if (!m_icon)
        m_icon = new QSystemTrayIcon(this);
    m_icon->setIcon(icon);
    m_icon->setToolTip(tip);
    m_icon->setContextMenu(menu);
    m_icon->show();
}

void QtTrayIcon::remove() {
    if (!m_icon)
        return;
    m_icon->hide();
    delete m_icon;
    m_icon = nullptr;
}

bool QtTrayIcon::isShown() const {
    return m_icon && m_icon->isVisible();
}
