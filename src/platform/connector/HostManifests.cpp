#include "platform/connector/HostManifests.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace HostManifests {

const QList<Browser>& browsers() {
    static const QList<Browser> table = {
        {"Chromium", Family::Chromium, ".config/chromium", ".config/chromium/NativeMessagingHosts"},
        {"Google Chrome", Family::Chromium, ".config/google-chrome",
         ".config/google-chrome/NativeMessagingHosts"},
        {"Brave", Family::Chromium, ".config/BraveSoftware/Brave-Browser",
         ".config/BraveSoftware/Brave-Browser/NativeMessagingHosts"},
        {"Microsoft Edge", Family::Chromium, ".config/microsoft-edge",
         ".config/microsoft-edge/NativeMessagingHosts"},
        {"Firefox", Family::Firefox, ".mozilla", ".mozilla/native-messaging-hosts"},
    };
    return table;
}

QByteArray manifest(Family family, const QString& bridgePath) {
    QJsonObject json{{"name", hostName},
                     {"description", "Pagewarden: the browser extension's way to the program"},
                     {"path", bridgePath},
                     {"type", "stdio"}};
    if (family == Family::Chromium)
        json.insert("allowed_origins",
                    QJsonArray{QStringLiteral("chrome-extension://%1/").arg(chromiumExtensionId)});
    else
        json.insert("allowed_extensions", QJsonArray{firefoxExtensionId});
    return QJsonDocument(json).toJson(QJsonDocument::Indented);
}

namespace {

Outcome writeOne(const Browser& browser, const QString& folder, const QByteArray& bytes) {
    Outcome out{browser.name, folder + "/" + hostName + ".json", Outcome::Kind::Written, {}};
    QFile existing(out.path);
    if (existing.open(QIODevice::ReadOnly)) {
        const QByteArray old = existing.read(1 << 20);
        if (old == bytes) {
            out.kind = Outcome::Kind::Unchanged;
            return out;
        }
        // A file of that name that is not one of ours (or not readable as one) stays as it is.
        if (QJsonDocument::fromJson(old).object().value("name").toString() != hostName) {
            out.kind = Outcome::Kind::NotOurs;
            return out;
        }
    }
    QSaveFile file(out.path);
    if (!QDir().mkpath(folder) || !file.open(QIODevice::WriteOnly) || file.write(bytes) < 0 ||
        !file.commit()) {
        out.kind = Outcome::Kind::Failed;
        out.error = file.errorString();
    }
    return out;
}

} // namespace

QList<Outcome> install(const QString& home, const QString& bridgePath) {
    QList<Outcome> outcomes;
    const QDir root(home);
    for (const Browser& browser : browsers()) {
        if (!QFileInfo(root.filePath(browser.profileRoot)).isDir())
            continue;
        outcomes.append(writeOne(browser, QDir::cleanPath(root.filePath(browser.hostsFolder)),
                                 manifest(browser.family, bridgePath)));
    }
    return outcomes;
}

namespace {
QString firstExisting(const QString& programFolder, const QStringList& relatives, bool folder) {
    for (const QString& relative : relatives) {
        const QFileInfo info(QDir(programFolder).filePath(relative));
        if (folder ? info.isDir() : info.isExecutable() && info.isFile())
            return QDir::cleanPath(info.absoluteFilePath());
    }
    return {};
}
} // namespace

QString findBridge(const QString& programFolder) {
    return firstExisting(programFolder,
                         {"pagewarden-bridge", "../lib/pagewarden/pagewarden-bridge"}, false);
}

QString findExtension(const QString& programFolder) {
    return firstExisting(
        programFolder,
        {"../share/pagewarden/extension", QStringLiteral(PAGEWARDEN_SOURCE_DIR "/extension")},
        true);
}

QString report(const QList<Outcome>& outcomes, const QString& bridgePath,
               const QString& extensionFolder) {
    QStringList lines;
    if (bridgePath.isEmpty())
        return QStringLiteral("pagewarden-bridge was not found beside the program; reinstall "
                              "Pagewarden.\n");
    lines << QStringLiteral("Bridge: %1").arg(bridgePath);
    if (outcomes.isEmpty())
        lines << QStringLiteral("No Chromium-family or Firefox profile was found in your home "
                                "folder; start the browser once, then run this again.");
    for (const Outcome& o : outcomes) {
        switch (o.kind) {
        case Outcome::Kind::Written:
            lines << QStringLiteral("%1: wrote %2").arg(o.browser, o.path);
            break;
        case Outcome::Kind::Unchanged:
            lines << QStringLiteral("%1: %2 is up to date").arg(o.browser, o.path);
            break;
        case Outcome::Kind::NotOurs:
            lines << QStringLiteral("%1: left %2 alone: it belongs to another program")
                         .arg(o.browser, o.path);
            break;
        case Outcome::Kind::Failed:
            lines << QStringLiteral("%1: could not write %2 (%3)").arg(o.browser, o.path, o.error);
            break;
        }
    }
    lines << QString()
          << QStringLiteral("Left for you to do, once in each browser profile you use:")
          << QStringLiteral("  Chromium, Chrome, Brave, Edge: open chrome://extensions, switch on "
                            "\"Developer mode\", choose \"Load unpacked\" and pick")
          << QStringLiteral("    %1").arg(extensionFolder.isEmpty()
                                              ? QStringLiteral("share/pagewarden/extension")
                                              : extensionFolder)
          << QStringLiteral("  To guard private (incognito) windows too: the extension's "
                            "\"Details\", then \"Allow in Incognito\".")
          << QStringLiteral("  Firefox: open about:debugging#/runtime/this-firefox, choose \"Load "
                            "Temporary Add-on\" and pick")
          << QStringLiteral("    %1/manifest.json (until Firefox quits: Firefox keeps only signed "
                            "extensions; see the README)")
                 .arg(extensionFolder.isEmpty() ? QStringLiteral("share/pagewarden/extension")
                                                : extensionFolder)
          << QStringLiteral("Pagewarden finds the browser within seconds of either starting.");
    return lines.join('\n') + '\n';
}

} // namespace HostManifests
