// Hijack protection against a real, headless Chromium: a window opened on a listed page is sent
// home by the survey pass, and a window open all along that then shows a listed page (the window
// count does not change) is sent home by the periodic redirect pass.
#include "e2e/ChromiumFixture.h"
#include "support/TestMain.h"

#include <QRegularExpression>

class TestHijackChromium : public ChromiumFixture {
    Q_OBJECT

    bool isHome(WindowKey window) const {
        return rig->browser.locationUrl(window) == server.url("/home.html");
    }

private slots:
    void initTestCase() {
        if (ChromiumProcess::executable().isEmpty())
            QSKIP("no Chromium-family browser installed");
        QVERIFY(server.start());
        server.setHtml("/start.html", "Start", "<p>start</p>");
        server.setHtml("/hijack-new.html", "Hijacker", "<p>search here</p>");
        server.setHtml("/hijack-later.html", "Hijacker Later", "<p>search here</p>");
        server.setHtml("/home.html", "Home", "<p>home</p>");
    }

    void init() {
        QVERIFY(start("/start.html"));
        rig->harness.options.popupKillSpeed = QStringLiteral(".05");
        rig->harness.settings.hijackPatterns = {QStringLiteral("/hijack")};
        rig->harness.settings.desiredHomeUrl = server.url("/home.html");
    }

    void cleanup() { stop(); }

    void windowOpenedOnAListedPage_isSentHomeAndLogged() {
        bool opened = false;
        QVERIFY(rig->runCycleUntil([&] {
            if (!opened) // as a page or the user would open one
                rig->browser.openPage(server.url("/hijack-new.html"), {},
                                      [](bool, const QString&) {});
            opened = true;
            const auto keys = rig->browser.enumerate();
            return keys.size() == 2 && isHome(keys.last()) && !rig->harness.logLines().isEmpty();
        }));
        const QString line = rig->harness.logLines().first();
        // Named by the address it was opened for; its title only if the page had come by then.
        const QRegularExpression record("^" +
                                        QRegularExpression::escape(server.url("/hijack-new.html")) +
                                        "<===>(Hijacker)? , redirected to " +
                                        QRegularExpression::escape(server.url("/home.html")));
        QVERIFY2(record.match(line).hasMatch(), qPrintable(line));
    }

    void windowOpenAllAlong_isSentHomeByThePeriodicPass() {
        const WindowKey first = rig->browser.enumerate().first();
        bool navigated = false;
        QVERIFY(rig->runCycleUntil(
            [&] {
                if (!navigated)
                    driver->client()->send("Page.navigate",
                                           {{"url", server.url("/hijack-later.html")}}, tab);
                navigated = true;
                return isHome(first) && !rig->harness.logLines().isEmpty();
            },
            60000, 2000)); // the pass runs every 2 s once the window is in the tray
        QCOMPARE(rig->browser.enumerate(), QList<WindowKey>{first});
        const QString line = rig->harness.logLines().first();
        QVERIFY2(line.startsWith(server.url("/hijack-later.html") + "<===>Hijacker Later"),
                 qPrintable(line));
    }
};

PAGEWARDEN_TEST_MAIN(TestHijackChromium, QCoreApplication)
#include "test_hijack_chromium.moc"
