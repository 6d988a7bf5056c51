// The adapter against a real, headless Chromium on loopback, for what only a real browser shows;
// the mirror's details are checked against recorded conversations in test_chromium_pages.
#include "e2e/ChromiumFixture.h"
#include "platform/ChromiumNavigation.h"
#include "platform/ChromiumPages.h"
#include "support/ProtocolScript.h"
#include "support/TestMain.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <algorithm>
#include <csignal>

namespace {

// A page whose whole top-left corner is one button running `onclick`.
QString buttonPage(const QString& onclick) {
    return QStringLiteral("<button id=\"b\" style=\"position:fixed;left:0;top:0;width:300px;"
                          "height:300px\" onclick=\"%1\">go</button>")
        .arg(onclick.toHtmlEscaped());
}

bool isPopup(ChromiumBrowser& browser, WindowKey key) {
    return browser.hasOpener(key).value_or(false) && !browser.menuBar(key).value_or(true);
}

} // namespace

class TestChromiumBrowser : public ChromiumFixture {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_profile; // of a browser the adapter launches; outlives it
    std::unique_ptr<ChromiumBrowser> m_launched;

    // The adapter launching a browser of its own.
    bool launch(int heartbeatMs = 5000, int retryMs = 1000) {
        m_profile = std::make_unique<QTemporaryDir>();
        BrowserConnectionOptions options;
        options.attach = false; // never pick up some other browser on 9222
        options.profileFolder = m_profile->path() + QStringLiteral("/browser-profile");
        options.extraArguments = ChromiumProcess::quietArguments();
        options.heartbeatMs = heartbeatMs;
        options.firstRetryMs = retryMs;
        options.maxRetryMs = 2 * retryMs;
        m_launched = std::make_unique<ChromiumBrowser>(options);
        m_launched->start();
        return QTest::qWaitFor([&] { return m_launched->isGuarding(); }, 60000) &&
               QTest::qWaitFor([&] { return m_launched->count().value_or(0) >= 1; }, kWait);
    }

    // Opens `url` through the adapter as Pagewarden opens its own pages; gives the failure text.
    QString openPage(ChromiumBrowser& browser, const QString& url) {
        std::optional<QString> failure;
        browser.openPage(server.url("/tab.html"), url,
                         [&](bool ok, const QString& why) { failure = ok ? QString() : why; });
        return QTest::qWaitFor([&] { return failure.has_value(); }, 60000) ? *failure : "no answer";
    }

    bool anyWindowTitled(ChromiumBrowser& browser, const QString& title) {
        return QTest::qWaitFor(
            [&] {
                for (WindowKey key : browser.enumerate()) {
                    if (browser.documentTitle(key) == std::optional<QString>(title))
                        return true;
                }
                return false;
            },
            kWait);
    }

private slots:
    void initTestCase() {
        if (ChromiumProcess::executable().isEmpty())
            QSKIP("no Chromium-family browser installed");
        QVERIFY(server.start());
        server.setHtml("/opener.html", "Opener",
                       buttonPage("window.open('/popup.html', 'ad', 'width=320,height=240')"));
        server.setHtml("/popup.html", "Popup Ad", "<p>buy now</p>");
        server.setHtml(
            "/cross-opener.html", "Cross Opener",
            buttonPage(QStringLiteral("window.open('%1', 'ad', 'width=320,height=240')")
                           .arg(server.url("/popup.html").replace("127.0.0.1", "localhost"))));
        server.setHtml("/links.html", "Links",
                       "<a href=\"/tab.html\" target=\"_blank\" style=\"display:block;"
                       "position:fixed;left:0;top:0;width:300px;height:300px\">tab</a>");
        server.setHtml("/tab.html", "A Tab", "<p>tab</p>");
        server.setHtml("/landed.html", "Landed", "<p>landed</p>");
        server.setHtml("/counted.html", "Counted", "<p>counted</p>");
        server.setHtml("/flood.html", "Flood",
                       buttonPage("for (let i = 0; i < 50; ++i) window.open('/popup.html?n=' + i, "
                                  "'flood' + i, 'width=200,height=200')"));
        server.setPage("/plain.txt", "just text", "text/plain");
        server.setHtml("/slow.html", "Slow Ad", "<p>at last</p>");
        server.setDelay("/slow.html", 1500);
    }

    void cleanup() {
        m_launched.reset();
        stop();
        m_profile.reset();
    }

    void clickedPopup_isAPopupWithItsAddressAndTitle_andQuitClosesIt_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("host"); // a popup on another site runs in its own renderer
        QTest::newRow("same site") << "/opener.html"
                                   << "127.0.0.1";
        QTest::newRow("other site") << "/cross-opener.html"
                                    << "localhost";
    }

    void clickedPopup_isAPopupWithItsAddressAndTitle_andQuitClosesIt() {
        QFETCH(QString, page);
        QFETCH(QString, host);
        QVERIFY(start(page));
        ChromiumBrowser& browser = rig->browser;
        const QList<WindowKey> before = browser.enumerate();
        const WindowKey opener = before.first();
        QVERIFY(!isPopup(browser, opener));
        QVERIFY(driver->click(tab, 100, 100));
        QTRY_COMPARE_WITH_TIMEOUT(browser.count(), std::optional<int>(2), kWait);
        const WindowKey popup = newKeys(before).first();
        QVERIFY(isPopup(browser, popup));
        QCOMPARE(browser.visible(popup), std::optional<bool>(true));
        const QString address = server.url("/popup.html").replace("127.0.0.1", host);
        QTRY_COMPARE_WITH_TIMEOUT(browser.documentTitle(popup), std::optional<QString>("Popup Ad"),
                                  kWait);
        QCOMPARE(browser.documentUrl(popup), std::optional<QString>(address));
        QCOMPARE(browser.locationUrl(popup), std::optional<QString>(address));
        QVERIFY(browser.handle(popup).has_value()); // a popup is a window of its own
        QVERIFY(browser.handle(popup) != browser.handle(opener));

        QVERIFY(browser.quit(popup));
        QTRY_COMPARE_WITH_TIMEOUT(driver->pageIds().size(), 1, kWait);
        QTRY_COMPARE_WITH_TIMEOUT(browser.enumerate(), before, kWait);
        // A closed window is gone for every operation.
        QVERIFY(!browser.locationUrl(popup));
        QVERIFY(!browser.quit(popup));
    }

    void tourOfNewWindows_recordedForTheMirrorTests() {
        // The mirror on a connection of its own whose conversation is written down: with
        // PAGEWARDEN_RECORD_TO set it is saved as tests/data/new_windows.json, which
        // test_chromium_pages checks stop by stop.
        QVERIFY(start("/links.html"));
        DevToolsDriver recording;
        QVERIFY(recording.connectTo(chromium->endpoint(), true));
        RecordingTransport& script = *recording.recorder();
        ChromiumPages pages;
        pages.attach(recording.client());
        QTRY_COMPARE_WITH_TIMEOUT(pages.count(), 1, kWait);
        const WindowKey first = pages.keys().first();
        QTRY_COMPARE_WITH_TIMEOUT(pages.find(first)->documentTitle, QString("Links"), kWait);
        script.mark("attached");
        const auto last = [&] { return pages.find(pages.keys().last()); };
        const auto openAndClose = [&](const QString& js, const QString& title,
                                      const QString& mark) {
            act(js);
            QTRY_COMPARE_WITH_TIMEOUT(pages.count(), 2, kWait);
            if (mark == "popup") {
                script.mark("popup");
                QCOMPARE(pages.readTitle(pages.keys().last()), QString()); // not come yet
            }
            QTRY_COMPARE_WITH_TIMEOUT(last()->documentTitle, title, kWait);
            script.mark(mark == "popup" ? "loaded" : mark);
            const QString id = last()->targetId;
            QVERIFY(pages.close(pages.keys().last()));
            QTRY_VERIFY_WITH_TIMEOUT(!pages.page(id), kWait);
            if (mark == "popup")
                script.mark("closed");
        };
        openAndClose("window.open('/slow.html', 'ad', 'width=320,height=240')", "Slow Ad", "popup");
        QVERIFY(!QTest::currentTestFailed());
        openAndClose("window.open('/popup.html', 'x', 'noopener,width=320,height=240')", "Popup Ad",
                     "noopener");
        QVERIFY(!QTest::currentTestFailed());
        openAndClose("document.querySelector('a').click()", "A Tab", "tab");
        QVERIFY(!QTest::currentTestFailed());
        QVERIFY(pages.navigation().navigate(*pages.find(first), server.url("/plain.txt")));
        QTRY_COMPARE_WITH_TIMEOUT(pages.find(first)->mimeType, QString("text/plain"), kWait);
        script.mark("text");
        QVERIFY(pages.navigation().navigate(*pages.find(first), server.url("/opener.html")));
        QTRY_COMPARE_WITH_TIMEOUT(pages.find(first)->documentTitle, QString("Opener"), kWait);
        script.mark("navigated");
        driver->client()->send(QStringLiteral("Page.crash"), {}, tab);
        QTRY_VERIFY_WITH_TIMEOUT(pages.find(first)->crashed, kWait);
        script.mark("crashed");
        const QString folder = qEnvironmentVariable("PAGEWARDEN_RECORD_TO");
        if (!folder.isEmpty())
            QVERIFY(script.save(folder + QStringLiteral("/new_windows.json")));
    }

    void handles_tellWindowsOpenBeforeFromWindowsOpenedAfter() {
        QVERIFY(start("/links.html"));
        ChromiumBrowser& browser = rig->browser;
        const WindowKey first = browser.enumerate().first();
        const auto firstHandle = browser.handle(first);
        QVERIFY(firstHandle.has_value());

        // A window Pagewarden opens: a new window, a new handle, told as ours before a waiting
        // pass is woken by it.
        QList<qint64> ours;
        qsizetype changesWhenTold = -1;
        QSignalSpy changes(&browser, &BrowserWindows::countChanged);
        connect(&browser, &ChromiumBrowser::ownWindowOpened, this, [&](qint64 handle) {
            ours << handle;
            changesWhenTold = changes.size();
        });
        const QString failure = openPage(browser, server.url("/counted.html"));
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        QTRY_COMPARE_WITH_TIMEOUT(browser.count(), std::optional<int>(2), kWait);
        const WindowKey window = newKeys({first}).first();
        QTRY_COMPARE_WITH_TIMEOUT(browser.documentTitle(window), std::optional<QString>("Counted"),
                                  kWait);
        QVERIFY(browser.handle(window) != firstHandle);
        QCOMPARE(ours, QList<qint64>{*browser.handle(window)});
        QCOMPARE(changesWhenTold, 0);
        QVERIFY(!isPopup(browser, window));

        // A tab opened later in the first window shares that window's handle.
        const QList<WindowKey> before = browser.enumerate();
        QVERIFY(driver->click(tab, 100, 100));
        QTRY_COMPARE_WITH_TIMEOUT(browser.count(), std::optional<int>(3), kWait);
        const WindowKey newTab = newKeys(before).first();
        QCOMPARE(browser.handle(newTab), firstHandle);

        // Keys are never reused: a window that closes and one that opens get different keys.
        QVERIFY(browser.quit(newTab));
        QTRY_COMPARE_WITH_TIMEOUT(browser.count(), std::optional<int>(2), kWait);
        QVERIFY(driver->click(tab, 100, 100));
        QTRY_COMPARE_WITH_TIMEOUT(browser.count(), std::optional<int>(3), kWait);
        QVERIFY(newKeys(before).first() > newTab);
        QVERIFY(!openPage(browser, "http://[not an address").isEmpty());
    }

    void navigateThenRefresh_reloadWaitsForTheNavigation() {
        QVERIFY(start("/links.html"));
        ChromiumBrowser& browser = rig->browser;
        const WindowKey first = browser.enumerate().first();
        const int before = server.requestCount("/counted.html");
        // Both at once, as the redirect does: the reload must not be lost or refused.
        QVERIFY(browser.navigate(first, server.url("/counted.html")));
        QVERIFY(browser.refresh(first));
        QTRY_COMPARE_WITH_TIMEOUT(server.requestCount("/counted.html"), before + 2, kWait);
        QTRY_COMPARE_WITH_TIMEOUT(browser.documentTitle(first), std::optional<QString>("Counted"),
                                  kWait);
        // A refresh on its own reloads once.
        QVERIFY(browser.refresh(first));
        QTRY_COMPARE_WITH_TIMEOUT(server.requestCount("/counted.html"), before + 3, kWait);
        QVERIFY(browser.navigate(first, server.url("/landed.html")));
        QTRY_COMPARE_WITH_TIMEOUT(browser.documentTitle(first), std::optional<QString>("Landed"),
                                  kWait);
        QCOMPARE(server.requestCount("/counted.html"), before + 3);
    }

    void floodOfFiftyPopups_allSeenAndAllClosed() {
        // One click may open only one popup under the browser's own blocker; the flood needs it
        // off, as an ad page that found a way around it would.
        QVERIFY(start("/flood.html", {QStringLiteral("--disable-popup-blocking")}));
        ChromiumBrowser& browser = rig->browser;
        const WindowKey opener = browser.enumerate().first();
        QSet<WindowKey> closed;
        // Close popups the moment the mirror shows them, as a blocking pass would.
        connect(&browser, &BrowserWindows::countChanged, this, [&] {
            for (WindowKey key : browser.enumerate()) {
                if (key != opener && !closed.contains(key) && isPopup(browser, key) &&
                    browser.quit(key))
                    closed.insert(key);
            }
        });
        act("document.getElementById('b').click()"); // busy until the last popup is out
        QTRY_COMPARE_WITH_TIMEOUT(closed.size(), 50, 60000);
        QTRY_COMPARE_WITH_TIMEOUT(browser.enumerate(), QList<WindowKey>{opener}, 60000);
        QTRY_COMPARE_WITH_TIMEOUT(driver->pageIds().size(), 1, kWait);
    }

    void pageHeldWhenItsHolderDies_isReleasedWhenWeAreBack() {
        // A new page held on its about:blank by a client that dies before resuming it (as our
        // process could) stays held; the adapter releases it when it attaches again.
        QVERIFY(start("/opener.html"));
        rig.reset();
        const int loadsBefore = server.requestCount("/popup.html");
        DevToolsDriver holder;
        QVERIFY(holder.connectTo(chromium->endpoint()));
        QVERIFY(
            holder
                .call(QStringLiteral("Target.setAutoAttach"),
                      {{"autoAttach", true}, {"waitForDebuggerOnStart", true}, {"flatten", true}})
                .ok);
        clickSoon(100, 100); // the opener's renderer is held with the page: no answer comes
        QTRY_COMPARE_WITH_TIMEOUT(driver->pageIds().size(), 2, kWait);
        QCOMPARE(server.requestCount("/popup.html"), loadsBefore); // held: nothing fetched
        holder.client()->close();
        QTRY_VERIFY_WITH_TIMEOUT(!holder.client()->isOpen(), kWait);
        rig = std::make_unique<GuardedChromium>(chromium->endpoint());
        QTRY_COMPARE_WITH_TIMEOUT(server.requestCount("/popup.html"), loadsBefore + 1, kWait);
        QTRY_COMPARE_WITH_TIMEOUT(rig->browser.count(), std::optional<int>(2), kWait);
    }

    void newWindowNavigatedAtOnceByAnotherClient_arrivesWhereItWasSent() {
        // Someone else sends a brand-new window somewhere the moment it exists, while we still
        // hold it to read its creation facts.
        QVERIFY(start("/links.html"));
        for (int i = 0; i < 5; ++i) {
            const QString id = driver->call("Target.createTarget", {{"url", "about:blank"}})
                                   .result.value("targetId")
                                   .toString();
            const QString session = driver->attach(id);
            QVERIFY(!session.isEmpty());
            driver->call("Page.navigate", {{"url", server.url("/tab.html")}}, session);
            QTRY_COMPARE_WITH_TIMEOUT(rig->browser.count(), std::optional<int>(2 + i), kWait);
            QTRY_COMPARE_WITH_TIMEOUT(rig->browser.documentTitle(rig->browser.enumerate().last()),
                                      std::optional<QString>("A Tab"), kWait);
        }
    }

    void pageNavigatedWhileWeAttach_isReportedWhereItIs() {
        // The first tab is sent somewhere while the adapter is still attaching to it.
        for (int round = 0; round < 2; ++round) {
            chromium = std::make_unique<ChromiumProcess>();
            QVERIFY(chromium->start());
            rig = std::make_unique<GuardedChromium>(chromium->endpoint());
            driver = std::make_unique<DevToolsDriver>();
            QVERIFY(driver->connectTo(chromium->endpoint()));
            const QString session = driver->attach(driver->findPage("about:blank"));
            QVERIFY(driver->call("Page.navigate", {{"url", server.url("/tab.html")}}, session).ok);
            QTRY_COMPARE_WITH_TIMEOUT(rig->browser.count(), std::optional<int>(1), kWait);
            const WindowKey first = rig->browser.enumerate().first();
            QTRY_COMPARE_WITH_TIMEOUT(rig->browser.documentTitle(first),
                                      std::optional<QString>("A Tab"), kWait);
            QTRY_COMPARE_WITH_TIMEOUT(rig->browser.documentUrl(first),
                                      std::optional<QString>(server.url("/tab.html")), kWait);
            QCOMPARE(rig->browser.locationUrl(first),
                     std::optional<QString>(server.url("/tab.html")));
            QCOMPARE(rig->browser.isHtmlDocument(first), std::optional<bool>(true));
            stop();
        }
    }

    void attachedBrowserKilledAndStartedAgain_isGuardedAgain() {
        QVERIFY(start("/opener.html"));
        ChromiumBrowser& browser = rig->browser;
        QVERIFY(browser.status().startsWith("Guarding the browser at 127.0.0.1:"));
        const WindowKey oldTab = browser.enumerate().first();
        driver.reset();
        chromium->kill();
        QTRY_COMPARE_WITH_TIMEOUT(browser.count(), std::optional<int>(0), kWait);
        QTRY_VERIFY_WITH_TIMEOUT(!browser.isGuarding(), kWait);
        QVERIFY(browser.status().startsWith("Lost the browser"));
        QVERIFY(!browser.quit(oldTab));

        QVERIFY2(chromium->start({}, chromium->port()), qPrintable(chromium->lastError()));
        QTRY_VERIFY_WITH_TIMEOUT(browser.isGuarding(), 60000);
        QVERIFY(browser.status().startsWith("Guarding the browser at 127.0.0.1:"));
        // The mirror is whole again: a popup is seen as before.
        QVERIFY(show("/opener.html"));
        const QList<WindowKey> before = browser.enumerate();
        QVERIFY(!before.contains(oldTab));
        QVERIFY(driver->click(tab, 100, 100));
        QTRY_COMPARE_WITH_TIMEOUT(browser.count(), std::optional<int>(2), kWait);
        QVERIFY(isPopup(browser, newKeys(before).first()));
    }

    void launchedBrowserThatDiesOrHangs_isReplaced_data() {
        QTest::addColumn<int>("how");
        QTest::newRow("crashes") << int(SIGKILL);
        QTest::newRow("hangs") << int(SIGSTOP);
    }

    void launchedBrowserThatDiesOrHangs_isReplaced() {
        QFETCH(int, how);
        QVERIFY(launch(1000));
        ChromiumBrowser& browser = *m_launched;
        QVERIFY2(browser.status().startsWith("Guarding Chromium ") &&
                     browser.status().endsWith("(started by Pagewarden)"),
                 qPrintable(browser.status()));
        const qint64 firstPid = browser.connector().browserProcessId();
        QVERIFY(firstPid > 0);
        const auto titlesKnown = [&browser] {
            const QList<WindowKey> keys = browser.enumerate();
            return std::all_of(keys.begin(), keys.end(), [&browser](WindowKey key) {
                return browser.documentTitle(key).has_value();
            });
        };
        if (how == SIGSTOP)
            QTRY_VERIFY_WITH_TIMEOUT(titlesKnown(), kWait);
        ::kill(static_cast<pid_t>(firstPid), how);
        if (how == SIGSTOP) {
            // Reads and commands are answered though the browser is frozen: from the mirror while
            // it is still guarded, and as quiet failures once the heartbeat has given it up.
            for (WindowKey key : browser.enumerate()) {
                const bool titled = browser.documentTitle(key).has_value();
                QVERIFY(titled || !browser.isGuarding());
                QVERIFY(browser.quit(key) || !browser.isGuarding());
            }
        }
        QTRY_VERIFY_WITH_TIMEOUT(!browser.isGuarding(), kWait);
        QVERIFY2(how == SIGKILL || browser.status().contains("stopped answering"),
                 qPrintable(browser.status()));
        QCOMPARE(browser.count(), std::optional<int>(0));
        QTRY_VERIFY_WITH_TIMEOUT(browser.isGuarding(), 60000);
        const qint64 secondPid = browser.connector().browserProcessId();
        QVERIFY(secondPid > 0 && secondPid != firstPid);
        QTRY_VERIFY_WITH_TIMEOUT(::kill(static_cast<pid_t>(firstPid), 0) != 0, kWait); // ended
        // And it is driven as before.
        QTRY_VERIFY_WITH_TIMEOUT(browser.count().value_or(0) >= 1, kWait);
        const WindowKey window = browser.enumerate().first();
        QVERIFY(browser.navigate(window, server.url("/landed.html")));
        QTRY_COMPARE_WITH_TIMEOUT(browser.documentTitle(window), std::optional<QString>("Landed"),
                                  kWait);
        m_launched.reset(); // our browser goes with the adapter
        QTRY_VERIFY_WITH_TIMEOUT(::kill(static_cast<pid_t>(secondPid), 0) != 0, kWait);
    }

    void launchedBrowserClosedOnPurpose_isStartedAgainOnlyToOpenAPage() {
        // A browser of ours that its user closed (Browser.close ends it the same way as closing
        // its last window) is not brought back by itself.
        QVERIFY(launch(5000, 100));
        ChromiumBrowser& browser = *m_launched;
        const qint64 firstPid = browser.connector().browserProcessId();
        QSignalSpy states(&browser.connector(), &BrowserConnector::stateChanged);
        browser.pages().send(QStringLiteral("Browser.close"), {}, {});
        QTRY_COMPARE_WITH_TIMEOUT(browser.connector().state(), BrowserConnector::State::Closed,
                                  kWait);
        QCOMPARE(browser.count(), std::optional<int>(0));
        QVERIFY(!browser.isGuarding());
        QVERIFY(browser.canOpenPages());
        QVERIFY2(browser.status().startsWith("The browser was closed"),
                 qPrintable(browser.status()));
        // A retry (200 ms at most) would be due before this timer, which starts later.
        const qsizetype changes = states.size();
        QTimer afterAnyRetry;
        QSignalSpy passed(&afterAnyRetry, &QTimer::timeout);
        afterAnyRetry.start(400);
        QVERIFY(passed.wait(kWait));
        QCOMPARE(states.size(), changes);
        QCOMPARE(browser.connector().browserProcessId(), qint64(0));

        // Opening a page starts it again and the page opens in it.
        const QString failure = openPage(browser, server.url("/landed.html"));
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        QVERIFY(browser.isGuarding());
        QVERIFY(browser.connector().browserProcessId() != firstPid);
        QVERIFY(anyWindowTitled(browser, "Landed"));
    }
};

PAGEWARDEN_TEST_MAIN(TestChromiumBrowser, QCoreApplication)
#include "test_chromium_browser.moc"
