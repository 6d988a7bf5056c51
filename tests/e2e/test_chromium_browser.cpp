// The adapter against a real, headless Chromium on loopback, for what only a real browser shows:
// clicked popups, new windows, pages held by a client that died, crashes, hangs and restarts. The
// mirror's details are checked against recorded conversations in test_chromium_pages.
#include "e2e/ChromiumFixture.h"
#include "platform/ChromiumNavigation.h"
#include "platform/ChromiumPages.h"
#include "support/ProtocolScript.h"
#include "support/TestMain.h"

#include <QJsonDocument>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <csignal>

namespace {

// A page whose whole top-left corner is one button running `onclick`.
QString buttonPage(const QString& onclick) {
    return QStringLiteral("<button id=\"b\" style=\"position:fixed;left:0;top:0;width:300px;"
                          "height:300px\" onclick=\"%1\">go</button>")
        .arg(onclick.toHtmlEscaped());
}

} // namespace

class TestChromiumBrowser : public ChromiumFixture {
    Q_OBJECT

private slots:
    void initTestCase() {
        if (ChromiumProcess::executable().isEmpty())
            QSKIP("no Chromium-family browser installed");
        QVERIFY(server.start());
        const QString popup = QStringLiteral("window.open('%1', 'ad', 'width=320,height=240')");
        server.setHtml("/opener.html", "Opener", buttonPage(popup.arg("/popup.html")));
        server.setHtml(
            "/cross-opener.html", "Cross Opener",
            buttonPage(popup.arg(server.url("/popup.html").replace("127.0.0.1", "localhost"))));
        server.setHtml("/popup.html", "Popup Ad", "<p>buy now</p>");
        server.setHtml("/links.html", "Links",
                       "<a href=\"/tab.html\" target=\"_blank\" style=\"display:block;"
                       "position:fixed;left:0;top:0;width:300px;height:300px\">tab</a>");
        server.setHtml("/tab.html", "A Tab", "<p>tab</p>");
        server.setHtml("/landed.html", "Landed", "<p>landed</p>");
        server.setHtml("/flood.html", "Flood",
                       buttonPage("for (let i = 0; i < 50; ++i) window.open('/popup.html?n=' + i, "
                                  "'flood' + i, 'width=200,height=200')"));
        server.setPage("/plain.txt", "just text", "text/plain");
        server.setHtml("/slow.html", "Slow Ad", "<p>at last</p>");
        server.setDelay("/slow.html", 1500);
    }

    void cleanup() { stop(); }

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
        QVERIFY(!isPopup(before.first()));
        driver->click(tab, 100, 100);
        QTRY_COMPARE_WITH_TIMEOUT(browser.count(), std::optional<int>(2), kWait);
        const WindowKey popup = newKeys(before).first();
        QVERIFY(isPopup(popup));
        QCOMPARE(browser.visible(popup), std::optional<bool>(true));
        QTRY_COMPARE_WITH_TIMEOUT(browser.documentTitle(popup), std::optional<QString>("Popup Ad"),
                                  kWait);
        const QString address = server.url("/popup.html").replace("127.0.0.1", host);
        QCOMPARE(browser.locationUrl(popup), std::optional<QString>(address));
        QVERIFY(browser.handle(popup).has_value()); // a popup is a window of its own
        QVERIFY(browser.handle(popup) != browser.handle(before.first()));
        QVERIFY(browser.quit(popup));
        QVERIFY(!browser.locationUrl(popup)); // gone for every operation at once
        QTRY_COMPARE_WITH_TIMEOUT(driver->pageIds().size(), 1, kWait);
        QCOMPARE(browser.enumerate(), before);
    }

    void tourOfNewWindows_recordedForTheMirrorTests_andAWindowWeOpen() {
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
        // A window we open is told as ours before it is counted.
        ChromiumBrowser& browser = rig->browser;
        QTRY_COMPARE_WITH_TIMEOUT(browser.count(), std::optional<int>(1), kWait);
        const WindowKey shown = browser.enumerate().first();
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
        const WindowKey window = newKeys({shown}).first();
        QTRY_COMPARE_WITH_TIMEOUT(browser.documentTitle(window), std::optional<QString>("Landed"),
                                  kWait);
        QCOMPARE(ours, QList<qint64>{*browser.handle(window)});
        QVERIFY(browser.handle(window) != browser.handle(shown));
        QVERIFY(!isPopup(window));
        QVERIFY(!open("http://[not an address")); // and the browser's reason is told
        // Each told before a waiting pass is woken by it.
        QCOMPARE(countChangesWhenTold, (QList<qsizetype>{0, 1}));
    }

    void floodOfFiftyPopups_allSeenAndAllClosed() {
        // One click may open only one popup under the browser's own blocker; the flood needs it
        // off, as an ad page that found a way around it would.
        QVERIFY(start("/flood.html", {QStringLiteral("--disable-popup-blocking")}));
        ChromiumBrowser& browser = rig->browser;
        const WindowKey opener = browser.enumerate().first();
        QSet<WindowKey> closed;
        // Closed the moment the mirror shows them, as a blocking pass would.
        connect(&browser, &BrowserWindows::countChanged, this, [&] {
            for (WindowKey key : browser.enumerate()) {
                if (key != opener && isPopup(key) && browser.quit(key))
                    closed.insert(key);
            }
        });
        act("document.getElementById('b').click()"); // busy until the last popup is out
        QTRY_COMPARE_WITH_TIMEOUT(closed.size(), 50, 60000);
        QTRY_COMPARE_WITH_TIMEOUT(driver->pageIds().size(), 1, kWait);
        QCOMPARE(browser.enumerate(), QList<WindowKey>{opener});
    }

    void pageHeldWhenItsHolderDies_isReleasedWhenWeAreBack_andAKilledBrowserIsGuardedAgain() {
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
        driver->click(tab, 100, 100); // the opener's renderer is held with the page
        QTRY_COMPARE_WITH_TIMEOUT(driver->pageIds().size(), 2, kWait);
        QCOMPARE(server.requestCount("/popup.html"), loadsBefore); // held: nothing fetched
        holder.client()->close();
        rig = std::make_unique<GuardedChromium>(chromium->endpoint());
        QTRY_COMPARE_WITH_TIMEOUT(server.requestCount("/popup.html"), loadsBefore + 1, kWait);
        QTRY_COMPARE_WITH_TIMEOUT(rig->browser.count(), std::optional<int>(2), kWait);
        // Killed and started again, the attached browser is guarded again.
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
        // The mirror is whole again: a popup is seen as before.
        QVERIFY(show("/opener.html"));
        const QList<WindowKey> before = browser.enumerate();
        QVERIFY(!before.contains(oldTab));
        driver->click(tab, 100, 100);
        QTRY_COMPARE_WITH_TIMEOUT(browser.count(), std::optional<int>(2), kWait);
        QVERIFY(isPopup(newKeys(before).first()));
    }

    void launchedBrowserThatDiesOrHangs_isReplaced_data() {
        QTest::addColumn<int>("how");
        QTest::addColumn<QString>("status"); // as it is lost
        QTest::newRow("crashes") << int(SIGKILL) << "Lost the browser (";
        QTest::newRow("hangs") << int(SIGSTOP) << "the browser stopped answering";
        QTest::newRow("SIGTERM") << int(SIGTERM) << "it was ended, not closed by the user";
    }

    void launchedBrowserThatDiesOrHangs_isReplaced() {
        QFETCH(int, how);
        QFETCH(QString, status);
        QTemporaryDir profile; // outlives the browser
        BrowserConnectionOptions options;
        options.attach = false; // never pick up some other browser on 9222
        options.profileFolder = profile.path() + QStringLiteral("/browser-profile");
        options.extraArguments = ChromiumProcess::quietArguments();
        options.heartbeatMs = 1000;
        auto launched = std::make_unique<ChromiumBrowser>(options);
        ChromiumBrowser& browser = *launched;
        browser.start();
        QTRY_VERIFY_WITH_TIMEOUT(browser.count().value_or(0) >= 1, 60000);
        QVERIFY2(browser.status().startsWith("Guarding Chromium ") &&
                     browser.status().endsWith("(started by Pagewarden)"),
                 qPrintable(browser.status()));
        const qint64 firstPid = browser.connector().browserProcessId();
        const WindowKey key = browser.enumerate().first();
        QTRY_VERIFY_WITH_TIMEOUT(browser.documentTitle(key).has_value(), kWait);
        QStringList said;
        connect(&browser, &ChromiumBrowser::statusChanged, this,
                [&](const QString& s) { said << s; });
        ::kill(static_cast<pid_t>(firstPid), how);
        // Reads and commands are answered though the browser is frozen: from the mirror while it
        // is still guarded, and as quiet failures once the heartbeat has given it up.
        QVERIFY(browser.documentTitle(key).has_value() || !browser.isGuarding());
        QVERIFY(browser.quit(key) || !browser.isGuarding());
        QTRY_VERIFY_WITH_TIMEOUT(!browser.isGuarding(), kWait);
        QCOMPARE(browser.count(), std::optional<int>(0));
        QTRY_VERIFY_WITH_TIMEOUT(browser.isGuarding(), 60000);
        const qint64 secondPid = browser.connector().browserProcessId();
        QVERIFY(secondPid != firstPid);
        QVERIFY2(!said.filter(status).isEmpty(), qPrintable(said.join('\n')));
        QTRY_VERIFY_WITH_TIMEOUT(::kill(static_cast<pid_t>(firstPid), 0) != 0, kWait); // ended
        // And it is driven as before.
        QTRY_VERIFY_WITH_TIMEOUT(browser.count().value_or(0) >= 1, kWait);
        const WindowKey window = browser.enumerate().first();
        QVERIFY(browser.navigate(window, server.url("/landed.html")));
        QTRY_COMPARE_WITH_TIMEOUT(browser.documentTitle(window), std::optional<QString>("Landed"),
                                  kWait);
        launched.reset(); // our browser goes with the adapter
        QVERIFY(::kill(static_cast<pid_t>(secondPid), 0) != 0);
        // Ended cleanly, so its next start offers no "Restore pages?".
        QFile preferences(options.profileFolder + "/Default/Preferences");
        QVERIFY(preferences.open(QIODevice::ReadOnly));
        const QJsonObject state = QJsonDocument::fromJson(preferences.readAll()).object();
        QCOMPARE(state.value("profile").toObject().value("exit_type").toString(), "Normal");
    }
};

PAGEWARDEN_TEST_MAIN(TestChromiumBrowser, QCoreApplication)
#include "test_chromium_browser.moc"
