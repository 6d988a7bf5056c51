#pragma once

#include <QIcon>
#include <QObject>
#include <QPoint>
#include <QString>

class QMenu;
class QTimer;

// The program's icon in the notification area, with its right-button menu.
class TrayIcon : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~TrayIcon() override = default;

    // Whether the desktop has a notification area right now.
    virtual bool isAvailable() const = 0;
    // Puts the icon in the notification area with its tip; the menu opens on the right button.
    virtual void add(const QIcon& icon, const QString& tip, QMenu* menu) = 0;
    // Takes the icon away again.
    virtual void remove() = 0;
    virtual bool isShown() const = 0;

signals:
    // The right mouse button went down on the icon, at this point of the screen. Platforms that
    // open the menu themselves never send it.
    void rightButtonDown(const QPoint& globalPosition);
    // A notification area appeared or went away. When it goes, the icon goes with it: isShown()
    // is false from then on, and the icon has to be added again once an area is back.
    void availabilityChanged(bool available);
};

// QSystemTrayIcon: the desktop opens the menu on the right button; left clicks and double clicks
// are ignored. Qt does not say when a notification area comes or goes (a panel that starts after
// us is common at log-in), so the adapter asks again every few seconds; the question is answered
// from what the platform plugin already knows, so it costs next to nothing.
class QtTrayIcon : public TrayIcon {
    Q_OBJECT
public:
    explicit QtTrayIcon(QObject* parent = nullptr, int recheckMilliseconds = 2000);
    ~QtTrayIcon() override;

    bool isAvailable() const override;
    void add(const QIcon& icon, const QString& tip, QMenu* menu) override;
    void remove() override;
    bool isShown() const override;

private:
    void recheck();

    class QSystemTrayIcon* m_icon = nullptr;
    QTimer* m_recheck = nullptr;
    bool m_available = false;
};
