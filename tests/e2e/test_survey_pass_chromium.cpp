// The real blocking cycle and survey pass running through the Chromium adapter against a real,
// headless Chromium: popups opened by clicks are closed and logged, tabs are left alone, and
// "Kill new browsers" tells windows apart by their handles.
#include "blocking/BlockingController.h"
#include "blocking/ProgramState.h"
#include "platform/ChromiumBrowser.h"
#include "platform/Clock.h"
#include "support/BlockingHarness.h"
#include "support/ChromiumProcess.h"
#include "support/DevToolsDriver.h"
#include "support/LocalHttpServer.h"
#include "support/TestMain.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QTimer>
#include <functional>
#include <memory>

namespace {

const int kWait = 30000;

// Everything blocking runs on, with the real browser adapter and the system clock.
struct Rig {
    explicit Rig(const QString& endpoint)
        : browser(options(endpoint)), harness(browser, clock), controller(harness.context) {
        browser.start();
    }

    static BrowserConnectionOptions options(const QString& endpoint) {
        BrowserConnectionOptions o;
        o.endpoint = endpoint;
        o.launch = false;
        return o;
    }

    QStringList logLines() const { return harness.logLines(); }

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

    SystemClock clock;
    ChromiumBrowser browser;
    BlockingHarness harness;
    ProgramState& state = harness.state;
    FakeLiveOptions& liveOptions = harness.options;
    SettingsStore& settings = harness.settings;
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

// Runs `script` in the page as the answer to a user's click (so window.open is allowed), without
// waiting, from inside the cycle's waits.
void actSoon(DevToolsDriver& driver, const QString& session, const QString& script) {
    driver.client()->send(
        QStringLiteral("Runtime.evaluate"),
        QJsonObject{{QStringLiteral("expression"), script}, {QStringLiteral("userGesture"), true}},
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
                return m_driver->waitUntilShown(m_tabSession, m_server.url(path));
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
        m_server.setHtml("/slow.html", "Slow Ad", "<p>at last</p>");
        m_server.setDelay("/slow.html", 1500);
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
                if (step == 0) { // the cycle is waiting for a change: open a tab
                    clickSoon(*m_driver, m_tabSession, 500, 100);
                    step = 1;
                } else if (step == 1 && m_rig->browser.count() == std::optional<int>(2)) {
                    clickSoon(*m_driver, m_tabSession, 100, 100); // now a popup
                    step = 2;
                }
                // The pass that closed the popup walked the tab before it.
                return step == 2 && m_rig->state.popupsTerminated == 1 &&
                       m_rig->browser.count() == std::optional<int>(2);
            },
            60000);
        if (!reached)
            dump();
        QVERIFY2(reached, qPrintable(QStringLiteral("stopped at step %1").arg(step)));
        QTRY_COMPARE_WITH_TIMEOUT(m_driver->pageIds().size(), 2, kWait);
        const QStringList lines = m_rig->logLines();
        QCOMPARE(lines.size(), 1); // the popup (the day's separator comes from StartBlocking)
        QVERIFY2(lines.at(0).startsWith(m_server.url("/popup.html") + "<===>"),
                 qPrintable(lines.at(0)));
    }

    void slowPages_areLoggedByTheAddressTheyWereOpenedFor_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("popup") << "popup";
        QTest::newRow("new browser window") << "new browser";
        QTest::newRow("hijacked popup") << "hijack";
    }

    void slowPages_areLoggedByTheAddressTheyWereOpenedFor() {
        // The server takes 1.5 s, far longer than the delay: every window is judged and logged
        // while it still shows its initial empty page.
        QFETCH(QString, how);
        QVERIFY(start("/mixed.html"));
        m_rig->liveOptions.popupKillSpeed = QStringLiteral(".1");
        const WindowKey first = m_rig->browser.enumerate().first();
        const QString slow = m_server.url("/slow.html");
        if (how == "new browser")
            m_rig->liveOptions.killBrowsersOn = true;
        if (how == "hijack") {
            m_rig->settings.hijackPatterns = {QStringLiteral("/slow.html")};
            m_rig->settings.desiredHomeUrl = m_server.url("/tab.html");
        }
        bool asked = false;
        const bool reached = m_rig->runCycleUntil(
            [&] {
                if (!asked && how == "new browser") // as a user opens one
                    m_driver->client()->send(QStringLiteral("Target.createTarget"),
                                             QJsonObject{{QStringLiteral("url"), slow},
                                                         {QStringLiteral("newWindow"), true}});
                else if (!asked)
                    actSoon(*m_driver, m_tabSession,
                            QStringLiteral("window.open('/slow.html', 'ad', 'width=320')"));
                asked = true;
                return m_rig->state.popupsTerminated == 1 &&
                       m_rig->browser.count() == std::optional<int>(1);
            },
            60000);
        if (!reached)
            dump();
        QVERIFY(reached);
        QCOMPARE(m_rig->browser.enumerate(), QList<WindowKey>{first}); // the first one is spared
        const QStringList lines = m_rig->logLines();
        QVERIFY(!lines.isEmpty());
        QVERIFY2(lines.first().startsWith(slow + "<===>"), qPrintable(lines.join('\n')));
        if (how == "hijack")
            QVERIFY2(lines.first().contains(" , redirected to " + m_server.url("/tab.html")),
                     qPrintable(lines.first()));
        for (const QString& line : lines)
            QVERIFY2(!line.startsWith("about:blank"), qPrintable(line));
    }

    void cycle_withShortDelay_closesEveryPopupOfSeveralClicks() {
        QVERIFY(start("/mixed.html"));
        m_rig->liveOptions.popupKillSpeed = QStringLiteral(".05");
        int opened = 0;
        const bool reached = m_rig->runCycleUntil(
            [&] {
                const bool onlyTheTab = m_rig->browser.count() == std::optional<int>(1);
                if (onlyTheTab && m_rig->state.popupsTerminated == opened && opened < 5) {
                    // Unnamed: a named one would reuse the window the browser is still closing.
                    actSoon(*m_driver, m_tabSession,
                            QStringLiteral("window.open('/popup.html', '_blank', 'width=320')"));
                    ++opened;
                }
                return m_rig->state.popupsTerminated == 5 && onlyTheTab;
            },
            90000);
        if (!reached)
            dump();
        QVERIFY(reached);
        QCOMPARE(m_rig->logLines().size(), 5);
        QTRY_COMPARE_WITH_TIMEOUT(m_driver->pageIds().size(), 1, kWait);
    }
};

PAGEWARDEN_TEST_MAIN(TestSurveyPassChromium, QCoreApplication)
#include "test_survey_pass_chromium.moc"
