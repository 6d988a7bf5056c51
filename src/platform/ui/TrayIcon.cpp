#include "platform/ui/TrayIcon.h"

#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

QtTrayIcon::QtTrayIcon(QObject* parent, int recheckMilliseconds)
    : TrayIcon(parent), m_recheck(new QTimer(this)),
      m_available(QSystemTrayIcon::isSystemTrayAvailable()) {
    connect(m_recheck, &QTimer::timeout, this, &QtTrayIcon::recheck);
    m_recheck->start(recheckMilliseconds);
}

QtTrayIcon::~QtTrayIcon() {
    QtTrayIcon::remove();
}

bool QtTrayIcon::isAvailable() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void QtTrayIcon::recheck() {
    const bool available = isAvailable();
    if (available == m_available)
        return;
    m_available = available;
    // An icon whose area went away is dropped, so that the next add docks it afresh in the new one.
    if (!available)
        remove();
    emit availabilityChanged(available);
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
