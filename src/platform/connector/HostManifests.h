#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The host manifests that let a browser start pagewarden-bridge for our extension: one JSON file
// per browser, named after the host, in the browser's own folder of native-messaging hosts.
//
// The browsers are a table of data; the manifest is a function of the browser's family and the
// bridge's path alone. Writing is cheap and idempotent, so the program does it at every start (a
// moved or upgraded program re-points the manifests at the bridge it runs); a file that holds
// another host's name is never touched.
namespace HostManifests {

enum class Family { Chromium, Firefox };

struct Browser {
    QString name;
    Family family;
    QString profileRoot; // relative to the home folder; the browser is there when it exists
    QString hostsFolder; // relative to the home folder
};

inline const QString hostName = QStringLiteral("pagewarden.bridge");
// Fixed by the key in extension/manifest.json.
inline const QString chromiumExtensionId = QStringLiteral("jiennanegilgfhpjimiinlfbgimohnne");
inline const QString firefoxExtensionId = QStringLiteral("pagewarden@pagewarden.invalid");

// Every browser we know, in the order they are reported.
const QList<Browser>& browsers();

// The manifest's bytes: our host name, the bridge's absolute path, and our extension's id.
QByteArray manifest(Family family, const QString& bridgePath);

struct Outcome {
    enum class Kind { Written, Unchanged, NotOurs, Failed };
    QString browser;
    QString path;
    Kind kind = Kind::Written;
    QString error; // Failed only
};

// Writes (atomically) the manifest of every browser whose profile root is found under `home`
// and gives what was done for each; browsers that are not there are left out.
QList<Outcome> install(const QString& home, const QString& bridgePath);

// The bridge beside the program, or in lib/pagewarden/ of the prefix it is installed in; empty
// when there is none.
QString findBridge(const QString& programFolder);
// The extension's folder: share/pagewarden/extension of that prefix, or the source tree's.
QString findExtension(const QString& programFolder);

// What --setup-browsers prints: what was written and what is left for the user to do.
QString report(const QList<Outcome>& outcomes, const QString& bridgePath,
               const QString& extensionFolder);

} // namespace HostManifests
