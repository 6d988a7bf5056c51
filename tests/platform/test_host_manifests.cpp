// The host manifests: written for the browsers found in a home folder only, atomically, the same
// bytes left alone, re-pointed at a moved bridge, and a file of another host never touched.
#include "platform/connector/HostManifests.h"
#include "support/TestMain.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

using namespace HostManifests;
using Kind = Outcome::Kind;

class TestHostManifests : public QObject {
    Q_OBJECT

    static QJsonObject read(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(f.readAll()).object()
                                           : QJsonObject();
    }

private slots:
    void writes_data() {
        QTest::addColumn<QString>("profile");
        QTest::addColumn<QString>("hosts");
        QTest::addColumn<QString>("allowedKey");
        QTest::addColumn<QString>("allowed");
        const QString chromium = "chrome-extension://" + chromiumExtensionId + "/";
        QTest::newRow("chromium") << ".config/chromium"
                                  << ".config/chromium/NativeMessagingHosts"
                                  << "allowed_origins" << chromium;
        QTest::newRow("brave") << ".config/BraveSoftware/Brave-Browser"
                               << ".config/BraveSoftware/Brave-Browser/NativeMessagingHosts"
                               << "allowed_origins" << chromium;
        QTest::newRow("firefox") << ".mozilla"
                                 << ".mozilla/native-messaging-hosts"
                                 << "allowed_extensions" << firefoxExtensionId;
    }
    void writes() {
        QFETCH(QString, profile);
        QFETCH(QString, hosts);
        QFETCH(QString, allowedKey);
        QFETCH(QString, allowed);
        QTemporaryDir home;
        QVERIFY(HostManifests::install(home.path(), "/opt/pw/bridge")
                    .isEmpty()); // no browser, nothing written
        QVERIFY(QDir(home.path()).mkpath(profile));
        QVERIFY(QDir(home.path()).mkpath(".config/google-chrome-beta")); // not one we know
        const QString path = home.filePath(hosts + "/pagewarden.bridge.json");
        const auto kinds = [&](const QString& bridge) {
            QList<Kind> out;
            for (const Outcome& o : HostManifests::install(home.path(), bridge))
                out << (o.path == path ? o.kind : Kind::Failed);
            return out;
        };
        QCOMPARE(kinds("/opt/pw/bridge"), QList<Kind>{Kind::Written});
        const QJsonObject written = read(path);
        QCOMPARE(written.value("name").toString(), QStringLiteral("pagewarden.bridge"));
        QCOMPARE(written.value("type").toString(), QStringLiteral("stdio"));
        QCOMPARE(written.value("path").toString(), QStringLiteral("/opt/pw/bridge"));
        QCOMPARE(written.value(allowedKey).toArray(), QJsonArray{allowed});
        QCOMPARE(kinds("/opt/pw/bridge"), QList<Kind>{Kind::Unchanged});
        QCOMPARE(kinds("/usr/lib/pagewarden/pagewarden-bridge"), QList<Kind>{Kind::Written});
        QCOMPARE(read(path).value("path").toString(),
                 QStringLiteral("/usr/lib/pagewarden/pagewarden-bridge"));
        QCOMPARE(QDir(home.filePath(hosts)).entryList(QDir::Files),
                 QStringList{"pagewarden.bridge.json"});

        // Another program's file under our name stays as it is, and is reported.
        QFile foreign(path);
        QVERIFY(foreign.open(QIODevice::WriteOnly | QIODevice::Truncate));
        foreign.write(R"({"name": "org.example.other", "path": "/bin/other"})");
        foreign.close();
        QCOMPARE(kinds("/opt/pw/bridge"), QList<Kind>{Kind::NotOurs});
        QCOMPARE(read(path).value("path").toString(), QStringLiteral("/bin/other"));
        const QString text = report(HostManifests::install(home.path(), "/opt/pw/bridge"),
                                    "/opt/pw/bridge", "/usr/share/pagewarden/extension");
        QVERIFY2(text.contains("left " + path + " alone") &&
                     text.contains("/usr/share/pagewarden/extension"),
                 qPrintable(text));
    }
};

PAGEWARDEN_TEST_MAIN(TestHostManifests, QCoreApplication)
#include "test_host_manifests.moc"
