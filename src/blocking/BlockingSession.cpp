#include "blocking/BlockingSession.h"

#include "blocking/OpenPages.h"
#include "platform/NoBrowser.h"

namespace {
BrowserWindows& browserOrNone(BrowserWindows* browser, std::unique_ptr<BrowserWindows>& none) {
    if (browser)
        return *browser;
    none = std::make_unique<NoBrowser>();
    return *none;
}
} // namespace

BlockingSession::BlockingSession(const Services& s)
    : m_log(s.logPath, *s.clock, m_state), m_context{browserOrNone(s.browser, m_noBrowser),
                                                     *s.options,
                                                     m_state,
                                                     *s.settings,
                                                     m_log,
                                                     *s.clock,
                                                     *s.messages,
                                                     *s.beeper,
                                                     *s.pointer,
                                                     *s.view,
                                                     s.applicationTitle},
      m_controller(std::make_unique<BlockingController>(m_context)) {}

BlockingSession::~BlockingSession() = default;

void BlockingSession::start() {
    m_controller->StartBlocking();
}

void BlockingSession::stop() {
    m_controller->StopBlocking();
}

void BlockingSession::forcePass() {
    m_controller->forcePass();
}

void BlockingSession::setHiding(bool hiding) {
    m_state.hidingToTray = hiding;
}

void BlockingSession::resume() {
    m_state.blockingStopped = false;
}

void BlockingSession::setLogViewerOpen(bool open) {
    m_state.logViewerOpen = open;
}

void BlockingSession::setDebugMode(bool on) {
    m_state.debugMode = on;
}

void BlockingSession::snapshotExistingWindows() {
    m_controller->SnapshotExistingWindows();
}

void BlockingSession::spareWindow(qint64 handle) {
    const QString text = QString::number(handle);
    if (!m_state.existingWindowHandles.contains(text))
        m_state.existingWindowHandles.append(text);
}

void BlockingSession::listOpenPages() {
    ListOpenPages(&m_context.browser, m_state.openPageUrls);
}
