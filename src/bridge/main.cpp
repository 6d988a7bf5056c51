// pagewarden-bridge: started by the browser for the Pagewarden extension (native messaging host
// pagewarden.bridge). Standard output is the protocol's, so every word of ours goes to stderr.
#include "bridge/BridgeRelay.h"
#include "wire/ConnectorSocket.h"

#include <QCoreApplication>
#include <csignal>
#include <unistd.h>

int main(int argc, char** argv) {
    // A browser that went away is seen as a failed write, not as a signal that ends us mid-message.
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    // The browser passes its extension's origin (and Firefox the manifest's path); we need neither.
    BridgeRelay relay(STDIN_FILENO, STDOUT_FILENO, Wire::connectorSocketPath());
    QObject::connect(&relay, &BridgeRelay::finished, &app, &QCoreApplication::exit,
                     Qt::QueuedConnection);
    relay.start();
    return app.exec();
}
