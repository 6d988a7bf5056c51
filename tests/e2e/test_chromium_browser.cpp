// The adapter against a real, headless Chromium on loopback. Each test starts its own browser
// (and its own adapter) and stops both again, also when it fails.
#include "platform/ChromiumBrowser.h"
#include "support/ChromiumProcess.h"
#include "support/DevToolsDriver.h"
#include "support/LocalHttpServer.h"
#include "support/TestMain.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <csignal>
#include <memory>
#include <signal.h>

// Same as QTRY_VERIFY_WITH_TIMEOUT, for helpers that return a value.
#define QTRY_VERIFY_WITH_TIMEOUT_RET(expr, timeout)                                                \
    do {                                                                                           \
        QDeadlineTimer deadline_(timeout);                                                         \
        while (!(expr) && !deadline_.hasExpired())                                                 \
            QTest::qWait(20);                                                                      \
        if (!(expr)) {                                                                             \
            qWarning("timed out waiting for %s", #expr);                                           \
            return false;                                                                          \
        }                                                                                          \
    } while (false)

namespace {

const int kWait = 30000; // generous: two cores shared with other builds

// A page whose whole top-left corner is one button running `onclick`.
QString buttonPage(const QString& onclick) {
    return QStringLiteral("<button id=\"b\" style=\"position:fixed;left:0;top:0;width:300px;"
                          "height:300px\" onclick=\"%1\">go</button>")
        .arg(onclick.toHtmlEscaped());
}

} // namespace

class TestChromiumBrowser : public QObject {
    Q_OBJECT

private:
    LocalHttpServer m_server;
    std::unique_ptr<ChromiumProcess> m_chromium;
    std::unique_ptr<ChromiumBrowser> m_browser;
    std::unique_ptr<DevToolsDriver> m_driver;
    QString m_tabSession;                     // the driver's session on the first tab
    std::unique_ptr<QTemporaryDir> m_profile; // of a browser the adapter launches; outlives it

    QString newProfileFolder() {
        m_profile = std::make_unique<QTemporaryDir>();
        return m_profile->path() + QStringLiteral("/browser-profile");
    }

    // A browser on a loopback port, the adapter attached to it and the driver's hands on its
    // first tab, which shows `path`.
    bool startAttached(const QString& path, const QStringList& extraArguments = {}) {
        m_chromium = std::make_unique<ChromiumProcess>();
        if (!m_chromium->start(extraArguments)) {
            qWarning() << "chromium:" << m_chromium->lastError();
            return false;
        }
        BrowserConnectionOptions options;
        options.endpoint = m_chromium->endpoint();
        options.launch = false;
        m_browser = std::make_unique<ChromiumBrowser>(options);
        m_browser->start();
        QTRY_VERIFY_WITH_TIMEOUT_RET(m_browser->isGuarding() && m_browser->count() == 1, kWait);
        m_driver = std::make_unique<DevToolsDriver>();
        if (!m_driver->connectTo(m_chromium->endpoint()))
            return false;
        return showInFirstTab(path);
    }

    bool showInFirstTab(const QString& path) {
        const QString tab = m_driver->findPage(QStringLiteral("about:blank"));
        if (tab.isEmpty())
            return false;
        m_tabSession = m_driver->attach(tab);
        if (m_tabSession.isEmpty())
            return false;
        m_driver->call(QStringLiteral("Page.navigate"),
                       QJsonObject{{QStringLiteral("url"), m_server.url(path)}}, m_tabSession);
        return waitForTitleOfOnlyWindow();
    }

    bool waitForTitleOfOnlyWindow() {
        QDeadlineTimer deadline(kWait);
        while (!deadline.hasExpired()) {
            const auto keys = m_browser->enumerate();
            if (keys.size() == 1 &&
                m_browser->documentTitle(keys.first()).value_or(QString()) != QString() &&
                m_browser->isHtmlDocument(keys.first()).value_or(false))
                return true;
            QTest::qWait(20);
        }
        return false;
    }

    // The keys that were not there before.
    QList<WindowKey> newKeys(const QList<WindowKey>& before) {
        QList<WindowKey> added;
        for (WindowKey key : m_browser->enumerate()) {
            if (!before.contains(key))
                added.append(key);
        }
        return added;
    }

    bool isPopup(WindowKey key) {
        return m_browser->hasOpener(key).value_or(false) && !m_browser->menuBar(key).value_or(true);
    }

private slots:
    void initTestCase() {
        if (ChromiumProcess::executable().isEmpty())
            QSKIP("no Chromium-family browser installed");
        QVERIFY(m_server.start());
        m_server.setHtml("/opener.html", "Opener",
                         buttonPage("window.open('/popup.html', 'ad', 'width=320,height=240')"));
        m_server.setHtml("/popup.html", "Popup Ad", "<p>buy now</p>");
        m_server.setHtml(
            "/noopener.html", "Noopener",
            buttonPage("window.open('/popup.html', 'x', 'noopener,width=320,height=240')"));
        m_server.setHtml(
            "/cross-opener.html", "Cross Opener",
            buttonPage(QStringLiteral("window.open('%1', 'ad', 'width=320,height=240')")
                           .arg(m_server.url("/popup.html").replace("127.0.0.1", "localhost"))));
        m_server.setHtml("/links.html", "Links",
                         "<a href=\"/tab.html\" target=\"_blank\" style=\"display:block;"
                         "position:fixed;left:0;top:0;width:300px;height:300px\">tab</a>");
        m_server.setHtml("/tab.html", "A Tab", "<p>tab</p>");
        m_server.setHtml(
            "/nav-opener.html", "Nav Opener",
            buttonPage("window.open('/popup-nav.html', 'nav', 'width=320,height=240')"));
        m_server.setHtml("/popup-nav.html", "Moving On",
                         "<script>setTimeout(() => location.href = '/landed.html', 50);</script>");
        m_server.setHtml("/landed.html", "Landed", "<p>landed</p>");
        m_server.setHtml("/counted.html", "Counted", "<p>counted</p>");
        m_server.setHtml(
            "/flood.html", "Flood",
            buttonPage("for (let i = 0; i < 50; ++i) window.open('/popup.html?n=' + i, "
                       "'flood' + i, 'width=200,height=200')"));
        m_server.setPage("/plain.txt", "just text", "text/plain");
        m_server.setHtml("/hang.html", "Hang", buttonPage("for (;;) {}"));
    }

    void cleanup() {
        m_driver.reset();
        m_browser.reset();
        m_chromium.reset(); // stops (kills, if need be) the browser
        m_profile.reset();
    }

    void popupOpenedByClick_isAPopupWithItsAddressAndTitle_andQuitClosesIt() {
        QVERIFY(startAttached("/opener.html"));
        const QList<WindowKey> before = m_browser->enumerate();
        const WindowKey opener = before.first();
        QCOMPARE(m_browser->menuBar(opener), std::optional<bool>(true));
        QCOMPARE(m_browser->hasOpener(opener), std::optional<bool>(false));
        QSignalSpy countChanges(m_browser.get(), &BrowserWindows::countChanged);

        QVERIFY(m_driver->click(m_tabSession, 100, 100));
        QTRY_COMPARE_WITH_TIMEOUT(m_browser->count(), std::optional<int>(2), kWait);
        QVERIFY(countChanges.size() >= 1);
        const QList<WindowKey> added = newKeys(before);
        QCOMPARE(added.size(), 1);
        const WindowKey popup = added.first();
        QCOMPARE(m_browser->hasOpener(popup), std::optional<bool>(true));
        QCOMPARE(m_browser->menuBar(popup), std::optional<bool>(false));
        QCOMPARE(m_browser->visible(popup), std::optional<bool>(true));
        QTRY_COMPARE_WITH_TIMEOUT(m_browser->locationUrl(popup),
                                  std::optional<QString>(m_server.url("/popup.html")), kWait);
        QTRY_COMPARE_WITH_TIMEOUT(m_browser->documentTitle(popup),
                                  std::optional<QString>("Popup Ad"), kWait);
        QCOMPARE(m_browser->documentUrl(popup),
                 std::optional<QString>(m_server.url("/popup.html")));
        QCOMPARE(m_browser->isHtmlDocument(popup), std::optional<bool>(true));
        // A popup is a window of its own.
        QVERIFY(m_browser->handle(popup).has_value());
        QVERIFY(m_browser->handle(popup) != m_browser->handle(opener));

        QVERIFY(m_browser->quit(popup));
        QTRY_COMPARE_WITH_TIMEOUT(m_browser->count(), std::optional<int>(1), kWait);
        QVERIFY(!m_browser->enumerate().contains(popup));
        QCOMPARE(m_driver->pageIds().size(), 1);
        // A closed window is gone for every operation.
        QVERIFY(!m_browser->locationUrl(popup));
        QVERIFY(!m_browser->menuBar(popup));
        QVERIFY(!m_browser->quit(popup));
        QCOMPARE(m_browser->enumerate(), before);
    }

    void crossSitePopup_isAPopupToo() {
        // Ads open on other sites; the popup then runs in a renderer process of its own.
        QVERIFY(startAttached("/cross-opener.html"));
        const QList<WindowKey> before = m_browser->enumerate();
        QVERIFY(m_driver->click(m_tabSession, 100, 100));
        QTRY_COMPARE_WITH_TIMEOUT(m_browser->count(), std::optional<int>(2), kWait);
        const WindowKey popup = newKeys(before).first();
        QCOMPARE(m_browser->hasOpener(popup), std::optional<bool>(true));
        QCOMPARE(m_browser->menuBar(popup), std::optional<bool>(false));
        const QString address = m_server.url("/popup.html").replace("127.0.0.1", "localhost");
        QTRY_COMPARE_WITH_TIMEOUT(m_browser->documentUrl(popup), std::optional<QString>(address),
                                  kWait);
        QTRY_COMPARE_WITH_TIMEOUT(m_browser->documentTitle(popup),
                                  std::optional<QString>("Popup Ad"), kWait);
        QVERIFY(m_browser->quit(popup));
        QTRY_COMPARE_WITH_TIMEOUT(m_browser->count(), std::optional<int>(1), kWait);
    }

    void noopenerPopup_hasNoOpenerAndNoMenuBar() {
        QVERIFY(startAttached("/noopener.html"));
        m_browser->setHeldPageTimeout(60000); // nothing here may wait for it
        const QList<WindowKey> before = m_browser->enumerate();
        QVERIFY(m_driver->click(m_tabSession, 100, 100));
        QTRY_COMPARE_WITH_TIMEOUT(m_browser->count(), std::optional<int>(2), kWait);
        const WindowKey window = newKeys(before).first();
        QCOMPARE(m_browser->hasOpener(window), std::optional<bool>(false));
        QCOMPARE(m_browser->menuBar(window), std::optional<bool>(false));
        QVERIFY(!isPopup(window)); // no opener: never a popup
        QTRY_COMPARE_WITH_TIMEOUT(m_browser->documentTitle(window),
                                  std::optional<QString>("Popup Ad"), kWait);
    }

    void tabOpenedByLink_showsItsMenuBarAndIsNoPopup() {
        QVERIFY(startAttached("/links.html"));
        const QList<WindowKey> before = m_browser->enumerate();
        m_browser->setHeldPageTimeout(60000); // a tab must not need it
        QVERIFY(m_driver->click(m_tabSession, 100, 100));
        QTRY_COMPARE_WITH_TIMEOUT(m_browser->count(), std::optional<int>(2), kWait);
        const WindowKey tab = newKeys(before).first();
        QTRY_COMPARE_WITH_TIMEOUT(m_browser->documentTitle(tab), std::optional<QString>("A Tab"),
                                  kWait);
        QCOMPARE(m_browser->hasOpener(tab), std::optional<bool>(false));
        QCOMPARE(m_browser->menuBar(tab), std::optional<bool>(true));
        QVERIFY(!isPopup(tab));
        // A tab lives in its opener's window and shares its handle; it counts as visible.
        QCOMPARE(m_browser->handle(tab), m_browser->handle(before.first()));
        QCOMPARE(m_browser->visible(tab), std::optional<bool>(true));
    }

    void popupThatNavigated_isStillJudgedByHowItWasOpened() {
        QVERIFY(startAttached("/nav-opener.html"));
        const QList<WindowKey> before = m_browser->enumerate();
        QVERIFY(m_driver->click(m_tabSession, 100, 100));
        QTRY_COMPARE_WITH_TIMEOUT(m_browser->count(), std::optional<int>(2), kWait);
        const WindowKey popup = newKeys(before).first();
        QTRY_COMPARE_WITH_TIMEOUT(m_browser->locationUrl(popup),
                                  std::optional<QString>(m_server.url("/landed.html")), kWait);
        QTRY_COMPARE_WITH_TIMEOUT(m_browser->documentTitle(popup), std::optional<QString>("Landed"),
                                  kWait);
        QCOMPARE(m_browser->menuBar(popup), std::optional<bool>(false));
        QCOMPARE(m_browser->hasOpener(popup), std::optional<bool>(true));
        // The page itself would now say otherwise: after a navigation the browser reports a
        // menu bar even in a popup. That is why the adapter reads it when the window is made.
        const QString session = m_driver->attach(m_driver->findPage("/landed.html"));
        QCOMPARE(m_driver->evaluate(session, "window.menubar.visible").toBool(), true);
        QVERIFY(m_browser->quit(popup));
        QTRY_COMPARE_WITH_TIMEOUT(m_browser->count(), std::optional<int>(1), kWait);
    }

    void popupFromAPageThatWasNavigatedByUs_isStillAPopup() {
        QVERIFY(startAttached("/links.html"));
        const WindowKey tab = m_browser->enumerate().first();
        QVERIFY(m_browser->navigate(tab, m_server.url("/opener.html")));
        QTRY_COMPARE_WITH_TIMEOUT(m_browser->documentTitle(tab), std::optional<QString>("Opener"),
                                  kWait);
        QTRY_COMPARE_WITH_TIMEOUT(m_browser->documentUrl(tab),
                                  std::optional<QString>(m_server.url("/opener.html")), kWait);
        const QList<WindowKey> before = m_browser->enumerate();
        QVERIFY(m_driver->click(m_tabSession, 100, 100));
        QTRY_COMPARE_WITH_TIMEOUT(m_browser->count(), std::optional<int>(2), kWait);
        const WindowKey popup = newKeys(before).first();
        QVERIFY(isPopup(popup));
        QTRY_COMPARE_WITH_TIMEOUT(m_browser->documentTitle(popup),
                                  std::optional<QString>("Popup Ad"), kWait);
    }

    void handles_tellWindowsOpenBeforeFromWindowsOpenedAfter() {
        QVERIFY(startAttached("/links.html"));
        const WindowKey first = m_browser->enumerate().first();
        const auto firstHandle = m_browser->handle(first);
        QVERIFY(firstHandle.has_value());

        // A window opened the way Pagewarden opens web pages: a new window, a new handle.
        bool opened = false;
        QString failure;
        m_browser->openPage(m_server.url("/tab.html"), m_server.url("/counted.html"),
                            [&](bool ok, const QString& why) {
                                opened = ok;
                                failure = why;
                            });
        QTRY_VERIFY_WITH_TIMEOUT(opened || !failure.isEmpty(), kWait);
        QVERIFY2(opened, qPrintable(failure));
        QTRY_COMPARE_WITH_TIMEOUT(m_browser->count(), std::optional<int>(2), kWait);
        const WindowKey window = newKeys({first}).first();
        QTRY_COMPARE_WITH_TIMEOUT(m_browser->documentTitle(window),
                                  std::optional<QString>("Counted"), kWait);
        QVERIFY(m_browser->handle(window).has_value());
        QVERIFY(m_browser->handle(window) != firstHandle);
        QCOMPARE(m_browser->menuBar(window), std::optional<bool>(true));
        QCOMPARE(m_browser->hasOpener(window), std::optional<bool>(false));

        // A tab opened later in the first window shares that window's handle.
        const QList<WindowKey> before = m_browser->enumerate();
        QVERIFY(m_driver->click(m_tabSession, 100, 100));
        QTRY_COMPARE_WITH_TIMEOUT(m_browser->count(), std::optional<int>(3), kWait);
        const WindowKey tab = newKeys(before).first();
        QCOMPARE(m_browser->handle(tab), firstHandle);

        // Keys are never reused: a window that closes and one that opens get different keys.
        QVERIFY(m_browser->quit(tab));
        QTRY_COMPARE_WITH_TIMEOUT(m_browser->count(), std::optional<int>(2), kWait);
        QVERIFY(m_driver->click(m_tabSession, 100, 100));
        QTRY_COMPARE_WITH_TIMEOUT(m_browser->count(), std::optional<int>(3), kWait);
        const WindowKey again = newKeys(before).first();
        QVERIFY(again != tab);
        QVERIFY(again > tab);
    }

    void openPage_reportsAnAddressThatCannotBeOpened() {
        QVERIFY(startAttached("/links.html"));
        bool finished = false;
        bool opened = true;
        QString failure;
        m_browser->openPage(m_server.url("/tab.html"), QStringLiteral("http://[not an address"),
                            [&](bool ok, const QString& why) {
                                finished = true;
                                opened = ok;
                                failure = why;
                            });
        QTRY_VERIFY_WITH_TIMEOUT(finished, kWait);
        QVERIFY(!opened);
        QVERIFY(!failure.isEmpty());
    }

    void navigateThenRefresh_reloadWaitsForTheNavigation() {
        QVERIFY(startAttached("/links.html"));
        const WindowKey tab = m_browser->enumerate().first();
        const int before = m_server.requestCount("/counted.html");
        // Both at once, as the redirect does: the reload must not be lost or refused.
        QVERIFY(m_browser->navigate(tab, m_server.url("/counted.html")));
        QVERIFY(m_browser->refresh(tab));
        QTRY_COMPARE_WITH_TIMEOUT(m_server.requestCount("/counted.html"), before + 2, kWait);
        QTRY_COMPARE_WITH_TIMEOUT(m_browser->documentTitle(tab), std::optional<QString>("Counted"),
                                  kWait);
        QCOMPARE(m_browser->locationUrl(tab),
                 std::optional<QString>(m_server.url("/counted.html")));
        // And a refresh on its own reloads too.
        QVERIFY(m_browser->refresh(tab));
        QTRY_COMPARE_WITH_TIMEOUT(m_server.requestCount("/counted.html"), before + 3, kWait);
        QTest::qWait(300);
        QCOMPARE(m_server.requestCount("/counted.html"), before + 3);
    }

    void documentKinds_onlyHtmlCounts() {
        QVERIFY(startAttached("/links.html"));
        const WindowKey tab = m_browser->enumerate().first();
        QCOMPARE(m_browser->isHtmlDocument(tab), std::optional<bool>(true));
        QVERIFY(m_browser->navigate(tab, m_server.url("/plain.txt")));
        QTRY_COMPARE_WITH_TIMEOUT(m_browser->documentUrl(tab),
                                  std::optional<QString>(m_server.url("/plain.txt")), kWait);
        QTRY_COMPARE_WITH_TIMEOUT(m_browser->isHtmlDocument(tab), std::optional<bool>(false),
                                  kWait);
        QVERIFY(m_browser->navigate(tab, m_server.url("/tab.html")));
        QTRY_COMPARE_WITH_TIMEOUT(m_browser->isHtmlDocument(tab), std::optional<bool>(true), kWait);
    }

    void crashedPage_hasNoDocumentAndStallsNothing() {
        QVERIFY(startAttached("/links.html"));
        const WindowKey tab = m_browser->enumerate().first();
        m_driver->client()->send(QStringLiteral("Page.crash"), {}, m_tabSession);
        QTRY_COMPARE_WITH_TIMEOUT(m_browser->isHtmlDocument(tab), std::optional<bool>(false),
                                  kWait);
        QVERIFY(!m_browser->documentTitle(tab));
        // The window is still there (a crashed tab stays open) and answers at once.
        QCOMPARE(m_browser->count(), std::optional<int>(1));
        QVERIFY(m_browser->quit(tab));
        QTRY_COMPARE_WITH_TIMEOUT(m_browser->count(), std::optional<int>(0), kWait);
    }

    void hungPage_isAnsweredAtOnceAndCanBeClosed() {
        QVERIFY(startAttached("/hang.html"));
        const WindowKey tab = m_browser->enumerate().first();
        // The page's script never returns; the click is not even acknowledged.
        for (const char* type : {"mousePressed", "mouseReleased"})
            m_driver->client()->send(
                QStringLiteral("Input.dispatchMouseEvent"),
                QJsonObject{{QStringLiteral("type"), QString::fromLatin1(type)},
                            {QStringLiteral("x"), 100},
                            {QStringLiteral("y"), 100},
                            {QStringLiteral("button"), QStringLiteral("left")},
                            {QStringLiteral("buttons"), 1},
                            {QStringLiteral("clickCount"), 1}},
                m_tabSession);
        QTest::qWait(500);
        // A title change asks the page for its title; the page cannot answer, yet every read
        // is answered at once.
        m_driver->client()->send(
            QStringLiteral("Target.activateTarget"),
            QJsonObject{{QStringLiteral("targetId"), m_driver->findPage("/hang.html")}});
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < 1000; ++i) {
            m_browser->count();
            m_browser->isHtmlDocument(tab);
            m_browser->documentTitle(tab);
            m_browser->locationUrl(tab);
            m_browser->hasOpener(tab);
        }
        QVERIFY2(timer.elapsed() < 200, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(m_browser->refresh(tab));
        QVERIFY(m_browser->quit(tab));
        QTRY_COMPARE_WITH_TIMEOUT(m_browser->count(), std::optional<int>(0), kWait);
        QVERIFY(m_browser->isGuarding());
    }

    void floodOfFiftyPopups_allSeenAndAllClosed() {
        // One click may open only one popup under the browser's own blocker; the flood needs it
        // off, as an ad page that found a way around it would.
        QVERIFY(startAttached("/flood.html", {QStringLiteral("--disable-popup-blocking")}));
        const WindowKey opener = m_browser->enumerate().first();
        QSet<WindowKey> closed;
        // Close popups the moment the mirror shows them, as a blocking pass would.
        connect(m_browser.get(), &BrowserWindows::countChanged, this, [&] {
            for (WindowKey key : m_browser->enumerate()) {
                if (key != opener && !closed.contains(key) && isPopup(key) && m_browser->quit(key))
                    closed.insert(key);
            }
        });
        QVERIFY(m_driver->click(m_tabSession, 100, 100));
        QTRY_COMPARE_WITH_TIMEOUT(closed.size(), 50, 60000);
        QTRY_COMPARE_WITH_TIMEOUT(m_browser->count(), std::optional<int>(1), 60000);
        QTRY_COMPARE_WITH_TIMEOUT(m_driver->pageIds().size(), 1, kWait);
        QCOMPARE(m_browser->enumerate(), QList<WindowKey>{opener});
    }

    void pageHeldWhenItsHolderDies_staysHeldUntilWeAreBack() {
        // What happens to a new page held on its about:blank when the client that holds it dies
        // before resuming it (as our process could).
        QVERIFY(startAttached("/opener.html"));
        m_browser.reset(); // only the holder below holds pages now
        const int loadsBefore = m_server.requestCount("/popup.html");
        DevToolsDriver holder;
        QVERIFY(holder.connectTo(m_chromium->endpoint()));
        QVERIFY(holder
                    .call(QStringLiteral("Target.setAutoAttach"),
                          QJsonObject{{QStringLiteral("autoAttach"), true},
                                      {QStringLiteral("waitForDebuggerOnStart"), true},
                                      {QStringLiteral("flatten"), true}})
                    .ok);
        // The click is sent without waiting for its answer: while the new page is held, so is
        // the opener's renderer that shares its process, and the release is not acknowledged.
        for (const char* type : {"mousePressed", "mouseReleased"})
            m_driver->client()->send(
                QStringLiteral("Input.dispatchMouseEvent"),
                QJsonObject{{QStringLiteral("type"), QString::fromLatin1(type)},
                            {QStringLiteral("x"), 100},
                            {QStringLiteral("y"), 100},
                            {QStringLiteral("button"), QStringLiteral("left")},
                            {QStringLiteral("buttons"), 1},
                            {QStringLiteral("clickCount"), 1}},
                m_tabSession);
        QTRY_COMPARE_WITH_TIMEOUT(m_driver->pageIds().size(), 2, kWait);
        QTest::qWait(1000);
        QCOMPARE(m_server.requestCount("/popup.html"), loadsBefore); // held: nothing fetched
        holder.client()->close();
        QTRY_VERIFY_WITH_TIMEOUT(!holder.client()->isOpen(), kWait);
        // The browser does not let it go by itself: it stays held after its holder is gone.
        QTest::qWait(2000);
        QCOMPARE(m_server.requestCount("/popup.html"), loadsBefore);
        // When we are back we find it still waiting and release it.
        BrowserConnectionOptions options;
        options.endpoint = m_chromium->endpoint();
        options.launch = false;
        m_browser = std::make_unique<ChromiumBrowser>(options);
        m_browser->start();
        QTRY_COMPARE_WITH_TIMEOUT(m_server.requestCount("/popup.html"), loadsBefore + 1, kWait);
        QTRY_COMPARE_WITH_TIMEOUT(m_browser->count(), std::optional<int>(2), kWait);
    }

    void launchedBrowserThatHangs_isReplaced() {
        BrowserConnectionOptions options;
        options.attach = false;
        options.profileFolder = newProfileFolder();
        options.extraArguments = ChromiumProcess::quietArguments();
        options.heartbeatMs = 1000;
        m_browser = std::make_unique<ChromiumBrowser>(options);
        m_browser->start();
        QTRY_VERIFY_WITH_TIMEOUT(m_browser->isGuarding(), 60000);
        QTRY_VERIFY_WITH_TIMEOUT(m_browser->count().value_or(0) >= 1, kWait);
        const qint64 firstPid = m_browser->connector().browserProcessId();
        QVERIFY(firstPid > 0);
        ::kill(static_cast<pid_t>(firstPid), SIGSTOP);
        // Reads never wait on the hung browser.
        QElapsedTimer timer;
        timer.start();
        for (WindowKey key : m_browser->enumerate()) {
            m_browser->documentTitle(key);
            m_browser->quit(key);
        }
        QVERIFY(timer.elapsed() < 100);
        QTRY_VERIFY_WITH_TIMEOUT(!m_browser->isGuarding(), kWait);
        QVERIFY2(m_browser->status().contains("stopped answering"),
                 qPrintable(m_browser->status()));
        QCOMPARE(m_browser->count(), std::optional<int>(0));
        QTRY_VERIFY_WITH_TIMEOUT(m_browser->isGuarding(), 60000);
        QVERIFY(m_browser->connector().browserProcessId() != firstPid);
        QTRY_VERIFY_WITH_TIMEOUT(m_browser->count().value_or(0) >= 1, kWait);
        // The hung one was ended, not left behind.
        QTRY_VERIFY_WITH_TIMEOUT(::kill(static_cast<pid_t>(firstPid), 0) != 0, kWait);
    }

    void newWindowNavigatedAtOnceByAnotherClient_arrivesWhereItWasSent() {
        // Someone else (the user, a page, another tool) sends a brand-new window somewhere the
        // moment it exists, while we still hold it to read its creation facts.
        QVERIFY(startAttached("/links.html"));
        for (int i = 0; i < 5; ++i) {
            const QString targetId =
                m_driver
                    ->call(QStringLiteral("Target.createTarget"),
                           QJsonObject{{QStringLiteral("url"), QStringLiteral("about:blank")}})
                    .result.value("targetId")
                    .toString();
            QVERIFY(!targetId.isEmpty());
            const QString session = m_driver->attach(targetId);
            QVERIFY(!session.isEmpty());
            m_driver->call(QStringLiteral("Page.navigate"),
                           QJsonObject{{QStringLiteral("url"), m_server.url("/tab.html")}},
                           session);
            QTRY_COMPARE_WITH_TIMEOUT(m_browser->count(), std::optional<int>(2 + i), kWait);
            const WindowKey window = m_browser->enumerate().last();
            QTRY_COMPARE_WITH_TIMEOUT(m_browser->documentTitle(window),
                                      std::optional<QString>("A Tab"), kWait);
        }
    }

    void pageNavigatedWhileWeAttach_isReportedWhereItIs() {
        // The browser has just started and its first tab is sent somewhere while the adapter is
        // still attaching to it: the mirror must end up with the page's real document.
        for (int round = 0; round < 2; ++round) {
            m_chromium = std::make_unique<ChromiumProcess>();
            QVERIFY(m_chromium->start());
            BrowserConnectionOptions options;
            options.endpoint = m_chromium->endpoint();
            options.launch = false;
            m_browser = std::make_unique<ChromiumBrowser>(options);
            m_browser->start();
            m_driver = std::make_unique<DevToolsDriver>();
            QVERIFY(m_driver->connectTo(m_chromium->endpoint()));
            const QString session = m_driver->attach(m_driver->findPage("about:blank"));
            QVERIFY(!session.isEmpty());
            QVERIFY(m_driver
                        ->call(QStringLiteral("Page.navigate"),
                               QJsonObject{{QStringLiteral("url"), m_server.url("/tab.html")}},
                               session)
                        .ok);
            QTRY_COMPARE_WITH_TIMEOUT(m_browser->count(), std::optional<int>(1), kWait);
            const WindowKey tab = m_browser->enumerate().first();
            QTRY_COMPARE_WITH_TIMEOUT(m_browser->documentTitle(tab),
                                      std::optional<QString>("A Tab"), kWait);
            QTRY_COMPARE_WITH_TIMEOUT(m_browser->documentUrl(tab),
                                      std::optional<QString>(m_server.url("/tab.html")), kWait);
            QCOMPARE(m_browser->locationUrl(tab),
                     std::optional<QString>(m_server.url("/tab.html")));
            QCOMPARE(m_browser->isHtmlDocument(tab), std::optional<bool>(true));
            cleanup();
        }
    }

    void attachedBrowserKilledAndStartedAgain_isGuardedAgain() {
        QVERIFY(startAttached("/opener.html"));
        QSignalSpy status(m_browser.get(), &ChromiumBrowser::statusChanged);
        QVERIFY(m_browser->status().startsWith("Guarding the browser at 127.0.0.1:"));
        const WindowKey oldTab = m_browser->enumerate().first();
        const quint16 port = m_chromium->port();
        m_driver.reset();
        m_chromium->kill();
        QTRY_COMPARE_WITH_TIMEOUT(m_browser->count(), std::optional<int>(0), kWait);
        QTRY_VERIFY_WITH_TIMEOUT(!m_browser->isGuarding(), kWait);
        QVERIFY(m_browser->status().startsWith("Lost the browser"));
        QVERIFY(!m_browser->quit(oldTab));
        QVERIFY(!m_browser->locationUrl(oldTab));

        QVERIFY2(m_chromium->start({}, port), qPrintable(m_chromium->lastError()));
        QTRY_VERIFY_WITH_TIMEOUT(m_browser->isGuarding(), 60000);
        QTRY_COMPARE_WITH_TIMEOUT(m_browser->count(), std::optional<int>(1), kWait);
        QVERIFY(m_browser->status().startsWith("Guarding the browser at 127.0.0.1:"));
        // The mirror is whole again: a popup is seen and closed as before.
        m_driver = std::make_unique<DevToolsDriver>();
        QVERIFY(m_driver->connectTo(m_chromium->endpoint()));
        QVERIFY(showInFirstTab("/opener.html"));
        const QList<WindowKey> before = m_browser->enumerate();
        QVERIFY(!before.contains(oldTab));
        QVERIFY(m_driver->click(m_tabSession, 100, 100));
        QTRY_COMPARE_WITH_TIMEOUT(m_browser->count(), std::optional<int>(2), kWait);
        const WindowKey popup = newKeys(before).first();
        QVERIFY(isPopup(popup));
        QVERIFY(m_browser->quit(popup));
        QTRY_COMPARE_WITH_TIMEOUT(m_browser->count(), std::optional<int>(1), kWait);
    }

    void launchedBrowserClosedOnPurpose_isStartedAgainOnlyToOpenAPage() {
        // A browser of ours that its user closed (Browser.close ends it the same way as closing
        // its last window) is not brought back by itself.
        BrowserConnectionOptions options;
        options.attach = false;
        options.profileFolder = newProfileFolder();
        options.extraArguments = ChromiumProcess::quietArguments();
        m_browser = std::make_unique<ChromiumBrowser>(options);
        m_browser->start();
        QTRY_VERIFY_WITH_TIMEOUT(m_browser->isGuarding(), 60000);
        QTRY_VERIFY_WITH_TIMEOUT(m_browser->count().value_or(0) >= 1, kWait);
        const qint64 firstPid = m_browser->connector().browserProcessId();
        m_browser->connector().client()->send(QStringLiteral("Browser.close"));
        QTRY_COMPARE_WITH_TIMEOUT(m_browser->connector().state(), BrowserConnector::State::Closed,
                                  kWait);
        QCOMPARE(m_browser->count(), std::optional<int>(0));
        QVERIFY(!m_browser->isGuarding());
        QVERIFY(m_browser->canOpenPages());
        QVERIFY2(m_browser->status().startsWith("The browser was closed"),
                 qPrintable(m_browser->status()));
        QTest::qWait(3000); // longer than the first retry
        QCOMPARE(m_browser->connector().state(), BrowserConnector::State::Closed);
        QCOMPARE(m_browser->connector().browserProcessId(), qint64(0));

        // Opening a page starts it again and the page opens in it.
        bool finished = false;
        bool opened = false;
        QString failure;
        m_browser->openPage(m_server.url("/tab.html"), m_server.url("/landed.html"),
                            [&](bool ok, const QString& why) {
                                finished = true;
                                opened = ok;
                                failure = why;
                            });
        QTRY_VERIFY_WITH_TIMEOUT(finished, 60000);
        QVERIFY2(opened, qPrintable(failure));
        QVERIFY(m_browser->isGuarding());
        QVERIFY(m_browser->connector().browserProcessId() != firstPid);
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                for (WindowKey key : m_browser->enumerate()) {
                    if (m_browser->documentTitle(key) == std::optional<QString>("Landed"))
                        return true;
                }
                return false;
            }(),
            kWait);
    }

    void launchedBrowser_killed_isStartedAgainByTheAdapter() {
        BrowserConnectionOptions options;
        options.attach = false; // never pick up some other browser on 9222
        options.profileFolder = newProfileFolder();
        options.extraArguments = ChromiumProcess::quietArguments();
        m_browser = std::make_unique<ChromiumBrowser>(options);
        m_browser->start();
        QTRY_VERIFY_WITH_TIMEOUT(m_browser->isGuarding(), 60000);
        QVERIFY2(m_browser->status().startsWith("Guarding Chromium ") &&
                     m_browser->status().endsWith("(started by Pagewarden)"),
                 qPrintable(m_browser->status()));
        QTRY_VERIFY_WITH_TIMEOUT(m_browser->count().value_or(0) >= 1, kWait);
        const qint64 firstPid = m_browser->connector().browserProcessId();
        QVERIFY(firstPid > 0);

        // Windows opened through the adapter appear in its mirror.
        bool opened = false;
        m_browser->openPage(m_server.url("/tab.html"), m_server.url("/counted.html"),
                            [&](bool ok, const QString&) { opened = ok; });
        QTRY_VERIFY_WITH_TIMEOUT(opened, kWait);
        const int withOurs = m_browser->count().value_or(0);
        QVERIFY(withOurs >= 2);

        ::kill(static_cast<pid_t>(firstPid), SIGKILL);
        QTRY_COMPARE_WITH_TIMEOUT(m_browser->count(), std::optional<int>(0), kWait);
        QTRY_VERIFY_WITH_TIMEOUT(m_browser->isGuarding(), 60000);
        const qint64 secondPid = m_browser->connector().browserProcessId();
        QVERIFY(secondPid > 0);
        QVERIFY(secondPid != firstPid);
        QTRY_VERIFY_WITH_TIMEOUT(m_browser->count().value_or(0) >= 1, kWait);
        // And it is driven as before.
        const WindowKey window = m_browser->enumerate().first();
        QVERIFY(m_browser->navigate(window, m_server.url("/landed.html")));
        QTRY_COMPARE_WITH_TIMEOUT(m_browser->documentTitle(window),
                                  std::optional<QString>("Landed"), kWait);
        m_browser.reset();
        // Our browser went with the adapter.
        QTRY_VERIFY_WITH_TIMEOUT(::kill(static_cast<pid_t>(secondPid), 0) != 0, kWait);
    }
};

PAGEWARDEN_TEST_MAIN(TestChromiumBrowser, QCoreApplication)
#include "test_chromium_browser.moc"
