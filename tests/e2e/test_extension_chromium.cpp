// The extension route end to end: a real headless Chromium loads extension/ and finds
// pagewarden-bridge through the host manifest in its own profile; the program's server, the
// collection of guarded browsers and the real blocking cycle guard it, with a second Chromium on
// the DevTools route in the same collection. The test clicks and reads over DevTools only.
#include "e2e/ChromiumFixture.h"
#include "support/ExtensionRig.h"
#include "support/TestMain.h"

#include <QProcess>
#include <QtTest>

class TestExtensionChromium : public QObject {
    Q_OBJECT

    LocalHttpServer web;
    SystemClock clock;
    BrowserCollection guarded;
    BlockingHarness h{guarded, clock};
    ExtensionRig::Program program{guarded, h.state};

private slots:
    void initTestCase() {
        if (ChromiumProcess::executable().isEmpty())
            QSKIP("no Chromium-family browser installed");
        QVERIFY(servePages(web));
    }

    void everydayBrowser_guardedThroughItsExtension() {
        ChromiumProcess everyday;
        QVERIFY2(ExtensionRig::startChromium(everyday, PAGEWARDEN_EXTENSION, PAGEWARDEN_BRIDGE),
                 qPrintable(everyday.lastError()));
        DevToolsDriver hands;
        const QString tab =
            ExtensionRig::showInFirstTab(hands, everyday.endpoint(), web.url("/mixed.html"));
        QVERIFY(!tab.isEmpty());

        // The program starts after the browser, whose bridge is waiting: found within 3 s.
        const QStringList ourBridge{"-f", "^" PAGEWARDEN_BRIDGE " chrome-extension:"};
        QTRY_VERIFY_WITH_TIMEOUT(QProcess::execute("pgrep", ourBridge) == 0, kWait);
        QVERIFY(program.start());
        QTRY_COMPARE_WITH_TIMEOUT(program.server->browsers().size(), 1, 3000);
        QTRY_COMPARE_WITH_TIMEOUT(guarded.count(), 1, kWait);
        const WindowKey first = guarded.enumerate().first();
        QTRY_COMPARE_WITH_TIMEOUT(guarded.documentTitle(first), QStringLiteral("Mixed"), kWait);
        QCOMPARE(h.state.existingWindowHandles,
                 QStringList{QString::number(*guarded.handle(first))});

        // A link's tab is spared, a click's popup is closed, a new window goes under "Kill new
        // browsers", and the user's tab sent to a listed page is sent home.
        h.options.popupKillSpeed = QStringLiteral(".2");
        h.settings.desiredHomeUrl = web.url("/tab.html");
        int step = 0;
        QVERIFY(GuardedChromium::runCycleUntil(
            h,
            [&] {
                const int killed = h.state.popupsTerminated;
                const bool bothTabs = guarded.count() == std::optional<int>(2);
                if (step == 0) {
                    hands.click(tab, 500, 100);
                    step = 1;
                } else if (step == 1 && bothTabs) {
                    hands.client()->send(QStringLiteral("Page.bringToFront"), {}, tab);
                    hands.click(tab, 100, 100);
                    step = 2;
                } else if (step == 2 && bothTabs && killed == 1) {
                    h.options.killBrowsersOn = true;
                    hands.client()->send("Target.createTarget",
                                         {{"url", web.url("/tab.html?new")}, {"newWindow", true}});
                    step = 3;
                } else if (step == 3 && bothTabs && killed == 2) {
                    h.options.killBrowsersOn = false;
                    hands.client()->send("Page.navigate", {{"url", web.url("/hijacker.html")}},
                                         tab);
                    step = 4;
                } else if (step == 4 && guarded.documentTitle(first) == "Hijacker") {
                    h.settings.hijackPatterns = {QStringLiteral("/hijack")};
                    step = 5;
                }
                return step == 5 && bothTabs && h.logLines().size() >= 3 &&
                       guarded.locationUrl(first) == web.url("/tab.html");
            },
            90000, 1000));
        QTRY_COMPARE_WITH_TIMEOUT(hands.pageIds().size(), 2, kWait);
        QStringList lines = h.logLines();
        QVERIFY2(lines.size() == 3 &&
                     lines[0].startsWith(web.url("/popup.html") + "<===>Popup Ad") &&
                     lines[1].startsWith(web.url("/tab.html?new") + "<===>") &&
                     lines[2].startsWith(web.url("/hijacker.html") + "<===>Hijacker") &&
                     lines[2].contains(" , redirected to " + web.url("/tab.html")),
                 qPrintable(lines.join('\n')));

        // The program ends and starts again: the browser is found again, with both its tabs.
        program.stop();
        QCOMPARE(guarded.members().size(), 0);
        QVERIFY(program.start());
        QTRY_COMPARE_WITH_TIMEOUT(guarded.count(), 2, kWait);

        // A second browser on the DevTools route, guarded at the same time: a popup in each.
        ChromiumProcess other;
        QVERIFY2(other.start(), qPrintable(other.lastError()));
        ChromiumBrowser second(GuardedChromium::attachTo(other.endpoint()));
        second.start();
        guarded.addMember(&second);
        DevToolsDriver otherHands;
        const QString otherTab =
            ExtensionRig::showInFirstTab(otherHands, other.endpoint(), web.url("/mixed.html"));
        QVERIFY(!otherTab.isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(guarded.count(), 3, kWait);
        hands.call(QStringLiteral("Page.navigate"), {{"url", web.url("/mixed.html")}}, tab);
        QVERIFY(hands.waitUntilShown(tab, web.url("/mixed.html")));
        step = 0;
        QVERIFY(GuardedChromium::runCycleUntil(h, [&] {
            if (step++ == 0) {
                hands.client()->send(QStringLiteral("Page.bringToFront"), {}, tab);
                hands.click(tab, 100, 100);
                otherHands.click(otherTab, 100, 100);
            }
            return h.state.popupsTerminated == 2 && guarded.count() == std::optional<int>(3);
        }));
        lines = h.logLines().mid(3);
        QVERIFY2(lines.size() == 2 && lines.filter(web.url("/popup.html") + "<===>").size() == 2,
                 qPrintable(lines.join('\n')));
    }
};

PAGEWARDEN_TEST_MAIN(TestExtensionChromium, QCoreApplication)
#include "test_extension_chromium.moc"
