#include "app/TrayController.h"

#include "app/BlockingPresenter.h"
#include "app/MainWindow.h"
#include "app/PanelControls.h"
#include "app/Platform.h"
#include "blocking/BlockingSession.h"
#include "hijack/ui/AntiHijacker.h"
#include "platform/BusyPointer.h"
#include "platform/Clock.h"
#include "platform/FormTimer.h"
#include "platform/Waits.h"
#include "platform/ui/TrayIcon.h"
#include "settings/ProductInfo.h"
#include "settings/ui/OptionsPanel.h"
#include "shell/ui/Artwork.h"
#include "shell/ui/PictureButton.h"

#include <QAction>
#include <QCursor>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <cmath>

namespace {
// A countdown whose text is not a number of seconds counts this many.
constexpr int defaultCountdownSeconds = 10;
constexpr int guardRounds = 500000;
} // namespace

TrayController::TrayController(MainWindow& window, const PanelControls& controls,
                               Platform& platform, BlockingSession& session,
                               BlockingPresenter& presenter)
    : QObject(&window), m_window(window), m_c(controls), m_platform(platform), m_session(session),
      m_presenter(presenter) {
    // The start chain: Timer8 (a shown start) hands on to Timer1, which starts the countdown.
    connect(m_c.timer("Timer8"), &FormTimer::tick, this, [this] {
        m_c.timer("Timer8")->setEnabled(false);
        // While the log viewer is open the chain holds here; the viewer restarts it.
        if (!m_session.state().logViewerOpen)
            m_c.timer("Timer1")->setEnabled(true);
    });
    connect(m_c.timer("Timer1"), &FormTimer::tick, this, [this] {
        m_c.timer("Timer1")->setEnabled(false);
        m_c.press("Command1");
    });
    connect(m_c.command("Command1"), &QPushButton::clicked, this, &TrayController::countdown);
    connect(m_c.command("Command3"), &QPushButton::clicked, this, &TrayController::command3Clicked);
    connect(m_c.command("Command20"), &QPushButton::clicked, this, &TrayController::hideToTray);
    connect(m_c.timer("Timer5"), &FormTimer::tick, this, [this] { m_c.press("Command20"); });
    connect(m_c.timer("Timer6"), &FormTimer::tick, this, &TrayController::timer6Tick);
    connect(m_c.rest1, &QAction::triggered, this, &TrayController::reopenFromTray);
    connect(m_c.picture("Image25"), &PictureButton::clicked, this,
            &TrayController::hideWithoutBlocking);
    connect(m_c.picture("Image10"), &PictureButton::clicked, this,
            [this] { m_c.press("Command3"); });
    connect(m_c.picture("Image6"), &PictureButton::clicked, this,
            [this] { m_c.press("Command3"); });
    if (m_platform.tray) {
        connect(m_platform.tray, &TrayIcon::rightButtonDown, this,
                &TrayController::SysTrayMouseEventHandler);
        connect(m_platform.tray, &TrayIcon::availabilityChanged, this,
                &TrayController::trayAvailabilityChanged);
    }
    // The window manager brings the window back from the taskbar without asking us.
    m_window.installEventFilter(this);
}

QString TrayController::countdownText(const QString& seconds) {
    return QStringLiteral("Program will start after a ") + seconds +
           QStringLiteral(" second delay. To keep visible, press 'Keep visible' ");
}

void TrayController::setCommand3(Command3 mode) {
    m_command3 = mode;
    static const char* const captions[] = {"Keep visible", "Start", "Hide"};
    m_c.command("Command3")->setText(QLatin1String(captions[static_cast<int>(mode)]));
}

void TrayController::countdown() {
    const QString secondsText = m_window.options().secondsBeforeStartText();
    const auto show = [this](const QString& text) {
        m_c.Label2->setText(text);
        emit countdownShown(text);
    };
    show(countdownText(secondsText));
    const Clock& clock = *m_platform.clock;
    double t0 = clock.now();
    // A whole number of seconds; a text that is not a number counts as the default.
    const double parsed = secondsFromText(secondsText, -1);
    const int total = parsed < 0 ? defaultCountdownSeconds : static_cast<int>(std::floor(parsed));
    int remaining = total;
    int rounds = 0;
    while (clock.now() < t0 + total && !m_countdownCancelled) {
        if (++rounds > guardRounds)
            t0 = -1e9;
        Wait::processPendingEvents();
        waitSeconds(clock, 1.0);
        remaining = std::max(0, remaining - 1);
        show(countdownText(QString::number(remaining)));
    }
    m_c.secsleft->clear();
    if (!m_keepVisible)
        m_c.press("Command20");
}

void TrayController::keepVisibleIfOffered() {
    if (m_command3 == Command3::KeepVisible)
        m_c.press("Command3");
}

void TrayController::keepWindowVisible() {
    m_c.timer("Timer5")->setEnabled(false);
    setCommand3(Command3::Start);
    m_c.secsleft->clear();
    m_c.Label2->setVisible(false);
    m_countdownCancelled = true;
    m_keepVisible = true;
}

void TrayController::command3Clicked() {
    if (m_command3 == Command3::KeepVisible) {
        m_c.timer("Timer5")->setEnabled(false);
        m_c.picture("Image10")->setVisible(false);
        m_c.picture("Image6")->setVisible(true);
        m_presenter.offerStop(false);
        setCommand3(Command3::Start);
        m_c.secsleft->clear();
        m_c.Label2->setVisible(false);
        m_countdownCancelled = true;
        m_keepVisible = true;
        installTray();
        return;
    }

    const bool isStart = m_command3 == Command3::Start;
    m_platform.busyPointer->setBusy();
    OptionsPanel& options = m_window.options();
    if (options.isShown())
        options.toggleOptions();
    m_countdownCancelled = true;
    m_keepVisible = false;
    if (isStart) {
        if (m_window.hijacker().panel().isVisibleTo(&m_window))
            m_c.press("Command14");
        // The countdown then ends at once and hides the window.
        m_c.timer("Timer1")->setEnabled(true);
    } else {
        FormTimer* timer5 = m_c.timer("Timer5");
        timer5->setInterval(200);
        timer5->setEnabled(true);
        m_session.setHiding(true);
    }
}

void TrayController::hideWindow() {
    if (m_platform.tray && m_platform.tray->isShown()) {
        m_window.hide();
    } else {
        // With no icon the panel goes to the taskbar instead, where the user can find it again;
        // its right-button menu holds the tray's four commands. Without a window manager a
        // minimised window simply stays on the screen.
        m_window.showMinimized();
    }
}

void TrayController::closePanel() {
    hideWindow();
}

void TrayController::hideToTray() {
    // After a re-open from the tray blocking is still running: it is not started twice. Decided
    // now, since the window may be brought back while this hide waits.
    const bool startBlocking = m_command3 != Command3::Hide;
    m_c.timer("Timer5")->setEnabled(false);
    m_countdownCancelled = true;
    Wait::processPendingEvents();
    m_c.secsleft->clear();
    m_c.Label2->clear();
    Wait::processPendingEvents();
    // The icon goes up before the window goes away, so there is always a way back.
    installTray();
    hideWindow();
    m_putAway = true;
    m_platform.busyPointer->setDefault();
    waitSeconds(*m_platform.clock, 1.0);

    m_c.picture("Image2")->setVisible(true);
    m_c.msg1->setText(BlockingPresenter::trayCountText(m_session.windowsClosed()));
    m_c.picture("Image6")->setVisible(false);
    m_presenter.offerStop(true);
    m_session.resume();
    m_window.restoreNormalSize();
    if (m_putAway) { // else it came back during the wait and shows the re-opened state already
        m_c.picture("Image25")->setVisible(false);
        m_c.picture("Image10")->setVisible(true);
    }
    waitSeconds(*m_platform.clock, 1.0);
    m_session.setHiding(false);
    if (startBlocking)
        emit m_presenter.startRequested();
}

void TrayController::installTray() {
    m_trayHooked = true;
    showIcon();
}

void TrayController::showIcon() {
    if (m_platform.tray && m_platform.tray->isAvailable() && !m_platform.tray->isShown())
        m_platform.tray->add(Artwork::appIcon(), ProductInfo::applicationTitle(), m_c.trayMenu);
}

void TrayController::trayAvailabilityChanged(bool available) {
    if (available) {
        if (m_trayHooked)
            showIcon();
    } else if (m_trayHooked && !m_window.isVisible()) {
        // The icon went with the notification area: the hidden window goes to the taskbar.
        m_window.showMinimized();
    }
}

void TrayController::removeTrayIcon() {
    if (!m_trayHooked)
        return;
    m_trayHooked = false;
    if (m_platform.tray)
        m_platform.tray->remove();
}

void TrayController::SysTrayMouseEventHandler() {
    if (!m_trayHooked)
        return;
    m_window.activateWindow();
    m_c.trayMenu->popup(QCursor::pos());
}

void TrayController::reopenFromTray() {
    m_window.show();
    m_window.setVisible(true);
    m_window.setWindowState(Qt::WindowNoState);
    cameBack();
    RestoreMainWindow();
}

void TrayController::RestoreMainWindow() {
    if (m_hideOnStart == 1) {
        m_window.show();
        m_window.activateWindow();
        m_window.setFocus();
        m_window.repaint();
    }
    setCommand3(Command3::Hide);
    waitSeconds(*m_platform.clock, 2.0);
}

void TrayController::cameBack() {
    m_putAway = false;
    m_c.picture("Image25")->setVisible(true);
    m_c.picture("Image10")->setVisible(false);
    setCommand3(Command3::Hide);
}

bool TrayController::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (watched == &m_window && m_putAway &&
        (type == QEvent::Show || type == QEvent::WindowStateChange) && m_window.isVisible() &&
        !m_window.isMinimized())
        cameBack();
    return QObject::eventFilter(watched, event);
}

void TrayController::bringToFront() {
    const bool putAway = m_putAway;
    m_window.show();
    m_window.setWindowState(m_window.windowState() & ~Qt::WindowMinimized);
    m_window.raise();
    m_window.activateWindow();
    // Before the first hide the panel is only brought forward; its countdown goes on.
    if (putAway)
        reopenFromTray();
}

void TrayController::hideWithoutBlocking() {
    m_window.restoreNormalSize();
    installTray();
    hideWindow();
    m_putAway = true;
    m_c.picture("Image25")->setVisible(false);
    m_c.picture("Image10")->setVisible(false);
}

void TrayController::timer6Tick() {
    m_c.timer("Timer6")->setEnabled(false);
    reopenFromTray();
    setCommand3(Command3::Hide);
    Wait::processPendingEvents();
    QPushButton* command3 = m_c.command("Command3");
    command3->repaint();
    command3->click();
    m_c.press("go");
}
