#pragma once

#include "app/LiveOptions.h"
#include "blocking/BlockingView.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

class AboutBox;
class AntiHijacker;
class BlockedLog;
class BlockingController;
class BrowserWindows;
class FormTimer;
class OptionsPanel;
class PictureButton;
class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class SettingsStore;
struct ColourScheme;
struct Platform;
struct ProgramState;

// The control panel: picture buttons in three rows, the countdown texts, the options panel, the
// anti-hijacker panel and, below what the normal height shows, the layer of command buttons that
// the pictures press. Every control is a named Qt object, so it can be found by its name.
class MainWindow : public QWidget, public LiveOptions, public BlockingView {
    Q_OBJECT
public:
    MainWindow(Platform& platform, ProgramState& state, SettingsStore& store, ColourScheme& scheme,
               QWidget* parent = nullptr);
    ~MainWindow() override;

    // The window's load: fills every panel from the stored state and arms the start chain.
    void load();

    // The exit command: stores everything and ends the process.
    void exitCommand();

    // Rebuilds the hijack patterns from the hijack list box and stores them.
    void load_spyware_urls();
    AntiHijacker& hijacker() const { return *m_hijacker; }

    // Set by the start-up routine before the load: how the splash is closed, and the option
    // "HideOnStart" as read at start.
    void setSplashCloser(std::function<void()> closer) { m_closeSplash = std::move(closer); }
    void setHideOnStart(int value) { m_hideOnStart = value; }
    int hideOnStart() const { return m_hideOnStart; }

    // Work that other parts of the program do for the panel's commands. Each is optional; an
    // unset one makes its command do nothing.
    std::function<void()> closeBlockedLog;   // exit: close the blocked-ads log
    std::function<void()> startBlocking;     // Image1, Command5(0), the end of a hide
    std::function<void()> stopBlocking;      // Image2, stop, Command5(1)
    std::function<void()> showBlockedLog;    // Image14, Image5, msg1
    std::function<void()> openWebHelp;       // Command7
    std::function<void()> checkForUpdate;    // Command9
    std::function<void()> antiHijackerPanel; // Command14

    // Shows which browser is guarded, in one short line.
    void showBrowserStatus(const QString& text);

    // The tray: whether the icon has been put up (it stays until exit), and the right button.
    bool trayHooked() const { return m_trayHooked; }
    void SysTrayMouseEventHandler();
    void RestoreMainWindow();

    // Size at the end of the load, in twips.
    int normalWidth = 0;
    int normalHeight = 0;
    bool keepVisible = false;

    // Window size in twips.
    int widthTwips() const;
    int heightTwips() const;
    void setWidthTwips(int twips);
    void setHeightTwips(int twips);

    // LiveOptions: read from the panel's controls at the moment of asking.
    bool killPopups() const override;
    bool killBrowsers() const override;
    bool killAllBrowsers() const override;
    bool beepOnKill() const override;
    bool hideOnStartChecked() const override;
    bool startUpChecked() const override;
    QString popupKillSpeedText() const override;
    QString secondsBeforeStartText() const override;

    // BlockingView: the captions, buttons, pictures and timers that blocking changes.
    void setCaption(BlockingControl control, const QString& text) override;
    QString caption(BlockingControl control) const override;
    void setEnabled(BlockingControl control, bool enabled) override;
    void setVisible(BlockingControl control, bool visible) override;
    using QWidget::setEnabled;
    using QWidget::setVisible;

    // Blocking: the log of closed and redirected windows, and the start/stop of the passes.
    BlockedLog& blockedLog() const { return *m_log; }
    BlockingController& blocking() const { return *m_blocking; }

    OptionsPanel& options() const { return *m_options; }
    FormTimer* timer(const QString& name) const;
    QMenu* trayMenu() const { return m_trayMenu; }

    Platform& platform() const { return m_platform; }
    ProgramState& state() const { return m_state; }
    SettingsStore& store() const { return m_store; }
    ColourScheme& scheme() const { return m_scheme; }

signals:
    // The "Kill all browser windows" box changed (the waiting pass should run at once).
    void killAllBrowsersClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void buildControls();
    void buildCommandLayer();
    void buildTrayMenu();
    void buildTimers();
    void placePictureButtons();
    PictureButton* picture(const char* name, const QString& word, int left, int top, int width,
                           int height, bool shown, bool accent = false);
    QPushButton* command(const char* name, const QString& caption, const QString& tip);
    void showAboutBox();

    // Tray and visibility.
    void wireVisibility();
    void countdown();       // Command1
    void command3Clicked(); // Command3
    void hideToTray();      // Command20
    void installTray();
    void removeTrayIcon();
    void reopenFromTray();      // rest1
    void hideWithoutBlocking(); // Image25
    void timer6Tick();          // Timer6
    void hideWindow();
    QString countdownText(const QString& seconds) const;
    // Control panel.
    void wirePictureButtons();
    void wireBlocking();
    QObject* blockingControl(BlockingControl control) const;
    void press(const char* name);

    Platform& m_platform;
    ProgramState& m_state;
    SettingsStore& m_store;
    ColourScheme& m_scheme;
    OptionsPanel* m_options = nullptr;
    QMenu* m_trayMenu = nullptr;
    std::unique_ptr<BrowserWindows> m_noBrowser;
    std::unique_ptr<BlockedLog> m_log;
    std::unique_ptr<BlockingController> m_blocking;
    AntiHijacker* m_hijacker = nullptr;
    QPointer<AboutBox> m_aboutBox;
    std::function<void()> m_closeSplash;
    int m_hideOnStart = 0;
    bool m_exiting = false;
    bool m_trayHooked = false;
    int m_commandRow = 0;
    int m_widthTwips = 0;
    int m_heightTwips = 0;

public:
    // Controls that the window's own code and its tests reach directly.
    QLabel* imgIcon = nullptr;
    QLabel* Picture4 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* label28 = nullptr;
    QLabel* secsleft = nullptr;
    QLabel* browserStatus = nullptr;
    QAction* rest1 = nullptr;
    QAction* msg1 = nullptr;
    QAction* stop_start = nullptr;
    QAction* exit1 = nullptr;
};
