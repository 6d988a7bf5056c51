#include "platform/devtools/BrowserConnector.h"
#include "platform/devtools/DevToolsClient.h"
#include "platform/devtools/DevToolsTransport.h"
#include "platform/devtools/Endpoint.h"
#include "platform/devtools/PipeTransport.h"
#include "platform/devtools/VersionProbe.h"
#include "platform/devtools/WebSocketTransport.h"
#include "support/ChromiumProcess.h"
#include "support/TestMain.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QWebSocket>
#include <QWebSocketServer>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <sys/fsuid.h>
#include <unistd.h>

namespace {

// A transport the test speaks through: it keeps what the client sent and delivers what the test
// says the browser answered.
class ScriptedTransport : public DevToolsTransport {
public:
    bool isOpen() const override { return m_open; }
    void sendMessage(const QByteArray& message) override { sent.append(message); }
    void close() override { drop(QStringLiteral("closed by us")); }

    void open() {
        m_open = true;
        emit opened();
    }
    void receive(const QByteArray& message) { emit messageReceived(message); }
    void drop(const QString& reason) {
        if (!m_open)
            return;
        m_open = false;
        emit closed(reason);
    }
    QJsonObject sentObject(int i) const { return QJsonDocument::fromJson(sent.at(i)).object(); }

    QList<QByteArray> sent;

private:
    bool m_open = false;
};

QByteArray json(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// A browser's DevTools endpoint on loopback: answers the version probe (properly, with a body
// that never ends, or a byte at a time) and Browser.getVersion over its WebSocket.
class FakeEndpoint : public QObject {
public:
    enum Probe { Answer, Endless, Trickle };
    FakeEndpoint(Probe probe, const QHostAddress& address, uid_t owner = ::geteuid())
        : m_probe(probe) {
        // A socket belongs to the user it was made as.
        const int previous = ::setfsuid(owner);
        listening = m_tcp.listen(address, 0);
        ::setfsuid(static_cast<uid_t>(previous));
        connect(&m_tcp, &QTcpServer::newConnection, this, [this] {
            QTcpSocket* socket = m_tcp.nextPendingConnection();
            socket->setParent(this);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { route(socket); });
        });
        connect(&m_ws, &QWebSocketServer::newConnection, this, [this] {
            peer = m_ws.nextPendingConnection();
            peer->setParent(this);
            connect(peer, &QWebSocket::textMessageReceived, peer, [p = peer](const QString& text) {
                const QJsonObject request = QJsonDocument::fromJson(text.toUtf8()).object();
                p->sendTextMessage(QString::fromUtf8(
                    json({{"id", request.value("id")},
                          {"result", QJsonObject{{"product", "Chrome/156.0.1"},
                                                 {"echo", request.value("method")}}}})));
            });
        });
    }
    quint16 port() const { return m_tcp.serverPort(); }

    bool listening = false;
    QWebSocket* peer = nullptr; // the latest WebSocket client
    int probes = 0;
    qint64 sent = 0;
    int dropped = 0; // probe connections that the client ended

private:
    void route(QTcpSocket* socket) {
        const QByteArray head = socket->peek(4096);
        if (!head.contains("\r\n\r\n"))
            return;
        socket->disconnect(this);
        if (!head.startsWith("GET /json/version")) {
            m_ws.handleConnection(socket);
            return;
        }
        socket->readAll();
        ++probes;
        connect(socket, &QTcpSocket::disconnected, this, [this] { ++dropped; });
        const QByteArray body = json({{"Browser", "Chrome/156.0.1"},
                                      {"webSocketDebuggerUrl", "ws://x/devtools/browser/fake"}});
        if (m_probe == Answer) {
            socket->write("HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) +
                          "\r\n\r\n" + body);
            return;
        }
        socket->write("HTTP/1.1 200 OK\r\n\r\n");
        auto* more = new QTimer(socket);
        connect(socket, &QTcpSocket::disconnected, more, &QTimer::stop);
        connect(more, &QTimer::timeout, socket, [this, socket] {
            if (socket->bytesToWrite() < 65536)
                sent += socket->write(QByteArray(m_probe == Endless ? 65536 : 1, ' '));
        });
        more->start(m_probe == Endless ? 0 : 20);
    }

    Probe m_probe;
    QTcpServer m_tcp;
    QWebSocketServer m_ws{QStringLiteral("fake browser"), QWebSocketServer::NonSecureMode};
};

// Writes `data` into a pipe while the transport reads it from the event loop, until all of it is
// in or the transport has closed.
void feed(int fd, const QByteArray& data, const DevToolsTransport& transport) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    qsizetype written = 0;
    while (written < data.size() && transport.isOpen()) {
        const ssize_t n =
            ::write(fd, data.constData() + written, static_cast<size_t>(data.size() - written));
        if (n > 0)
            written += n;
        else
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    }
}

} // namespace

class TestDevToolsClient : public QObject {
    Q_OBJECT

private slots:
    void requestsEventsAndMalformedMessages() {
        auto* transport = new ScriptedTransport;
        DevToolsClient client(transport);
        transport->open();
        QSignalSpy events(&client, &DevToolsClient::eventReceived);
        QStringList answers;
        const auto answer = [&](const QString& name) {
            return [&answers, name](const DevToolsReply& r) {
                answers << name + ":" + (r.ok ? r.result.value("v").toString() : r.error);
            };
        };
        const qint64 first = client.send("A.one", {{"x", 1}}, {}, nullptr, answer("one"));
        const qint64 second = client.send("A.two", {}, "S1", nullptr, answer("two"));
        QVERIFY(first > 0);
        QCOMPARE(second, first + 1);
        QCOMPARE(transport->sentObject(0).value("method").toString(), "A.one");
        QCOMPARE(transport->sentObject(0).value("params").toObject().value("x").toInt(), 1);
        QVERIFY(!transport->sentObject(0).contains("sessionId"));
        QCOMPARE(transport->sentObject(1).value("sessionId").toString(), "S1");
        // A callback whose context is gone is not run.
        auto* context = new QObject;
        const qint64 third = client.send("A.three", {}, {}, context, answer("three"));
        delete context;

        // Garbage is counted and disturbs nothing.
        for (const QByteArray& bad :
             {QByteArray("this is not json"), QByteArray("[1, 2, 3]"),
              QByteArray(R"({"id": "seven", "result": {}})"),
              QByteArray(R"({"id": 1.5, "result": {}})"), QByteArray(R"({"params": {}})"),
              "{\"id\":" + QByteArray(100000, '9')})
            transport->receive(bad);
        QCOMPARE(client.malformedMessages(), 6);
        QCOMPARE(client.pendingRequests(), 3);
        // Replies out of order still find their own request; an error gives the browser's text.
        transport->receive(
            json({{"id", second},
                  {"error", QJsonObject{{"code", -32000}, {"message", "Not attached"}}}}));
        transport->receive(json({{"id", third}, {"result", QJsonObject{}}}));
        transport->receive(json({{"id", first}, {"result", QJsonObject{{"v", "a"}}}}));
        QCOMPARE(answers, (QStringList{"two:Not attached", "one:a"}));
        QCOMPARE(client.pendingRequests(), 0);

        // Events go out with their session.
        transport->receive(json({{"method", "Target.targetCreated"}, {"params", QJsonObject{}}}));
        transport->receive(json({{"method", "Page.frameNavigated"},
                                 {"params", QJsonObject{{"frame", "F"}}},
                                 {"sessionId", "S7"}}));
        QCOMPARE(events.size(), 2);
        QCOMPARE(events.at(0).at(0).toString(), "Target.targetCreated");
        QCOMPARE(events.at(0).at(2).toString(), QString());
        QCOMPARE(events.at(1).at(0).toString(), "Page.frameNavigated");
        QCOMPARE(events.at(1).at(1).toJsonObject().value("frame").toString(), "F");
        QCOMPARE(events.at(1).at(2).toString(), "S7");
    }

    void timeoutsAndAClosedTransport_failEachRequestOnce() {
        auto* transport = new ScriptedTransport;
        DevToolsClient client(transport);
        transport->open();
        QStringList order;
        const qint64 slow = client.send(
            "Slow", {}, {}, nullptr,
            [&](const DevToolsReply& r) { order << (r.timedOut && !r.ok ? "slow" : "?"); }, 300);
        client.send(
            "Fast", {}, {}, nullptr,
            [&](const DevToolsReply& r) { order << (r.timedOut && !r.ok ? "fast" : "?"); }, 30);
        QTRY_COMPARE_WITH_TIMEOUT(order.size(), 2, 5000);
        QCOMPARE(order, (QStringList{"fast", "slow"}));                      // in deadline order
        transport->receive(json({{"id", slow}, {"result", QJsonObject{}}})); // too late
        QCOMPARE(order.size(), 2);
        QCOMPARE(client.strayReplies(), 1);

        QSignalSpy closed(&client, &DevToolsClient::closed);
        QStringList errors;
        for (int i = 0; i < 3; ++i)
            client.send("A.b", {}, {}, nullptr,
                        [&](const DevToolsReply& r) { errors << (r.ok ? "ok" : r.error); });
        transport->drop(QStringLiteral("browser gone"));
        QCOMPARE(errors.size(), 3);
        for (const QString& e : errors)
            QVERIFY2(e.contains("browser gone"), qPrintable(e));
        QCOMPARE(closed.size(), 1);
        QVERIFY(!client.isOpen());
        // Later requests fail from the event loop, without being sent.
        bool failedLater = false;
        QCOMPARE(client.send("A.c", {}, {}, nullptr,
                             [&](const DevToolsReply& r) { failedLater = !r.ok; }),
                 qint64(0));
        QVERIFY(!failedLater);
        QTRY_VERIFY(failedLater);
        QCOMPARE(transport->sent.size(), 5);
    }

    void pipeTransport_splitsOnNulAndSurvivesPartialWrites() {
        int toUs[2];
        int fromUs[2];
        QCOMPARE(::pipe2(toUs, O_CLOEXEC), 0);
        QCOMPARE(::pipe2(fromUs, O_CLOEXEC), 0);
        PipeTransport transport(toUs[0], fromUs[1]);
        QSignalSpy received(&transport, &DevToolsTransport::messageReceived);
        QSignalSpy closed(&transport, &DevToolsTransport::closed);
        QTRY_VERIFY(transport.isOpen());

        // Two messages, the second cut in the middle, then a large one.
        const QByteArray big = "{\"id\":3,\"result\":{\"v\":\"" + QByteArray(300000, 'x') + "\"}}";
        QCOMPARE(::write(toUs[1], "{\"id\":1}\0{\"id\"", 14), ssize_t(14));
        QTRY_COMPARE(received.size(), 1);
        QCOMPARE(received.at(0).at(0).toByteArray(), QByteArray("{\"id\":1}"));
        QCOMPARE(::write(toUs[1], ":2}\0", 4), ssize_t(4));
        QTRY_COMPARE(received.size(), 2);
        QCOMPARE(received.at(1).at(0).toByteArray(), QByteArray("{\"id\":2}"));
        feed(toUs[1], big + '\0', transport);
        QTRY_COMPARE(received.size(), 3);
        QCOMPARE(received.at(2).at(0).toByteArray(), big);

        // Our messages arrive NUL-terminated.
        transport.sendMessage("{\"id\":9}");
        char buffer[64] = {};
        const ssize_t got = ::read(fromUs[0], buffer, sizeof buffer);
        QCOMPARE(got, ssize_t(9));
        QCOMPARE(QByteArray(buffer, 9), QByteArray("{\"id\":9}\0", 9));

        // A message that never ends is dropped with the connection, even after a whole one.
        feed(toUs[1],
             "{}" + QByteArray(1, '\0') + QByteArray(PipeTransport::maxMessageSize + 1, 'x'),
             transport);
        QTRY_COMPARE(closed.size(), 1);
        QVERIFY(closed.at(0).at(0).toString().contains("oversized"));
        QCOMPARE(received.size(), 4);
        ::close(toUs[1]);
        ::close(fromUs[0]);

        // Writing to a browser that died (nobody reads) closes quietly, without SIGPIPE.
        QCOMPARE(::pipe2(toUs, O_CLOEXEC), 0);
        QCOMPARE(::pipe2(fromUs, O_CLOEXEC), 0);
        PipeTransport orphan(toUs[0], fromUs[1]);
        QSignalSpy orphanClosed(&orphan, &DevToolsTransport::closed);
        ::close(fromUs[0]);
        orphan.sendMessage("{\"id\":1}");
        QTRY_COMPARE(orphanClosed.size(), 1);
        ::close(toUs[1]);
    }

    void webSocketTransport_roundTripAndOversizedMessage() {
        FakeEndpoint fake(FakeEndpoint::Answer, QHostAddress::LocalHost);
        auto* transport = new WebSocketTransport;
        DevToolsClient client(transport);
        QSignalSpy opened(&client, &DevToolsClient::opened);
        QSignalSpy closed(&client, &DevToolsClient::closed);
        QSignalSpy received(transport, &DevToolsTransport::messageReceived);
        transport->open(
            QUrl(QStringLiteral("ws://127.0.0.1:%1/devtools/browser/x").arg(fake.port())));
        QTRY_COMPARE(opened.size(), 1);
        QString echo;
        client.send("Browser.getVersion", {}, {}, nullptr,
                    [&](const DevToolsReply& r) { echo = r.result.value("echo").toString(); });
        QTRY_COMPARE(echo, QStringLiteral("Browser.getVersion"));
        bool failed = false;
        client.send("Never.answered", {}, {}, nullptr,
                    [&](const DevToolsReply& r) { failed = !r.ok; });
        // A message past the limit ends the connection instead of being buffered whole.
        fake.peer->sendBinaryMessage(QByteArray(WebSocketTransport::maxMessageSize + 1, ' '));
        QTRY_COMPARE(closed.size(), 1);
        QVERIFY(failed);
        QCOMPARE(received.size(), 1);
    }

    void endpoint_acceptsLoopbackOnly() {
        QString error;
        auto e = DevToolsEndpoint::parse(QString(), &error);
        QVERIFY(e);
        QCOMPARE(e->display(), QStringLiteral("127.0.0.1:9222"));
        e = DevToolsEndpoint::parse(QStringLiteral("localhost:9333"), &error);
        QVERIFY(e);
        QCOMPARE(e->display(), QStringLiteral("127.0.0.1:9333"));
        e = DevToolsEndpoint::parse(QStringLiteral("[::1]:9444"), &error);
        QVERIFY(e);
        QCOMPARE(e->display(), QStringLiteral("[::1]:9444"));
        QCOMPARE(e->versionUrl().toString(), QStringLiteral("http://[::1]:9444/json/version"));
        e = DevToolsEndpoint::parse(QStringLiteral("http://127.0.0.2:9555/json/version"), &error);
        QVERIFY(e);
        QCOMPARE(e->port, quint16(9555));
        e = DevToolsEndpoint::parse(QStringLiteral(" ws://127.0.0.1:9666/devtools/browser/abc "),
                                    &error);
        QVERIFY(e);
        QCOMPARE(e->webSocketUrl("/devtools/browser/abc").toString(),
                 QStringLiteral("ws://127.0.0.1:9666/devtools/browser/abc"));

        // An address by name or none at all may be either loopback address.
        const auto displays = [](const QString& text) {
            QStringList shown;
            for (const DevToolsEndpoint& c : DevToolsEndpoint::candidates(text, nullptr))
                shown << c.display();
            return shown.join(' ');
        };
        QCOMPARE(displays(""), QStringLiteral("127.0.0.1:9222 [::1]:9222"));
        QCOMPARE(displays("LocalHost:9333"), QStringLiteral("127.0.0.1:9333 [::1]:9333"));
        QCOMPARE(displays("[::1]:9444"), QStringLiteral("[::1]:9444"));

        for (const char* foreign : {"example.com:9222", "192.168.1.5:9222", "0.0.0.0:9222",
                                    "http://10.0.0.1:9222", "[2001:db8::1]:9222"}) {
            error.clear();
            QVERIFY2(!DevToolsEndpoint::parse(QString::fromLatin1(foreign), &error), foreign);
            QVERIFY2(error.contains(QStringLiteral("refusing")), qPrintable(error));
        }
        error.clear();
        QVERIFY(!DevToolsEndpoint::parse(QStringLiteral("ftp://127.0.0.1:21"), &error));
        QVERIFY(!error.isEmpty());
    }

    void connector_refusesAForeignEndpointWithoutConnecting() {
        BrowserConnectionOptions options;
        options.endpoint = QStringLiteral("203.0.113.7:9222");
        BrowserConnector connector(options);
        QSignalSpy status(&connector, &BrowserConnector::statusChanged);
        connector.start();
        QCOMPARE(connector.state(), BrowserConnector::State::Refused);
        QVERIFY2(connector.status().contains(QStringLiteral("203.0.113.7")),
                 qPrintable(connector.status()));
        QVERIFY(connector.status().contains(QStringLiteral("only this computer")));
        QCOMPARE(status.size(), 1);
        QVERIFY(!connector.client());
    }

    void connector_withoutABrowserSaysSoAndKeepsTryingWithBackOff() {
        QTemporaryDir emptyPath;
        const QByteArray oldPath = qgetenv("PATH");
        qputenv("PATH", emptyPath.path().toLocal8Bit());
        BrowserConnectionOptions options;
        options.attach = false;
        options.firstRetryMs = 20;
        options.maxRetryMs = 80;
        options.profileFolder = emptyPath.path() + QStringLiteral("/profile");
        BrowserConnector connector(options);
        QSignalSpy status(&connector, &BrowserConnector::statusChanged);
        QSignalSpy states(&connector, &BrowserConnector::stateChanged);
        connector.start();
        QCOMPARE(connector.state(), BrowserConnector::State::Waiting);
        QCOMPARE(connector.status(),
                 QStringLiteral("No Chromium-family browser found; will try again"));
        // It tries again and again (each attempt goes Connecting, then Waiting), said only once.
        QTRY_VERIFY(states.size() >= 8);
        QCOMPARE(connector.retryDelayMs(), 80);
        QCOMPARE(connector.status(),
                 QStringLiteral("No Chromium-family browser found; will try again"));
        QCOMPARE(status.count(), 2); // "Looking…" once, then the verdict once
        qputenv("PATH", oldPath);
        options.executable = QStringLiteral("/nonexistent/chromium");
        BrowserConnector named(options);
        named.start();
        QCOMPARE(named.status(),
                 "Cannot find the browser \"/nonexistent/chromium\"; will try again");
    }

    void connector_probeIsBoundedInSizeAndTime_data() {
        QTest::addColumn<int>("probe");
        QTest::addColumn<int>("deadlineMs");
        // The size cap ends an endless answer long before its deadline would.
        QTest::newRow("endless body") << int(FakeEndpoint::Endless) << 600000;
        QTest::newRow("a byte at a time") << int(FakeEndpoint::Trickle) << 300;
    }

    void connector_probeIsBoundedInSizeAndTime() {
        QFETCH(int, probe);
        QFETCH(int, deadlineMs);
        FakeEndpoint fake(FakeEndpoint::Probe(probe), QHostAddress::LocalHost);
        QVERIFY(fake.listening);
        BrowserConnectionOptions options;
        options.endpoint = QStringLiteral("127.0.0.1:%1").arg(fake.port());
        options.probeDeadlineMs = deadlineMs;
        options.firstRetryMs = 50;
        BrowserConnector connector(options);
        connector.start();
        // Given up on, said so, and tried again.
        QTRY_VERIFY(fake.dropped >= 1 && fake.probes >= 2);
        QVERIFY2(fake.sent < 16 * VersionProbe::maxReplySize,
                 qPrintable(QString::number(fake.sent)));
        QCOMPARE(connector.status(), "Waiting for the browser at " + options.endpoint);
    }

    void connector_attachesOnlyToAListenerOfOurOwn_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<uint>("owner");
        QTest::addColumn<QString>("status");
        const uint us = ::geteuid();
        QTest::newRow("127.0.0.1")
            << "127.0.0.1" << us << "Guarding the browser at 127.0.0.1:%1 (version 156)";
        QTest::newRow("[::1] only")
            << "::1" << us << "Guarding the browser at [::1]:%1 (version 156)";
        QTest::newRow("another user's")
            << "127.0.0.1" << 65534u
            << "Refusing the browser at 127.0.0.1:%1: it belongs to another user";
    }

    void connector_attachesOnlyToAListenerOfOurOwn() {
        QFETCH(QString, address);
        QFETCH(uint, owner);
        QFETCH(QString, status);
        if (owner != ::geteuid() && ::geteuid() != 0)
            QSKIP("making another user's listener needs root");
        FakeEndpoint fake(FakeEndpoint::Answer, QHostAddress(address), owner);
        if (!fake.listening)
            QSKIP("this loopback address is not available here");
        BrowserConnectionOptions options;
        options.endpoint = QStringLiteral("localhost:%1").arg(fake.port());
        options.firstRetryMs = 50;
        BrowserConnector connector(options);
        connector.start();
        QTRY_COMPARE(connector.status(), status.arg(fake.port()));
        QCOMPARE(connector.client() != nullptr, owner == ::geteuid());
        QCOMPARE(fake.probes, owner == ::geteuid() ? 1 : 0); // not one byte to a stranger
    }

    void launchedBrowser_endsCleanlyAndClosedIsToldFromEnded_data() {
        QTest::addColumn<QString>("end");
        QTest::newRow("we exit") << "exit";
        QTest::newRow("its user closes it") << "close";
        QTest::newRow("SIGTERM") << "term";
    }

    void launchedBrowser_endsCleanlyAndClosedIsToldFromEnded() {
        QFETCH(QString, end);
        if (ChromiumProcess::executable().isEmpty())
            QSKIP("no Chromium-family browser here");
        QTemporaryDir profile;
        BrowserConnectionOptions options;
        options.attach = false;
        options.headless = true;
        options.executable = ChromiumProcess::executable();
        options.extraArguments = ChromiumProcess::quietArguments();
        options.profileFolder = profile.path();
        options.firstRetryMs = 50;
        auto connector = std::make_unique<BrowserConnector>(options);
        connector->start();
        QTRY_COMPARE_WITH_TIMEOUT(connector->state(), BrowserConnector::State::Connected, 60000);
        const qint64 pid = connector->browserProcessId();
        if (end == "exit") {
            connector->endLaunchedBrowser();
            QCOMPARE(::kill(static_cast<pid_t>(pid), 0), -1);
        } else if (end == "close") {
            connector->client()->send(QStringLiteral("Browser.close"));
            QTRY_COMPARE_WITH_TIMEOUT(connector->state(), BrowserConnector::State::Closed, 30000);
            QVERIFY(connector->status().startsWith("The browser was closed by the user"));
        } else {
            ::kill(static_cast<pid_t>(pid), SIGTERM);
            QTRY_COMPARE_WITH_TIMEOUT(connector->status(),
                                      "Lost the browser (it was ended, not closed by the user); "
                                      "trying again",
                                      30000);
            QTRY_COMPARE_WITH_TIMEOUT(connector->state(), BrowserConnector::State::Connected,
                                      60000);
            QVERIFY(connector->browserProcessId() != pid);
        }
        connector.reset();
        // The profile says it ended cleanly, so its next start offers no "Restore pages?".
        QFile preferences(profile.path() + "/Default/Preferences");
        QVERIFY(preferences.open(QIODevice::ReadOnly));
        const QJsonObject state = QJsonDocument::fromJson(preferences.readAll()).object();
        QCOMPARE(state.value("profile").toObject().value("exit_type").toString(), "Normal");
    }
};

PAGEWARDEN_TEST_MAIN(TestDevToolsClient, QCoreApplication)
#include "test_devtools_client.moc"
