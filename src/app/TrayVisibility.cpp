// The countdown, the hide to the notification area, the tray icon and the ways back to the window.

#include "app/FormTimer.h"
#include "app/MainWindow.h"
#include "app/PictureButton.h"
#include "app/Platform.h"
#include "app/ProductInfo.h"
#include "app/ProgramState.h"
#include "platform/BusyPointer.h"
#include "platform/Clock.h"
#include "platform/TrayIcon.h"
#include "platform/Waits.h"
#include "shell/Artwork.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QCursor>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <cmath>

namespace {
const QString stopCaption = QStringLiteral("Stop blocking popup ads");
const QString startCaption = QStringLiteral("Start blocking popup ads");
// A countdown whose text is not a number of seconds counts this many.
constexpr int defaultCountdownSeconds = 10;
constexpr int guardRounds = 500000;
} // namespace

void MainWindow::press(const char* name) {
    if (auto* button = findChild<QPushButton*>(QLatin1String(name)))
        button->click();
}

QString MainWindow::countdownText(const QString& seconds) const {
    return QStringLiteral("Program will start after a ") + seconds +
           QStringLiteral(" second delay. To keep visible, press 'Keep visible' ");
}

void MainWindow::wireVisibility() {
    connect(findChild<QPushButton*>(QStringLiteral("Command1")), &QPushButton::clicked, this,
            &MainWindow::countdown);
    connect(findChild<QPushButton*>(QStringLiteral("Command3")), &QPushButton::clicked, this,
            &MainWindow::command3Clicked);
    connect(findChild<QPushButton*>(QStringLiteral("Command20")), &QPushButton::clicked, this,
            &MainWindow::hideToTray);
    connect(timer(QStringLiteral("Timer5")), &FormTimer::tick, this,
            [this] { press("Command20"); });
    connect(timer(QStringLiteral("Timer6")), &FormTimer::tick, this, &MainWindow::timer6Tick);
    connect(rest1, &QAction::triggered, this, &MainWindow::reopenFromTray);
    connect(msg1, &QAction::triggered, this, [this] {
        if (showBlockedLog)
            showBlockedLog();
    });
    if (m_platform.tray)
        connect(m_platform.tray, &TrayIcon::rightButtonDown, this,
                &MainWindow::SysTrayMouseEventHandler);
}

void MainWindow::countdown() {
    const QString secondsText = secondsBeforeStartText();
    Label2->setText(countdownText(secondsText));
    const Clock& clock = *m_platform.clock;
    double t0 = clock.now();
    // A whole number of seconds; a text that is not a number counts as the default.
    const double parsed = secondsFromText(secondsText, -1);
    const int total = parsed < 0 ? defaultCountdownSeconds : static_cast<int>(std::floor(parsed));
    int remaining = total;
    int rounds = 0;
    while (clock.now() < t0 + total && !m_state.startCountdownCancelled) {
        if (++rounds > guardRounds)
            t0 = -1e9;
        Wait::processPendingEvents();
        waitSeconds(clock, 1.0);
        remaining = std::max(0, remaining - 1);
        Label2->setText(countdownText(QString::number(remaining)));
    }
    secsleft->clear();
    if (!keepVisible)
        press("Command20");
}

void MainWindow::command3Clicked() {
    auto* command3 = findChild<QPushButton*>(QStringLiteral("Command3"));
    if (command3->text() == QLatin1String("Keep visible")) {
        timer(QStringLiteral("Timer5"))->setEnabled(false);
        findChild<PictureButton*>(QStringLiteral("Image10"))->setVisible(false);
        findChild<PictureButton*>(QStringLiteral("Image6"))->setVisible(true);
        stop_start->setText(startCaption);
        command3->setText(QStringLiteral("Start"));
        secsleft->clear();
        Label2->setVisible(false);
        m_state.startCountdownCancelled = true;
        keepVisible = true;
        if (!m_trayHooked)
            installTray();
        return;
    }

    const bool isStart = command3->text() == QLatin1String("Start");
    m_platform.busyPointer->setBusy();
    auto* command4 = findChild<QPushButton*>(QStringLiteral("Command4"));
    if (command4->text() == QLatin1String("Hide Options")) {
        command4->click();
        if (command4->text() != QLatin1String("Options"))
            command4->click();
    }
    m_state.startCountdownCancelled = true;
    if (isStart) {
        if (findChild<QPushButton*>(QStringLiteral("Command14"))->text() == QLatin1String("Hide"))
            press("Command14");
        keepVisible = false;
        // The countdown then ends at once and hides the window.
        timer(QStringLiteral("Timer1"))->setEnabled(true);
    } else {
        keepVisible = false;
        FormTimer* timer5 = timer(QStringLiteral("Timer5"));
        timer5->setInterval(200);
        timer5->setEnabled(true);
        m_state.hidingToTray = true;
    }
}

void MainWindow::hideWindow() {
    if (m_platform.tray && m_platform.tray->isAvailable()) {
        hide();
    } else {
        // With no notification area the panel goes to the taskbar instead, where the user can
        // find it again; its right-button menu holds the tray's four commands.
        showMinimized();
    }
}

void MainWindow::hideToTray() {
    timer(QStringLiteral("Timer5"))->setEnabled(false);
    m_state.startCountdownCancelled = true;
    Wait::processPendingEvents();
    secsleft->clear();
    Label2->clear();
    Wait::processPendingEvents();
    hideWindow();
    m_platform.busyPointer->setDefault();
    waitSeconds(*m_platform.clock, 1.0);

    findChild<PictureButton*>(QStringLiteral("Image2"))->setVisible(true);
    msg1->setText(QString::number(m_state.popupsTerminated) + QStringLiteral(" Popups terminated"));
    findChild<PictureButton*>(QStringLiteral("Image6"))->setVisible(false);
    stop_start->setText(stopCaption);
    m_state.blockingStopped = false;
    setWidthTwips(normalWidth);
    setHeightTwips(normalHeight);
    findChild<PictureButton*>(QStringLiteral("Image25"))->setVisible(false);
    findChild<PictureButton*>(QStringLiteral("Image10"))->setVisible(true);
    if (!m_trayHooked)
        installTray();
    waitSeconds(*m_platform.clock, 1.0);
    m_state.hidingToTray = false;
    // After a re-open from the tray blocking is still running: it is not started twice.
    if (findChild<QPushButton*>(QStringLiteral("Command3"))->text() != QLatin1String("Hide") &&
        startBlocking)
        startBlocking();
}

void MainWindow::installTray() {
    if (m_trayHooked)
        return;
    m_trayHooked = true;
    if (m_platform.tray && m_platform.tray->isAvailable())
        m_platform.tray->add(Artwork::appIcon(), ProductInfo::applicationTitle(), m_trayMenu);
}

void MainWindow::removeTrayIcon() {
    if (!m_trayHooked)
        return;
    m_trayHooked = false;
    if (m_platform.tray)
        m_platform.tray->remove();
}

void MainWindow::SysTrayMouseEventHandler() {
    if (!m_trayHooked)
        return;
    activateWindow();
    m_trayMenu->popup(QCursor::pos());
}

void MainWindow::contextMenuEvent(QContextMenuEvent* event) {
    // Without a notification area the tray's menu lives on the panel itself.
    if (m_platform.tray && m_platform.tray->isAvailable()) {
        QWidget::contextMenuEvent(event);
        return;
    }
    m_trayMenu->popup(event->globalPos());
}

void MainWindow::reopenFromTray() {
    show();
    setVisible(true);
    setWindowState(Qt::WindowNoState);
    findChild<PictureButton*>(QStringLiteral("Image25"))->setVisible(true);
    findChild<PictureButton*>(QStringLiteral("Image10"))->setVisible(false);
    RestoreMainWindow();
}

void MainWindow::RestoreMainWindow() {
    if (m_hideOnStart == 1) {
        show();
        activateWindow();
        setFocus();
        repaint();
    }
    findChild<QPushButton*>(QStringLiteral("Command3"))->setText(QStringLiteral("Hide"));
    waitSeconds(*m_platform.clock, 2.0);
}

void MainWindow::hideWithoutBlocking() {
    setHeightTwips(normalHeight);
    setWidthTwips(normalWidth);
    hideWindow();
    findChild<PictureButton*>(QStringLiteral("Image25"))->setVisible(false);
    findChild<PictureButton*>(QStringLiteral("Image10"))->setVisible(false);
    if (!m_trayHooked)
        installTray();
}

void MainWindow::timer6Tick() {
    timer(QStringLiteral("Timer6"))->setEnabled(false);
    reopenFromTray();
    auto* command3 = findChild<QPushButton*>(QStringLiteral("Command3"));
    command3->setText(QStringLiteral("Hide"));
    Wait::processPendingEvents();
    command3->repaint();
    command3->click();
    press("go");
}
