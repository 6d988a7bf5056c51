// Hijack protection against a real, headless Chromium: a window opened on a listed page is sent
// home by the survey pass, and a window that was open all along and then shows a listed page (the
// window count does not change) is sent home by the periodic redirect pass.
#include "app/ProgramState.h"
#include "blocking/BlockedLog.h"
#include "blocking/BlockingContext.h"
#include "blocking/BlockingController.h"
#include "hijack/RedirectPass.h"
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

namespace {

struct Rig {
    explicit Rig(const QString& endpoint)
        : browser([&] {
              BrowserConnectionOptions o;
              o.endpoint = endpoint;
              o.launch = false;
              return o;
          }()),
          log(dir.filePath("skipped_sites.txt"), clock, state), context{browser,
                                                                        liveOptions,
                                                                        state,
                                                                        settings,
                                                                        log,
                                                                        clock,
                                                                        messages,
                                                                        beeper,
                                                                        pointer,
                                                                        view,
                                                                        QStringLiteral(
                                                                            "Pagewarden 8.0")},
          controller(context), redirect(context) {
        liveOptions.popupKillSpeed = QStringLiteral(".05");
        browser.start();
    }

    QStringList logLines() const {
        QFile file(dir.filePath("skipped_sites.txt"));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList lines = QString::fromUtf8(file.readAll()).split("\r\n", Qt::SkipEmptyParts);
        return lines;
    }

    // The blocking cycle, with the redirect pass ticking every 2 s as Timer7 does once the
    // window is in the tray, until `done` or the time is up.
    bool runUntil(const std::function<bool()>& done, int timeoutMs) {
        bool reached = false;
        QElapsedTimer elapsed;
        elapsed.start();
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            reached = done();
            if (reached || elapsed.elapsed() > timeoutMs)
                state.hidingToTray = true;
        });
        poll.start(50);
        QTimer timer7;
        QObject::connect(&timer7, &QTimer::timeout, [this] { redirect.run(); });
        timer7.start(2000);
        state.hidingToTray = false;
        controller.BlockingCycle();
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
    RedirectPass redirect;
};

} // namespace

class TestHijackChromium : public QObject {
    Q_OBJECT

    LocalHttpServer m_server;
    std::unique_ptr<ChromiumProcess> m_chromium;
    std::unique_ptr<Rig> m_rig;
    DevToolsDriver m_driver;
    QString m_tab;

    // One tab on `path`, guarded, with the hijack list and home page set.
    bool start(const QString& path) {
        m_chromium = std::make_unique<ChromiumProcess>();
        if (!m_chromium->start() || !m_driver.connectTo(m_chromium->endpoint()))
            return false;
        m_rig = std::make_unique<Rig>(m_chromium->endpoint());
        m_rig->settings.hijackPatterns = {QStringLiteral("/hijack")};
        m_rig->settings.desiredHomeUrl = m_server.url("/home.html");
        m_tab = m_driver.attach(m_driver.findPage("about:blank"));
        m_driver.call("Page.navigate", {{"url", m_server.url(path)}}, m_tab);
        return QTest::qWaitFor(
            [&] {
                const auto keys = m_rig->browser.enumerate();
                return keys.size() == 1 &&
                       m_rig->browser.locationUrl(keys.first()) == m_server.url(path);
            },
            30000);
    }

    bool isHome(WindowKey window) const {
        return m_rig->browser.locationUrl(window) == m_server.url("/home.html");
    }

private slots:
    void initTestCase() {
        if (ChromiumProcess::executable().isEmpty())
            QSKIP("no Chromium-family browser installed");
        QVERIFY(m_server.start());
        m_server.setHtml("/start.html", "Start", "<p>start</p>");
        m_server.setHtml("/hijack-new.html", "Hijacker", "<p>search here</p>");
        m_server.setHtml("/hijack-later.html", "Hijacker Later", "<p>search here</p>");
        m_server.setHtml("/home.html", "Home", "<p>home</p>");
    }

    void cleanup() {
        m_rig.reset();
        m_chromium.reset();
    }

    void windowOpenedOnAListedPage_isSentHomeAndLogged() {
        QVERIFY(start("/start.html"));
        bool opened = false;
        const bool reached = m_rig->runUntil(
            [&] {
                if (!opened) // as a page or the user would open one
                    m_rig->browser.openPage(m_server.url("/hijack-new.html"), {},
                                            [](bool, const QString&) {});
                opened = true;
                const auto keys = m_rig->browser.enumerate();
                return keys.size() == 2 && isHome(keys.last()) && !m_rig->logLines().isEmpty();
            },
            60000);
        QVERIFY(reached);
        const QString line = m_rig->logLines().first();
        QVERIFY2(line.startsWith(m_server.url("/hijack-new.html") +
                                 "<===>Hijacker , redirected to " + m_server.url("/home.html")),
                 qPrintable(line));
    }

    void windowOpenAllAlong_isSentHomeByThePeriodicPass() {
        QVERIFY(start("/start.html"));
        const WindowKey tab = m_rig->browser.enumerate().first();
        bool navigated = false;
        QElapsedTimer since;
        const bool reached = m_rig->runUntil(
            [&] {
                if (!navigated) {
                    m_driver.client()->send("Page.navigate",
                                            {{"url", m_server.url("/hijack-later.html")}}, m_tab);
                    navigated = true;
                    since.start();
                }
                return isHome(tab) && !m_rig->logLines().isEmpty();
            },
            60000);
        QVERIFY(reached);
        QCOMPARE(m_rig->browser.enumerate(), QList<WindowKey>{tab});
        // Within a few of the pass's two-second rounds.
        QVERIFY2(since.elapsed() < 10000, qPrintable(QString::number(since.elapsed())));
        const QString line = m_rig->logLines().first();
        QVERIFY2(line.startsWith(m_server.url("/hijack-later.html") + "<===>Hijacker Later"),
                 qPrintable(line));
    }
};

PAGEWARDEN_TEST_MAIN(TestHijackChromium, QCoreApplication)
#include "test_hijack_chromium.moc"
