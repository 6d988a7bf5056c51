#pragma once

#include <QIcon>
#include <QObject>
#include <QPoint>
#include <QString>

class QMenu;

// The program's icon in the notification area, with its right-button menu.
class TrayIcon : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~TrayIcon() override = default;

    // Whether the desktop has a notification area at all.
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
};

// QSystemTrayIcon: the desktop opens the menu on the right button; left clicks and double clicks
// are ignored.
class QtTrayIcon : public TrayIcon {
    Q_OBJECT
public:
    explicit QtTrayIcon(QObject* parent = nullptr);
    ~QtTrayIcon() override;

    bool isAvailable() const override;
    void add(const QIcon& icon, const QString& tip, QMenu* menu) override;
    void remove() override;
    bool isShown() const override;

private:
    class QSystemTrayIcon* m_icon = nullptr;
};
