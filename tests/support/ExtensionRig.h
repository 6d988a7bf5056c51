#pragma once

#include "blocking/ProgramState.h"
#include "platform/BrowserCollection.h"
#include "platform/connector/ConnectorServer.h"
#include "platform/connector/ExtensionBrowser.h"
#include "platform/connector/HostManifests.h"
#include "support/ChromiumProcess.h"
#include "support/DevToolsDriver.h"
#include "wire/ConnectorSocket.h"

#include <QDir>
#include <QFile>
#include <memory>

// The extension route's rig, shared by its end-to-end test and its benchmark: a real Chromium that
// loads an extension folder, the program's side of the route wired as the program wires it, and
// the test's hands on a page.
namespace ExtensionRig {

// Starts `browser` with the extension in `folder` loaded. With `bridge`, the host manifest in the
// browser's own profile names that bridge: a Chromium with a user-data folder of its own looks for
// it there and nowhere else.
inline bool startChromium(ChromiumProcess& browser, const QString& folder,
                          const QString& bridge = {}) {
    if (!bridge.isEmpty()) {
        const QString hosts = browser.profile() + QStringLiteral("/NativeMessagingHosts");
        QFile manifest(hosts + QStringLiteral("/pagewarden.bridge.json"));
        if (!QDir().mkpath(hosts) || !manifest.open(QIODevice::WriteOnly) ||
            manifest.write(HostManifests::manifest(HostManifests::Family::Chromium, bridge)) <= 0)
            return false;
    }
    return browser.start({QStringLiteral("--load-extension=") + folder});
}

// The program's side: each browser whose bridge connects joins `guarded`, and the windows its
// snapshot names are spared like windows open at the start.
struct Program {
    BrowserCollection& guarded;
    ProgramState& state;
    std::unique_ptr<ConnectorServer> server = nullptr;

    // Listens where the bridges look (the runtime folder of this process's environment).
    bool start() {
        server = std::make_unique<ConnectorServer>(Wire::connectorSocketPath());
        QObject::connect(server.get(), &ConnectorServer::browserConnected, server.get(),
                         [this](ExtensionBrowser* member) {
                             guarded.addMember(member);
                             QObject::connect(
                                 member, &ExtensionBrowser::snapshotWindows, server.get(),
                                 [this, member](const QList<qint64>& handles) {
                                     for (const qint64 handle : handles)
                                         state.existingWindowHandles << QString::number(
                                             guarded.handleOf(member, handle).value_or(-1));
                                 });
                         });
        return server->listen();
    }
    // The program ends: its browsers leave the collection.
    void stop() { server.reset(); }
};

// Shows `url` in the first tab of the browser at `endpoint`, loaded and ready for clicks; gives the
// tab's session (empty on failure).
inline QString showInFirstTab(DevToolsDriver& hands, const QString& endpoint, const QString& url) {
    if (!hands.connectTo(endpoint))
        return {};
    const QString tab = hands.attach(hands.findPage(QStringLiteral("about:blank")));
    hands.call(QStringLiteral("Page.navigate"), {{"url", url}}, tab);
    return hands.waitUntilShown(tab, url) ? tab : QString();
}

} // namespace ExtensionRig
