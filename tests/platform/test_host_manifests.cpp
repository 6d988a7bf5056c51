// The host manifests: written for the browsers found in a home folder only, the same bytes left
// alone, re-pointed at a moved bridge, and a file of another host never touched.
#include "platform/connector/HostManifests.h"
#include "support/TestMain.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using namespace HostManifests;
using Kind = Outcome::Kind;

class TestHostManifests : public QObject {
    Q_OBJECT
private slots:
    void writes_data() {
        QTest::addColumn<QStringList>("row"); // profile, hosts folder, key, allowed
        const QString chromium = "chrome-extension://" + chromiumExtensionId + "/";
        for (const QString profile : {".config/chromium", ".config/BraveSoftware/Brave-Browser"})
            QTest::newRow(qPrintable(profile)) << QStringList{
                profile, profile + "/NativeMessagingHosts", "allowed_origins", chromium};
        QTest::newRow("firefox") << QStringList{".mozilla", ".mozilla/native-messaging-hosts",
                                                "allowed_extensions", firefoxExtensionId};
    }
    void writes() {
        QFETCH(QStringList, row);
        QTemporaryDir home;
        QVERIFY(install(home.path(), "/b").isEmpty()); // no browser, nothing written
        QVERIFY(QDir(home.path()).mkpath(row[0]) && QDir(home.path()).mkpath(".config/opera"));
        const QString path = home.filePath(row[1] + "/pagewarden.bridge.json");
        QFile file(path);
        const auto run = [&](const QString& bridge) {
            const QList<Outcome> out = install(home.path(), bridge);
            file.open(QIODevice::ReadOnly);
            const QJsonObject json = QJsonDocument::fromJson(file.readAll()).object();
            file.close();
            return QStringList{QString::number(out.size()), out.value(0).path,
                               QString::number(int(out.value(0).kind)),
                               json["name"].toString() + json["type"].toString() +
                                   json["path"].toString(),
                               json[row[2]].toArray().first().toString()};
        };
        const QString ours = "pagewarden.bridgestdio";
        QCOMPARE(run("/b"), (QStringList{"1", path, "0", ours + "/b", row[3]})); // written
        QCOMPARE(run("/b"), (QStringList{"1", path, "1", ours + "/b", row[3]})); // unchanged
        QCOMPARE(run("/c"), (QStringList{"1", path, "0", ours + "/c", row[3]})); // re-pointed
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QString(R"({"name": "org.example.other", "path": "/x", "%1": ["o"]})")
                       .arg(row[2])
                       .toUtf8());
        file.close();
        QCOMPARE(run("/b"), (QStringList{"1", path, "2", "org.example.other/x", "o"})); // not ours
        QVERIFY(
            report(install(home.path(), "/b"), "/b", "/ext").contains("left " + path + " alone"));
    }
};

PAGEWARDEN_TEST_MAIN(TestHostManifests, QCoreApplication)
#include "test_host_manifests.moc"
