// The adapter against a real, headless Chromium on loopback, for what only a real browser shows:
// pages held by a client that died, clicked popups, new windows, crashes, hangs, closes and
// restarts. The mirror's details are checked against recorded conversations in test_chromium_pages.
#include "e2e/ChromiumFixture.h"
#include "support/TestMain.h"

#include <csignal>

class TestChromiumBrowser : public ChromiumFixture {
    Q_OBJECT

private slots:
    void initTestCase() {
        if (ChromiumProcess::executable().isEmpty())
            QSKIP("no Chromium-family browser installed");
        QVERIFY(server.start());
        // The whole top-left corner is one button that opens a popup.
        const QString opener = QStringLiteral(
            "<button style=\"position:fixed;left:0;top:0;width:300px;height:300px\" "
            "onclick=\"window.open('%1', 'ad', 'width=320,height=240')\">go</button>");
        server.setHtml("/opener.html", "Opener", opener.arg("/popup.html"));
        server.setHtml("/cross-opener.html", "Cross Opener",
                       opener.arg(server.url("/popup.html").replace("127.0.0.1", "localhost")));
        server.setHtml("/popup.html", "Popup Ad", "<p>buy now</p>");
        server.setHtml("/tab.html", "A Tab", "<p>tab</p>");
        server.setHtml("/landed.html", "Landed", "<p>landed</p>");
    }

    void cleanup() { stop(); }

    void attachedBrowser_heldPageKillAndRestart_clickedPopups_andAWindowWeOpen() {
        // A new page held on its about:blank by a client that dies before resuming it (as our
        // process could) stays held; the adapter releases it when it attaches again.
        QVERIFY(start("/opener.html"));
        rig.reset();
        DevToolsDriver holder;
        QVERIFY(holder.connectTo(chromium->endpoint()));
        QVERIFY(
            holder
                .call(QStringLiteral("Target.setAutoAttach"),
                      {{"autoAttach", true}, {"waitForDebuggerOnStart", true}, {"flatten", true}})
                .ok);
        driver->click(tab, 100, 100); // the opener's renderer is held with the page
        QTRY_COMPARE_WITH_TIMEOUT(driver->pageIds().size(), 2, kWait);
        QCOMPARE(server.requestCount("/popup.html"), 0); // held: nothing fetched
        holder.client()->close();
        rig = std::make_unique<GuardedChromium>(chromium->endpoint());
        QTRY_COMPARE_WITH_TIMEOUT(server.requestCount("/popup.html"), 1, kWait);
        QTRY_COMPARE_WITH_TIMEOUT(rig->browser.count(), std::optional<int>(2), kWait);
        // Killed and started again, the attached browser is guarded again, its mirror whole.
        ChromiumBrowser& browser = rig->browser;
        QVERIFY(browser.status().startsWith("Guarding the browser at 127.0.0.1:"));
        const WindowKey oldTab = browser.enumerate().first();
        driver.reset();
        chromium->kill();
        QTRY_VERIFY_WITH_TIMEOUT(!browser.isGuarding(), kWait);
        QCOMPARE(browser.count(), std::optional<int>(0));
        QVERIFY(browser.status().startsWith("Lost the browser"));
        QVERIFY(!browser.quit(oldTab));
        QVERIFY2(chromium->start({}, chromium->port()), qPrintable(chromium->lastError()));
        QTRY_VERIFY_WITH_TIMEOUT(browser.isGuarding(), 60000);
        QVERIFY(show("/opener.html"));
        const QList<WindowKey> before = browser.enumerate();
        QVERIFY(!before.contains(oldTab) && !isPopup(before.first()));
        for (const QString host : {"127.0.0.1", "localhost"}) { // another site: its own renderer
            if (host == "localhost") {
                driver->call("Page.navigate", {{"url", server.url("/cross-opener.html")}}, tab);
                QVERIFY(driver->waitUntilShown(tab, server.url("/cross-opener.html")));
            }
            driver->click(tab, 100, 100);
            QTRY_COMPARE_WITH_TIMEOUT(browser.count(), std::optional<int>(2), kWait);
            const WindowKey popup = newKeys(before).first();
            QVERIFY(isPopup(popup));
            QCOMPARE(browser.visible(popup), std::optional<bool>(true));
            QTRY_COMPARE_WITH_TIMEOUT(browser.documentTitle(popup),
                                      std::optional<QString>("Popup Ad"), kWait);
            const QString address = server.url("/popup.html").replace("127.0.0.1", host);
            QCOMPARE(browser.locationUrl(popup), std::optional<QString>(address));
            QVERIFY(browser.handle(popup) && browser.handle(popup) != browser.handle(before[0]));
            QVERIFY(browser.quit(popup));
            QVERIFY(!browser.locationUrl(popup)); // gone for every operation at once
            QTRY_COMPARE_WITH_TIMEOUT(driver->pageIds().size(), 1, kWait);
            QCOMPARE(browser.enumerate(), before);
        }
        // Told before it is counted, so that a pass woken by the count knows it as ours.
        QList<qint64> ours;
        QList<qsizetype> countChangesWhenTold;
        QSignalSpy changes(&browser, &BrowserWindows::countChanged);
        connect(&browser, &ChromiumBrowser::ownWindowOpened, this, [&](qint64 handle) {
            countChangesWhenTold << changes.size();
            ours << handle;
        });
        std::optional<QString> failure;
        const auto open = [&](const QString& url) {
            failure.reset();
            browser.openPage(server.url("/tab.html"), url,
                             [&](bool ok, const QString& why) { failure = ok ? "" : why; });
            return QTest::qWaitFor([&] { return failure.has_value(); }, kWait) && *failure == "";
        };
        QVERIFY(open(server.url("/landed.html")));
        QTRY_COMPARE_WITH_TIMEOUT(browser.count(), std::optional<int>(2), kWait);
        const WindowKey window = newKeys(before).first();
        QTRY_COMPARE_WITH_TIMEOUT(browser.documentTitle(window), std::optional<QString>("Landed"),
                                  kWait);
        QCOMPARE(ours, QList<qint64>{*browser.handle(window)});
        QVERIFY(browser.handle(window) != browser.handle(before.first()) && !isPopup(window));
        QVERIFY(!open("http://[not an address")); // and the browser's reason is told
        QCOMPARE(countChangesWhenTold, (QList<qsizetype>{0, 1}));
    }

    void launchedBrowserThatDiesHangsOrIsClosed_isReplaced() {
        QTemporaryDir profile; // outlives the browser
        BrowserConnectionOptions options;
        options.attach = false; // never pick up some other browser on 9222
        options.profileFolder = profile.path() + QStringLiteral("/browser-profile");
        options.extraArguments = ChromiumProcess::quietArguments();
        options.heartbeatMs = 1000;
        options.firstRetryMs = 50;
        options.launchFacts = LaunchFacts{0, {}, {}, {}}; // root, with no desktop user behind it
        QStringList said; // outlives the browser, which may still speak as it goes
        auto launched = std::make_unique<ChromiumBrowser>(options);
        ChromiumBrowser& browser = *launched;
        BrowserConnector& connector = browser.connector();
        connect(&browser, &ChromiumBrowser::statusChanged, this,
                [&](const QString& s) { said << s; });
        browser.start();
        QTRY_VERIFY_WITH_TIMEOUT(browser.count().value_or(0) >= 1, 60000);
        QVERIFY2(browser.status().startsWith("Guarding Chromium ") &&
                     browser.status().endsWith("(started by Pagewarden) without its sandbox, "
                                               "since Pagewarden runs as root"),
                 qPrintable(browser.status()));
        // Crashed, hung, ended by a signal, and closed as its user closes it (0).
        for (const auto& [how, status] : {std::pair{int(SIGKILL), "Lost the browser ("},
                                          {int(SIGSTOP), "the browser stopped answering"},
                                          {int(SIGTERM), "it was ended, not closed by the user"},
                                          {0, "The browser was closed by the user"}}) {
            const qint64 firstPid = connector.browserProcessId();
            const WindowKey key = browser.enumerate().first();
            QTRY_VERIFY_WITH_TIMEOUT(browser.documentTitle(key).has_value(), kWait);
            said.clear();
            if (how == 0) {
                connector.client()->send(QStringLiteral("Browser.close")); // its windows go first
            } else {
                ::kill(static_cast<pid_t>(firstPid), how);
                // Reads and commands are answered though the browser is frozen: from the mirror
                // while it is still guarded, and as quiet failures once the heartbeat gave it up.
                QVERIFY(browser.documentTitle(key).has_value() || !browser.isGuarding());
                QVERIFY(browser.quit(key) || !browser.isGuarding());
            }
            QTRY_VERIFY_WITH_TIMEOUT(!browser.isGuarding(), kWait);
            QCOMPARE(browser.count(), std::optional<int>(0));
            if (how == 0) {
                // Not started again by itself (a retry, 50 ms, would be due by now), only to open
                // a page, which then opens in it.
                QTRY_COMPARE_WITH_TIMEOUT(connector.state(), BrowserConnector::State::Closed,
                                          kWait);
                QTest::qWait(200);
                QCOMPARE(connector.state(), BrowserConnector::State::Closed);
                QCOMPARE(connector.browserProcessId(), qint64(0));
                QVERIFY(browser.canOpenPages());
                std::optional<QString> failure;
                browser.openPage({}, server.url("/landed.html"),
                                 [&](bool ok, const QString& why) { failure = ok ? "" : why; });
                QTRY_VERIFY_WITH_TIMEOUT(failure.has_value(), 60000);
                QCOMPARE(*failure, QString());
            }
            QTRY_VERIFY_WITH_TIMEOUT(browser.isGuarding(), 60000);
            QVERIFY(connector.browserProcessId() != firstPid);
            QVERIFY2(!said.filter(status).isEmpty(), qPrintable(said.join('\n')));
            QTRY_VERIFY_WITH_TIMEOUT(::kill(static_cast<pid_t>(firstPid), 0) != 0, kWait);
            // And it is driven as before.
            QTRY_VERIFY_WITH_TIMEOUT(browser.count().value_or(0) >= 1, kWait);
            const WindowKey window = browser.enumerate().first();
            QVERIFY(browser.navigate(window, server.url("/landed.html")));
            QTRY_COMPARE_WITH_TIMEOUT(browser.documentTitle(window),
                                      std::optional<QString>("Landed"), kWait);
        }
        const qint64 lastPid = connector.browserProcessId();
        launched.reset(); // our browser goes with the adapter
        QVERIFY(::kill(static_cast<pid_t>(lastPid), 0) != 0);
        // Ended cleanly, so its next start offers no "Restore pages?".
        QFile preferences(options.profileFolder + "/Default/Preferences");
        QVERIFY(preferences.open(QIODevice::ReadOnly));
        const QJsonObject state = QJsonDocument::fromJson(preferences.readAll()).object();
        QCOMPARE(state.value("profile").toObject().value("exit_type").toString(), "Normal");
    }
};

PAGEWARDEN_TEST_MAIN(TestChromiumBrowser, QCoreApplication)
#include "test_chromium_browser.moc"
