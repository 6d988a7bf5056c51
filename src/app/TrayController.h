#pragma once

#include <QObject>
#include <QString>

class QEvent;

class BlockingPresenter;
class BlockingSession;
class MainWindow;
struct PanelControls;
struct Platform;

// The countdown after the start, the hide to the notification area, the tray icon and the ways
// back to the window. It owns the window's visibility; blocking only hears that a hide began and
// ended. The window is hidden only while an icon can bring it back; otherwise it goes to the
// taskbar. Every way back (the menu's "Open", the taskbar, a second start) leaves the same state.
class TrayController : public QObject {
    Q_OBJECT
public:
    TrayController(MainWindow& window, const PanelControls& controls, Platform& platform,
                   BlockingSession& session, BlockingPresenter& presenter);

    // Whether the icon has been put up (it stays until exit).
    bool trayHooked() const { return m_trayHooked; }
    // Whether "Keep visible" holds the window on screen.
    bool keepVisible() const { return m_keepVisible; }
    // The option "HideOnStart" as read at start.
    void setHideOnStart(int value) { m_hideOnStart = value; }
    int hideOnStart() const { return m_hideOnStart; }

    // The countdown text for `seconds` left.
    static QString countdownText(const QString& seconds);

    void removeTrayIcon();
    // The right button on the icon: the menu opens where the pointer is.
    void SysTrayMouseEventHandler();
    void RestoreMainWindow();
    // "Keep visible" while it still says so (the options panel opens this way).
    void keepVisibleIfOffered();
    // Stops the countdown and keeps the window on the screen (the anti-hijacker opens this way).
    void keepWindowVisible();
    // "Close": the window goes out of the way, with no icon added for it.
    void closePanel();
    // Another start of the program asked for the panel.
    void bringToFront();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    // The countdown line changed to `text`.
    void countdownShown(const QString& text);

private:
    void countdown();       // Command1
    void command3Clicked(); // Command3
    void hideToTray();      // Command20
    void installTray();
    void reopenFromTray();      // rest1
    void hideWithoutBlocking(); // Image25
    void timer6Tick();          // Timer6
    // Hides the window if the icon can bring it back, else minimises it to the taskbar.
    void hideWindow();
    void showIcon();
    void trayAvailabilityChanged(bool available);
    // The window is back on the screen after a hide: it offers to hide again.
    void cameBack();
    // Command3 says what it will do next; the mode is kept here, the caption only shows it.
    enum class Command3 { KeepVisible, Start, Hide };
    void setCommand3(Command3 mode);

    MainWindow& m_window;
    const PanelControls& m_c;
    Platform& m_platform;
    BlockingSession& m_session;
    BlockingPresenter& m_presenter;
    int m_hideOnStart = 0;
    bool m_trayHooked = false;
    bool m_keepVisible = false;
    bool m_countdownCancelled = false;
    // Hidden or minimised by a hide to the tray, and not yet back.
    bool m_putAway = false;
    Command3 m_command3 = Command3::KeepVisible;
};
