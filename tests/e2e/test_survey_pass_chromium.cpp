// The real blocking cycle and survey pass running through the Chromium adapter against a real,
// headless Chromium: popups opened by clicks are closed and logged, tabs are left alone, and
// "Kill new browsers" tells windows apart by their handles.
#include "blocking/BlockedLog.h"
#include "blocking/BlockingContext.h"
#include "blocking/BlockingController.h"
#include "blocking/ProgramState.h"
#include "platform/ChromiumBrowser.h"
#include "platform/Clock.h"
#include "settings/SettingsStore.h"
#include "support/ChromiumProcess.h"
#include "support/DevToolsDriver.h"
#include "support/FakeLiveOptions.h"
#include "support/LocalHttpServer.h"
#include "support/MemorySettingsBackend.h"
#include "support/Recorders.h"
#include "support/RecordingBlockingView.h"
#include "support/TestMain.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <memory>

namespace {

const int kWait = 30000;

// Everything blocking runs on, with the real browser adapter and the system clock.
struct Rig {
    explicit Rig(const QString& endpoint)
        : browser(options(endpoint)),
          log(dir.filePath(QStringLiteral("skipped_sites.txt")), clock, state),
          context{browser,
                  liveOptions,
                  state,
                  settings,
                  log,
                  clock,
                  messages,
                  beeper,
                  pointer,
                  view,
                  QStringLiteral("Pagewarden 8.0")},
          controller(context) {
        browser.start();
    }

    static BrowserConnectionOptions options(const QString& endpoint) {
        BrowserConnectionOptions o;
        o.endpoint = endpoint;
        o.launch = false;
        return o;
    }

    QStringList logLines() const {
        QFile file(dir.filePath(QStringLiteral("skipped_sites.txt")));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList lines = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"));
        lines.removeAll(QString());
        return lines;
    }

    // Runs the blocking cycle until `done` says so (asked every 50 ms from inside the cycle's
    // waits) or the time is up; gives whether `done` was reached.
    bool runCycleUntil(const std::function<bool()>& done, int timeoutMs) {
        bool reached = false;
        QElapsedTimer elapsed;
        elapsed.start();
        QTimer poll;
        poll.setInterval(50);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (done()) {
                reached = true;
                state.hidingToTray = true;
            } else if (elapsed.elapsed() > timeoutMs) {
                state.hidingToTray = true;
            }
        });
        poll.start();
        state.hidingToTray = false;
        controller.BlockingCycle();
        poll.stop();
        return reached;
    }

    QTemporaryDir dir;
    SystemClock clock;
    ChromiumBrowser browser;
    FakeLiveOptions liveOptions;
    ProgramState state;
    MemorySettingsBackend backend;
    SettingsStore settings{backend};
    BlockedLog log;
    RecordingMessageBoxes messages;
    RecordingBeeper beeper;
    RecordingBusyPointer pointer;
    RecordingBlockingView view;
    BlockingContext context;
    BlockingController controller;
};

void clickSoon(DevToolsDriver& driver, const QString& session, int x, int y) {
    // Sent without waiting, from inside the cycle's waits.
    for (const char* type : {"mousePressed", "mouseReleased"})
        driver.client()->send(QStringLiteral("Input.dispatchMouseEvent"),
                              QJsonObject{{QStringLiteral("type"), QString::fromLatin1(type)},
                                          {QStringLiteral("x"), x},
                                          {QStringLiteral("y"), y},
                                          {QStringLiteral("button"), QStringLiteral("left")},
                                          {QStringLiteral("buttons"), 1},
                                          {QStringLiteral("clickCount"), 1}},
                              session);
}

} // namespace

class TestSurveyPassChromium : public QObject {
    Q_OBJECT

private:
    LocalHttpServer m_server;
    std::unique_ptr<ChromiumProcess> m_chromium;
    std::unique_ptr<Rig> m_rig;
    std::unique_ptr<DevToolsDriver> m_driver;
    QString m_tabSession;

    bool start(const QString& path) {
        m_chromium = std::make_unique<ChromiumProcess>();
        if (!m_chromium->start())
            return false;
        m_rig = std::make_unique<Rig>(m_chromium->endpoint());
        QDeadlineTimer guarded(kWait);
        while (!(m_rig->browser.isGuarding() && m_rig->browser.count() == std::optional<int>(1)) &&
               !guarded.hasExpired())
            QTest::qWait(20);
        m_driver = std::make_unique<DevToolsDriver>();
        if (!m_driver->connectTo(m_chromium->endpoint()))
            return false;
        m_tabSession = m_driver->attach(m_driver->findPage(QStringLiteral("about:blank")));
        if (m_tabSession.isEmpty())
            return false;
        m_driver->call(QStringLiteral("Page.navigate"),
                       QJsonObject{{QStringLiteral("url"), m_server.url(path)}}, m_tabSession);
        QDeadlineTimer deadline(kWait);
        while (!deadline.hasExpired()) {
            const auto keys = m_rig->browser.enumerate();
            if (keys.size() == 1 && m_rig->browser.documentUrl(keys.first()) ==
                                        std::optional<QString>(m_server.url(path)))
                return true;
            QTest::qWait(20);
        }
        for (WindowKey key : m_rig->browser.enumerate())
            qWarning() << "window" << key << m_rig->browser.locationUrl(key).value_or("?")
                       << m_rig->browser.documentUrl(key).value_or("?");
        qWarning() << "status" << m_rig->browser.status();
        return false;
    }

    void dump() {
        qWarning() << "killed" << m_rig->state.popupsTerminated << "status"
                   << m_rig->browser.status() << "pages the browser has"
                   << m_driver->pageIds().size();
        for (WindowKey key : m_rig->browser.enumerate())
            qWarning() << "window" << key << m_rig->browser.locationUrl(key).value_or("?") << "html"
                       << m_rig->browser.isHtmlDocument(key).value_or(false) << "opener"
                       << m_rig->browser.hasOpener(key).value_or(false) << "menubar"
                       << m_rig->browser.menuBar(key).value_or(true) << "handle"
                       << m_rig->browser.handle(key).value_or(-1) << "visible"
                       << m_rig->browser.visible(key).value_or(false);
    }

private slots:
    void initTestCase() {
        if (ChromiumProcess::executable().isEmpty())
            QSKIP("no Chromium-family browser installed");
        QVERIFY(m_server.start());
        // Left: a button that opens a popup. Right: a link that opens a tab.
        m_server.setHtml(
            "/mixed.html", "Mixed",
            "<button style=\"position:fixed;left:0;top:0;width:300px;height:300px\" "
            "onclick=\"window.open('/popup.html', 'ad', 'width=320,height=240')\">ad</button>"
            "<a href=\"/tab.html\" target=\"_blank\" style=\"position:fixed;left:400px;top:0;"
            "width:300px;height:300px;display:block\">tab</a>");
        m_server.setHtml("/popup.html", "Popup Ad", "<p>buy now</p>");
        m_server.setHtml("/tab.html", "A Tab", "<p>tab</p>");
        m_server.setHtml("/help.html", "Help", "<p>help</p>");
    }

    void cleanup() {
        m_driver.reset();
        m_rig.reset();
        m_chromium.reset();
    }

    void cycle_closesAndLogsAClickedPopup_andLeavesATabAlone() {
        QVERIFY(start("/mixed.html"));
        m_rig->liveOptions.popupKillSpeed = QStringLiteral(".2");
        int step = 0;
        const bool reached = m_rig->runCycleUntil(
            [&] {
                if (step == 0) { // the cycle is waiting for a change: open a popup
                    clickSoon(*m_driver, m_tabSession, 100, 100);
                    step = 1;
                } else if (step == 1 && m_rig->state.popupsTerminated == 1 &&
                           m_rig->browser.count() == std::optional<int>(1)) {
                    clickSoon(*m_driver, m_tabSession, 500, 100); // now a tab
                    step = 2;
                } else if (step == 2 && m_rig->browser.count() == std::optional<int>(2)) {
                    step = 3;
                    QTimer::singleShot(1500, [&step] { step = 4; }); // a pass has walked it
                }
                return step == 4;
            },
            60000);
        QVERIFY2(reached, qPrintable(QStringLiteral("stopped at step %1").arg(step)));
        QCOMPARE(m_rig->state.popupsTerminated, 1);
        QCOMPARE(m_rig->browser.count(), std::optional<int>(2));
        QCOMPARE(m_driver->pageIds().size(), 2);
        const QStringList lines = m_rig->logLines();
        QCOMPARE(lines.size(), 1); // the popup (the day's separator comes from StartBlocking)
        QVERIFY2(lines.at(0).startsWith(m_server.url("/popup.html") + "<===>Popup Ad"),
                 qPrintable(lines.at(0)));
    }

    void cycle_withShortDelay_closesEveryPopupOfSeveralClicks() {
        QVERIFY(start("/mixed.html"));
        m_rig->liveOptions.popupKillSpeed = QStringLiteral(".05");
        int clicks = 0;
        QElapsedTimer sinceClick;
        const bool reached = m_rig->runCycleUntil(
            [&] {
                const bool onlyTheTab = m_rig->browser.count() == std::optional<int>(1);
                if (onlyTheTab && m_rig->state.popupsTerminated == clicks && clicks < 5) {
                    clickSoon(*m_driver, m_tabSession, 100, 100);
                    ++clicks;
                    sinceClick.start();
                } else if (onlyTheTab && m_rig->state.popupsTerminated == clicks - 1 &&
                           sinceClick.elapsed() > 3000) {
                    // On a busy machine the browser can drop a click before the page is ready
                    // for it: no popup came, so click again.
                    clickSoon(*m_driver, m_tabSession, 100, 100);
                    sinceClick.start();
                }
                return m_rig->state.popupsTerminated == 5 &&
                       m_rig->browser.count() == std::optional<int>(1);
            },
            90000);
        if (!reached)
            dump();
        QVERIFY(reached);
        QCOMPARE(m_rig->logLines().size(), 5);
        QCOMPARE(m_driver->pageIds().size(), 1);
    }

    void killNewBrowsers_closesAWindowOpenedLaterButSparesTheFirst() {
        QVERIFY(start("/mixed.html"));
        m_rig->liveOptions.popupKillSpeed = QStringLiteral(".05");
        m_rig->liveOptions.killBrowsersOn = true;
        const WindowKey first = m_rig->browser.enumerate().first();
        bool asked = false;
        const bool reached = m_rig->runCycleUntil(
            [&] {
                if (!asked) {
                    // A new window, as a user (or Pagewarden's own help) would open one.
                    m_rig->browser.openPage(m_server.url("/help.html"), {},
                                            [](bool, const QString&) {});
                    asked = true;
                }
                return m_rig->state.popupsTerminated == 1 &&
                       m_rig->browser.count() == std::optional<int>(1);
            },
            60000);
        if (!reached)
            dump();
        QVERIFY(reached);
        QCOMPARE(m_rig->browser.enumerate(), QList<WindowKey>{first});
    }
};

PAGEWARDEN_TEST_MAIN(TestSurveyPassChromium, QCoreApplication)
#include "test_survey_pass_chromium.moc"
