#pragma once

#include "blocking/BlockedLog.h"
#include "blocking/BlockingContext.h"
#include "blocking/BlockingController.h"
#include "blocking/ProgramState.h"

#include <QString>
#include <memory>

class BrowserWindows;

// Popup blocking as the rest of the program sees it: the one owner of the blocking state and the
// log, with commands in blocking's own terms. The panel calls these; blocking answers through the
// BlockingView it was given.
class BlockingSession {
public:
    struct Services {
        BrowserWindows* browser = nullptr; // none: blocking runs against a browser without windows
        const LiveOptions* options = nullptr;
        SettingsStore* settings = nullptr;
        const Clock* clock = nullptr;
        MessageBoxes* messages = nullptr;
        Beeper* beeper = nullptr;
        BusyPointer* pointer = nullptr;
        BlockingView* view = nullptr;
        QString applicationTitle; // title of the diagnostic boxes
        QString logPath;          // the blocked-sites log
    };

    explicit BlockingSession(const Services& services);
    ~BlockingSession();

    // Start and stop, as the start and stop buttons and the tray item ask for them. Start runs the
    // blocking cycle and returns when it ends; while a cycle runs it returns at once.
    void start();
    void stop();
    // The waiting pass looks at the windows at once (an option changed).
    void forcePass();
    // The panel is hiding to the tray: the running cycle ends, and begins afresh afterwards.
    void setHiding(bool hiding);
    // After a hide the passes run again even if the user had stopped them.
    void resume();
    // While the log viewer is open nothing is logged or closed.
    void setLogViewerOpen(bool open);
    void setDebugMode(bool on);
    // Windows open now count as already open ("Kill new browsers" spares them).
    void snapshotExistingWindows();
    // A window we opened ourselves (Help, say) is the user's, never a new browser to close.
    void spareWindow(qint64 handle);
    // Gathers the addresses of the pages open now, for the hijack editor.
    void listOpenPages();

    const ProgramState& state() const { return m_state; }
    bool stopped() const { return m_state.blockingStopped; }
    int windowsClosed() const { return m_state.popupsTerminated; }
    const QStringList& openPageUrls() const { return m_state.openPageUrls; }

    BlockedLog& log() { return m_log; }
    BlockingController& controller() { return *m_controller; }
    const BlockingContext& context() const { return m_context; }

private:
    std::unique_ptr<BrowserWindows> m_noBrowser;
    ProgramState m_state;
    BlockedLog m_log;
    BlockingContext m_context;
    std::unique_ptr<BlockingController> m_controller;
};
