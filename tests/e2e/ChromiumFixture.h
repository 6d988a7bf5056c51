// The end-to-end set-up: a local web server, a real headless Chromium on loopback, the adapter
// attached to it with everything blocking runs on, and the test's own hands on the first tab.
// Everything is stopped again in stop(), also when a test fails.
#pragma once

#include "support/ChromiumProcess.h"
#include "support/DevToolsDriver.h"
#include "support/GuardedChromium.h"
#include "support/LocalHttpServer.h"

#include <QtTest>
#include <functional>
#include <memory>

inline constexpr int kWait = 30000; // generous: two cores shared with other builds

// The pages the browser tests show. /mixed.html: on the left a button that opens a popup, on the
// right a link that opens a tab. /slow.html takes 1.5 s.
inline bool servePages(LocalHttpServer& server) {
    server.setHtml(
        "/mixed.html", "Mixed",
        "<button style=\"position:fixed;left:0;top:0;width:300px;height:300px\" "
        "onclick=\"window.open('/popup.html', 'ad', 'width=320,height=240')\">ad</button>"
        "<a href=\"/tab.html\" target=\"_blank\" style=\"position:fixed;left:400px;top:0;"
        "width:300px;height:300px;display:block\">tab</a>");
    server.setHtml("/popup.html", "Popup Ad", "<p>buy now</p>");
    server.setHtml("/tab.html", "A Tab", "<p>tab</p>");
    server.setHtml("/slow.html", "Slow Ad", "<p>at last</p>");
    server.setDelay("/slow.html", 1500);
    server.setHtml("/hijacker.html", "Hijacker", "<p>search here</p>");
    server.setHtml("/signin.html", "Sign in", "<p>your password</p>");
    return server.start();
}

class ChromiumFixture : public QObject {
protected:
    LocalHttpServer server;
    std::unique_ptr<ChromiumProcess> chromium;
    std::unique_ptr<GuardedChromium> rig;
    std::unique_ptr<DevToolsDriver> driver;
    QString tab; // the driver's session on the first tab

    // A browser, the adapter guarding its one window, and that window showing `path`, loaded,
    // titled in the mirror and ready for clicks.
    bool start(const QString& path, const QStringList& arguments = {}) {
        chromium = std::make_unique<ChromiumProcess>();
        if (!chromium->start(arguments)) {
            qWarning() << "chromium:" << chromium->lastError();
            return false;
        }
        rig = std::make_unique<GuardedChromium>(chromium->endpoint());
        return QTest::qWaitFor(
                   [&] { return rig->browser.isGuarding() && rig->browser.count() == 1; }, kWait) &&
               show(path);
    }

    bool show(const QString& path) {
        driver = std::make_unique<DevToolsDriver>();
        if (!driver->connectTo(chromium->endpoint()))
            return false;
        tab = driver->attach(driver->findPage(QStringLiteral("about:blank")));
        if (tab.isEmpty())
            return false;
        driver->call(QStringLiteral("Page.navigate"), {{"url", server.url(path)}}, tab);
        const auto titled = [&] {
            const auto keys = rig->browser.enumerate();
            return keys.size() == 1 &&
                   !rig->browser.documentTitle(keys.first()).value_or(QString()).isEmpty();
        };
        return driver->waitUntilShown(tab, server.url(path)) && QTest::qWaitFor(titled, kWait);
    }

    void stop() {
        driver.reset();
        rig.reset();
        chromium.reset(); // stops (kills, if need be) the browser
    }

    // Runs `script` in the first tab as the answer to a user's click (so window.open is allowed),
    // without waiting for it: the page may be busy until the cycle has acted.
    void act(const QString& script) {
        driver->client()->send(QStringLiteral("Runtime.evaluate"),
                               {{"expression", script}, {"userGesture", true}}, tab);
    }

    bool isPopup(WindowKey key) {
        return rig->browser.hasOpener(key).value_or(false) &&
               !rig->browser.menuBar(key).value_or(true);
    }

    QList<WindowKey> newKeys(const QList<WindowKey>& before) {
        QList<WindowKey> added = rig->browser.enumerate();
        added.removeIf([&](WindowKey key) { return before.contains(key); });
        return added;
    }
};
