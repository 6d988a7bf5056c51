// The program's side of the extension route: the mirror of an extension's browser, fed the
// message sequences Chromium and Firefox send, the commands it sends back, and the server that
// takes only our own user's connections.
#include "platform/connector/ConnectorServer.h"
#include "platform/connector/ExtensionBrowser.h"
#include "support/TestMain.h"

#include <QLocalSocket>
#include <QtEndian>
#include <unistd.h>

// Declared before the data: moc cannot read a raw string that spans lines.
class TestConnector : public QObject {
    Q_OBJECT
private slots:
    void mirrorsTheBrowser_data();
    void mirrorsTheBrowser();
    void obeysIgnoresJunkAndNeverTakesAClosedTabBack();
    void serverTakesOurUserOnly();
};

namespace {

// The extension's messages one a line, each without the "v":1 they all carry; "wait" lets the
// mirror's wait for an opener run out.
void feed(ExtensionBrowser& browser, const QString& lines, QList<int>* counts = nullptr) {
    for (const QString& line : lines.split('\n', Qt::SkipEmptyParts)) {
        QJsonObject message = QJsonDocument::fromJson(line.toUtf8()).object();
        QVERIFY2(!message.isEmpty(), qPrintable(line));
        message.insert("v", 1);
        if (message["type"] == "wait") // past the opener wait of the test's mirror
            QTest::qWait(200);
        else
            browser.receive(QJsonDocument(message).toJson());
        if (counts)
            counts->append(*browser.count());
    }
}

// The mirror as the passes see it: "<handle> <menu|popup> <opener|-> <address> [<title>]".
QString describe(ExtensionBrowser& b) {
    QStringList out;
    for (WindowKey k : b.enumerate())
        out << QString("%1 %2 %3 %4 [%5]")
                   .arg(*b.handle(k))
                   .arg(*b.menuBar(k) ? "menu" : "popup", *b.hasOpener(k) ? "opener" : "-",
                        *b.locationUrl(k), *b.documentTitle(k));
    return out.join(" | ");
}

const QString kStart = R"({"type":"hello","browser":"Chromium","version":"156.0.8078.129"}
{"type":"snapshot","windows":[{"id":1,"type":"normal","tabs":[{"id":10,"url":"http://a/","title":"A"}]}]})";
const QString kA = "1 menu - http://a/ [A]";

} // namespace

void TestConnector::mirrorsTheBrowser_data() {
    QTest::addColumn<QString>("messages");
    QTest::addColumn<QList<int>>("counts"); // after each message
    QTest::addColumn<QString>("later");     // one every 20 ms while a title is awaited
    QTest::addColumn<QString>("expected");
    QTest::newRow("Chromium popup")
        << R"({"type":"windowCreated","windowId":2,"windowType":"popup"}
{"type":"tabCreated","tabId":20,"windowId":2,"openerTabId":10}
{"type":"navTarget","tabId":20,"sourceTabId":10,"url":"http://p/"})"
        << QList<int>{1, 2, 2}
        << R"({"type":"tabUpdated","tabId":20,"url":"http://p/","status":"loading"}
{"type":"tabUpdated","tabId":20,"title":"Ad"})"
        << kA + " | 2 popup opener http://p/ [Ad]";
    QTest::newRow("Firefox popup")
        << R"({"type":"tabCreated","tabId":20,"windowId":2,"url":"about:blank","title":"New Tab"}
{"type":"windowCreated","windowId":2,"windowType":"popup"}
{"type":"tabUpdated","tabId":20,"url":"about:blank"}
{"type":"navTarget","tabId":20,"sourceTabId":10,"url":"http://p/","windowId":2})"
        << QList<int>{1, 1, 1, 2} << R"({"type":"tabUpdated","tabId":20,"url":"http://p/"}
{"type":"tabUpdated","tabId":20,"title":"http://p/"}
{"type":"tabUpdated","tabId":20,"title":"Ad"})"
        << kA + " | 2 popup opener http://p/ [Ad]";
    QTest::newRow("Firefox popup, no opener told")
        << R"({"type":"tabCreated","tabId":20,"windowId":2}
{"type":"windowCreated","windowId":2,"windowType":"popup"})"
        << QList<int>{1, 1} << "" << kA + " | 2 popup -  []";
    QTest::newRow("Firefox link into a new window")
        << R"({"type":"tabCreated","tabId":20,"windowId":2,"url":"about:blank","title":"New Tab"}
{"type":"windowCreated","windowId":2,"windowType":"normal"}
{"type":"navTarget","tabId":20,"sourceTabId":10,"url":"http://w/","windowId":2})"
        << QList<int>{1, 1, 2}
        << R"({"type":"tabUpdated","tabId":20,"url":"http://w/","title":"W"})"
        << kA + " | 2 menu opener http://w/ [W]";
    QTest::newRow("Firefox popup, window told late")
        << R"({"type":"tabCreated","tabId":20,"windowId":2,"url":"about:blank"}
{"type":"wait"}
{"type":"windowCreated","windowId":2,"windowType":"popup"}
{"type":"navTarget","tabId":20,"sourceTabId":10,"url":"http://p/","windowId":2})"
        << QList<int>{1, 1, 1, 2} << "" << kA + " | 2 popup opener http://p/ []";
    QTest::newRow("Firefox target=_blank tab")
        << R"({"type":"tabCreated","tabId":12,"windowId":1,"openerTabId":10,"url":"about:blank"}
{"type":"navTarget","tabId":12,"sourceTabId":10,"url":"http://b/","windowId":1})"
        << QList<int>{2, 2}
        << R"({"type":"tabUpdated","tabId":12,"url":"http://b/","title":"http://b/"}
{"type":"tabUpdated","tabId":12,"title":"B","status":"complete"})"
        << kA + " | 1 menu opener http://b/ [B]";
    QTest::newRow("untitled page")
        << R"({"type":"tabCreated","tabId":11,"windowId":1,"url":"http://u/"})" << QList<int>{2}
        << R"({"type":"tabUpdated","tabId":11,"url":"http://u/","title":"u/"}
{"type":"tabUpdated","tabId":11,"status":"complete"})"
        << kA + " | 1 menu - http://u/ []";
    QTest::newRow("snapshot")
        << R"({"type":"snapshot","windows":[{"id":1,"type":"normal","tabs":[{"id":10,"url":"http://a/","title":"A"}]},{"id":3,"type":"popup","tabs":[{"id":30,"url":"about:blank","openerTabId":10,"openedFor":"http://s/"}]}]})"
        << QList<int>{2} << "" << kA + " | 3 popup opener http://s/ []";
    QTest::newRow("tab moved") << R"({"type":"tabCreated","tabId":11,"windowId":1,"url":"http://n/"}
{"type":"windowCreated","windowId":4,"windowType":"normal"}
{"type":"tabMoved","tabId":11,"windowId":4})"
                               << QList<int>{2, 2, 2} << "" << kA + " | 4 menu - http://n/ []";
    QTest::newRow("removals") << R"({"type":"windowCreated","windowId":2,"windowType":"popup"}
{"type":"tabCreated","tabId":20,"windowId":2,"openerTabId":10}
{"type":"tabCreated","tabId":21,"windowId":2,"openerTabId":10}
{"type":"tabRemoved","tabId":21,"windowId":2}
{"type":"windowRemoved","windowId":2}
{"type":"tabRemoved","tabId":10,"windowId":1})"
                              << QList<int>{1, 2, 3, 2, 1, 0} << ""
                              << "";
}
void TestConnector::mirrorsTheBrowser() {
    QFETCH(QString, messages);
    QFETCH(QList<int>, counts);
    QFETCH(QString, later);
    QFETCH(QString, expected);
    ExtensionBrowser browser;
    browser.setOpenerTimeout(50);
    QSignalSpy snapshots(&browser, &ExtensionBrowser::snapshotWindows);
    feed(browser, kStart);
    QCOMPARE(browser.browserName(), "Chromium 156");
    QList<int> seen;
    feed(browser, messages, &seen);
    QCOMPARE(seen, counts);
    QTRY_COMPARE(*browser.count(), int(expected.count('|') + !expected.isEmpty()));
    const QStringList lines = later.split('\n', Qt::SkipEmptyParts);
    for (int i = 0; i < lines.size(); ++i)
        QTimer::singleShot(20 * (i + 1), &browser,
                           [&browser, line = lines[i]] { feed(browser, line); });
    browser.setTitleTimeout(later.isEmpty() ? 0 : 10000);
    QCOMPARE(describe(browser), expected);
    QCOMPARE(snapshots.size(), messages.contains("snapshot") ? 2 : 1);
    QCOMPARE(snapshots.last().first().value<QList<qint64>>().last(),
             messages.contains("snapshot") ? 3 : 1);
}

void TestConnector::obeysIgnoresJunkAndNeverTakesAClosedTabBack() {
    ExtensionBrowser browser;
    QSignalSpy sent(&browser, &ExtensionBrowser::outgoing);
    feed(browser, kStart);
    for (const char* junk :
         {"", "not json", "[1]", R"({"type":"tabCreated","tabId":5,"windowId":1})",
          R"({"v":1,"type":"tabCreated","tabId":"5","windowId":1})",
          R"({"v":1,"type":"tabCreated","tabId":5.5,"windowId":1})",
          R"({"v":1,"type":"tabCreated","tabId":-1,"windowId":1})",
          R"({"v":1,"type":"tabCreated","tabId":2199023255552,"windowId":1})",
          R"({"v":1,"type":"tabCreated","tabId":5})",
          R"({"v":1,"type":"tabCreated","tabId":5,"windowId":1,"openerTabId":"x"})",
          R"({"v":1,"type":"open","url":"http://x/","windowId":1})",
          R"({"v":1,"type":"snapshot","windows":[{"id":7,"tabs":[{"id":5}]}]})",
          R"({"v":1,"type":"tabRemoved","tabId":10.5})"})
        browser.receive(QByteArrayView(junk));
    feed(browser, R"({"type":"windowCreated","windowId":2,"windowType":"popup"}
{"type":"tabCreated","tabId":20,"windowId":2,"openerTabId":10}
{"type":"tabCreated","tabId":11,"windowId":1,"url":"http://c/"}
{"type":"tabUpdated","tabId":11,"url":"http://c/","title":"two\r\nlines"})");
    const QList<WindowKey> keys = browser.enumerate(); // tabs 10, 20, 11: no junk among them
    QCOMPARE(keys.size(), 3);
    QCOMPARE(*browser.documentTitle(keys[2]), "two  lines");
    QVERIFY(browser.quit(keys[1])); // the popup's only tab: its window
    QVERIFY(browser.quit(keys[2])); // one tab of two: the tab
    QVERIFY(!browser.quit(keys[1]));
    QVERIFY(browser.navigate(keys[0], "https://home/"));
    QCOMPARE(*browser.locationUrl(keys[0]), "https://home/"); // not the page being left
    QVERIFY(!browser.navigate(keys[0], "file:///etc/passwd"));
    QVERIFY(browser.refresh(keys[0])); // held while the tab is on its way home
    browser.requestSnapshot();
    QCOMPARE(browser.enumerate(), QList<WindowKey>{keys[0]});
    // A close refused or never answered leaves the tab out all the same.
    feed(browser, R"({"type":"done","id":1,"ok":false,"error":"No window with id: 2."}
{"type":"tabUpdated","tabId":20,"url":"http://p/"}
{"type":"tabMoved","tabId":11,"windowId":1}
{"type":"snapshot","windows":[{"id":2,"type":"popup","tabs":[{"id":20,"url":"http://p/"}]}]}
{"type":"tabUpdated","tabId":10,"status":"complete"}
{"type":"tabUpdated","tabId":10,"url":"https://home/","status":"loading"})");
    QCOMPARE(browser.enumerate(), QList<WindowKey>{keys[0]});
    QCOMPARE(sent.size(), 4);
    feed(browser, R"({"type":"tabUpdated","tabId":10,"status":"complete"})");
    QVERIFY(browser.refresh(keys[0]));
    QStringList commands;
    for (const QList<QVariant>& s : sent)
        commands << s.first().toString();
    QCOMPARE(commands,
             QStringList({R"({"id":1,"type":"close","v":1,"windowId":2})",
                          R"({"id":2,"tabId":11,"type":"close","v":1})",
                          R"({"id":3,"tabId":10,"type":"navigate","url":"https://home/","v":1})",
                          R"({"id":4,"type":"snapshot","v":1})",
                          R"({"id":5,"tabId":10,"type":"reload","v":1})",
                          R"({"id":6,"tabId":10,"type":"reload","v":1})"}));
}

void TestConnector::serverTakesOurUserOnly() {
    QVERIFY(ConnectorServer::acceptsPeer(::getuid(), ::getuid()));
    QVERIFY(!ConnectorServer::acceptsPeer(::getuid() + 1, ::getuid()));
    QVERIFY(!ConnectorServer::acceptsPeer(std::nullopt, ::getuid()));
    const QString path = qEnvironmentVariable("XDG_RUNTIME_DIR") + "/new/connector.socket";
    ConnectorServer server(path);
    QVERIFY2(server.listen(), qPrintable(server.errorString()));
    const auto others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                        QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    QVERIFY(!(QFile::permissions(path) & others));
    QVERIFY(!(QFile::permissions(QFileInfo(path).path()) & others));
    QSignalSpy connected(&server, &ConnectorServer::browserConnected);
    QSignalSpy gone(&server, &ConnectorServer::browserDisconnected);
    QLocalSocket client;
    client.connectToServer(path);
    QVERIFY(client.waitForConnected(5000));
    QCOMPARE(ConnectorServer::peerUid(client.socketDescriptor()), std::optional(::getuid()));
    const auto frame = [](const char* json) { return Wire::encodeFrame(QByteArray(json)); };
    // Garbage and facts before the hello are passed over; the connection stays.
    const QByteArray all =
        frame("") + frame("not json") +
        frame(R"({"v":1,"type":"tabCreated","tabId":5,"windowId":1})") +
        frame(R"({"v":1,"type":"hello","browser":"Firefox","version":"153.8.0esr"})") +
        frame(
            R"({"v":1,"type":"snapshot","windows":[{"id":1,"type":"normal","tabs":[{"id":9}]}]})");
    client.write(all.left(7));
    QVERIFY(client.waitForBytesWritten(5000));
    client.write(all.mid(7));
    QTRY_COMPARE(connected.size(), 1);
    auto* browser = connected.first().first().value<ExtensionBrowser*>();
    QCOMPARE(browser->browserName(), "Firefox 153");
    QTRY_COMPARE(*browser->count(), 1);
    QCOMPARE(server.browsers(), QList<ExtensionBrowser*>{browser});
    QVERIFY(browser->quit(browser->enumerate().first()));
    const QByteArray close = frame(R"({"id":1,"type":"close","v":1,"windowId":1})");
    QTRY_COMPARE(client.bytesAvailable(), close.size());
    QCOMPARE(client.readAll(), close);
    QByteArray over(4, '\0');
    qToLittleEndian<quint32>(Wire::kMaxFrameBytes + 1, over.data());
    client.write(over);
    QTRY_COMPARE(gone.size(), 1);
    QCOMPARE(gone.first().first().value<ExtensionBrowser*>(), browser);
    QTRY_COMPARE(client.state(), QLocalSocket::UnconnectedState);
    QVERIFY(server.browsers().isEmpty());
}

PAGEWARDEN_TEST_MAIN(TestConnector, QCoreApplication)
#include "test_connector.moc"
