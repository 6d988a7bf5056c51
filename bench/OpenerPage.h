// What the browser benchmarks share: a page server, a headless Chromium on loopback whose own popup
// blocker is off, and the driver's session on its first tab, showing an opener page whose script
// calls window.open without a click (so every call opens a window).
#pragma once

#include "support/ChromiumProcess.h"
#include "support/DevToolsDriver.h"
#include "support/LocalHttpServer.h"

#include <QJsonObject>
#include <cstdio>

struct OpenerPage {
    // Serves /opener.html with `script` in its head and /popup.html, starts the browser and shows
    // the opener in its first tab; says why on standard error when that fails.
    bool start(const QString& script) {
        if (!server.start())
            return false;
        server.setHtml("/opener.html", "Opener", "<p>opener</p>",
                       "<script>" + script + "</script>");
        server.setHtml("/popup.html", "Popup", "<p>ad</p>");
        if (!chromium.start({QStringLiteral("--disable-popup-blocking")})) {
            std::fprintf(stderr, "cannot start chromium: %s\n", qPrintable(chromium.lastError()));
            return false;
        }
        if (!driver.connectTo(chromium.endpoint()))
            return false;
        session = driver.attach(driver.findPage(QStringLiteral("about:blank")));
        driver.call(QStringLiteral("Page.navigate"),
                    QJsonObject{{QStringLiteral("url"), server.url("/opener.html")}}, session);
        return driver.waitUntilShown(session, server.url("/opener.html"));
    }

    LocalHttpServer server;
    ChromiumProcess chromium;
    DevToolsDriver driver;
    QString session; // the driver's, on the opener's tab
};
