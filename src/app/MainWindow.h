#pragma once

#include "app/PanelControls.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

class AboutBox;
class AntiHijacker;
class BlockingPresenter;
class BlockingSession;
class OptionsPanel;
class PanelCommands;
class SettingsStore;
class TrayController;
struct ColourScheme;
struct Platform;

// The control panel's window. It holds the controls (built from the control table) and the parts
// that work them, each with one job: the options panel, the blocking presenter and the session it
// drives, the tray and countdown, the anti-hijacker, and the commands that other features answer.
// Below what the normal height shows lies the layer of command buttons that the pictures press.
class MainWindow : public QWidget {
    Q_OBJECT
public:
    MainWindow(Platform& platform, SettingsStore& store, ColourScheme& scheme,
               QWidget* parent = nullptr);
    ~MainWindow() override;

    // The window's load: fills every panel from the stored state and arms the start chain.
    void load();

    // The exit command: stores everything and ends the process.
    void exitCommand();

    // Rebuilds the hijack patterns from the hijack list box and stores them.
    void load_spyware_urls();

    // Set by the start-up routine before the load: how the splash is closed, and the option
    // "HideOnStart" as read at start.
    void setSplashCloser(std::function<void()> closer) { m_closeSplash = std::move(closer); }
    void setHideOnStart(int value);

    // Shows which browser is guarded; a text too long for the line is shortened, and the whole
    // text is the line's tool tip.
    void showBrowserStatus(const QString& text);

    // Size at the end of the load, in twips, and the way back to it.
    int normalWidth = 0;
    int normalHeight = 0;
    void restoreNormalSize();

    // Window size in twips.
    int widthTwips() const;
    int heightTwips() const;
    void setWidthTwips(int twips);
    void setHeightTwips(int twips);
    // Lets the program give the window a new size (it is fixed again as it arrives).
    void releaseSize();

    // The parts.
    const PanelControls& controls() const { return m_c; }
    OptionsPanel& options() const { return *m_options; }
    BlockingSession& session() const { return *m_session; }
    BlockingPresenter& presenter() const { return *m_presenter; }
    TrayController& tray() const { return *m_tray; }
    PanelCommands& commands() const { return *m_commands; }
    AntiHijacker& hijacker() const { return *m_hijacker; }

    Platform& platform() const { return m_platform; }
    SettingsStore& store() const { return m_store; }
    ColourScheme& scheme() const { return m_scheme; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void showAboutBox();

    Platform& m_platform;
    SettingsStore& m_store;
    ColourScheme& m_scheme;
    PanelControls m_c;
    OptionsPanel* m_options = nullptr;
    BlockingPresenter* m_presenter = nullptr;
    std::unique_ptr<BlockingSession> m_session;
    TrayController* m_tray = nullptr;
    PanelCommands* m_commands = nullptr;
    AntiHijacker* m_hijacker = nullptr;
    QPointer<AboutBox> m_aboutBox;
    std::function<void()> m_closeSplash;
    bool m_exiting = false;
    int m_widthTwips = 0;
    int m_heightTwips = 0;
};
