// The main window's side of popup blocking: it shows what blocking reports and passes its clicks
// on.

#include "app/FormTimer.h"
#include "app/MainWindow.h"
#include "app/PictureButton.h"
#include "app/Platform.h"
#include "app/ProductInfo.h"
#include "app/ProgramState.h"
#include "blocking/BlockedLog.h"
#include "blocking/BlockingContext.h"
#include "blocking/BlockingController.h"
#include "hijack/ui/AntiHijacker.h"
#include "platform/NoBrowser.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>

void MainWindow::wireBlocking() {
    BrowserWindows* browser = m_platform.browser;
    if (!browser) {
        m_noBrowser = std::make_unique<NoBrowser>();
        browser = m_noBrowser.get();
    }
    m_log = std::make_unique<BlockedLog>(
        m_platform.dataFolder + QStringLiteral("/skipped_sites.txt"), *m_platform.clock, m_state);
    const BlockingContext context{*browser,
                                  *this,
                                  m_state,
                                  m_store,
                                  *m_log,
                                  *m_platform.clock,
                                  *m_platform.messages,
                                  *m_platform.beeper,
                                  *m_platform.busyPointer,
                                  *this,
                                  ProductInfo::applicationTitle()};
    m_blocking = std::make_unique<BlockingController>(context);

    // The anti-hijacker: its panel behind Command14 and the periodic redirect on Timer7.
    AntiHijackerPanel::Host host{
        this,
        [this] { return widthTwips(); },
        [this] { return heightTwips(); },
        [this](int twips) { setWidthTwips(twips); },
        [this](int twips) { setHeightTwips(twips); },
        [this] {
            timer(QStringLiteral("Timer5"))->setEnabled(false);
            findChild<QPushButton*>(QStringLiteral("Command3"))->setText(QStringLiteral("Start"));
            secsleft->clear();
            Label2->setVisible(false);
            m_state.startCountdownCancelled = true;
            keepVisible = true;
        },
        findChild<QPushButton*>(QStringLiteral("Command14")),
        browser,
        &m_store,
        &m_state,
        m_platform.messages,
        ProductInfo::applicationTitle()};
    m_hijacker = new AntiHijacker(context, std::move(host), timer(QStringLiteral("Timer7")),
                                  findChild<QWidget*>(QStringLiteral("Image2")));
    antiHijackerPanel = [this] { m_hijacker->panel().command14Clicked(); };

    startBlocking = [this] { m_blocking->StartBlocking(); };
    stopBlocking = [this] { m_blocking->StopBlocking(); };
    closeBlockedLog = [this] { m_log->CloseBlockedLog(); };
    connect(timer(QStringLiteral("Timer3")), &FormTimer::tick, this,
            [this] { m_blocking->onTimer3Tick(); });
    connect(stop_start, &QAction::triggered, this, [this] { m_blocking->onStopStartClicked(); });
}

QObject* MainWindow::blockingControl(BlockingControl control) const {
    const QString name = controlName(control);
    switch (control) {
    case BlockingControl::msg1:
        return msg1;
    case BlockingControl::stop_start:
        return stop_start;
    case BlockingControl::Timer3:
    case BlockingControl::Timer6:
        return timer(name);
    case BlockingControl::Command5_0:
    case BlockingControl::Command5_1:
        for (QPushButton* button : findChildren<QPushButton*>(name))
            if (button->property("index").toInt() == controlIndex(control))
                return button;
        return nullptr;
    default:
        return findChild<QWidget*>(name);
    }
}

void MainWindow::setCaption(BlockingControl control, const QString& text) {
    QObject* target = blockingControl(control);
    if (auto* action = qobject_cast<QAction*>(target))
        action->setText(text);
    else if (auto* label = qobject_cast<QLabel*>(target))
        label->setText(text);
    else if (auto* button = qobject_cast<QPushButton*>(target))
        button->setText(text);
}

QString MainWindow::caption(BlockingControl control) const {
    QObject* target = blockingControl(control);
    if (auto* action = qobject_cast<QAction*>(target))
        return action->text();
    if (auto* label = qobject_cast<QLabel*>(target))
        return label->text();
    if (auto* button = qobject_cast<QPushButton*>(target))
        return button->text();
    return QString();
}

void MainWindow::setEnabled(BlockingControl control, bool enabled) {
    QObject* target = blockingControl(control);
    if (auto* formTimer = qobject_cast<FormTimer*>(target))
        formTimer->setEnabled(enabled);
    else if (auto* action = qobject_cast<QAction*>(target))
        action->setEnabled(enabled);
    else if (auto* widget = qobject_cast<QWidget*>(target))
        widget->setEnabled(enabled);
}

void MainWindow::setVisible(BlockingControl control, bool visible) {
    QObject* target = blockingControl(control);
    if (auto* action = qobject_cast<QAction*>(target))
        action->setVisible(visible);
    else if (auto* widget = qobject_cast<QWidget*>(target))
        widget->setVisible(visible);
}
