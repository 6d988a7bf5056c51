// The DevTools client, its transports and the connector that finds the browser, against scripted
// and fake browsers on pipes and loopback: whatever the other end does, the program goes on and
// answers.
#include "platform/devtools/BrowserConnector.h"
#include "platform/devtools/DevToolsClient.h"
#include "platform/devtools/Endpoint.h"
#include "platform/devtools/LaunchUser.h"
#include "platform/devtools/PipeTransport.h"
#include "platform/devtools/VersionProbe.h"
#include "platform/devtools/WebSocketTransport.h"
#include "support/ProtocolScript.h"
#include "support/TestMain.h"

#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QWebSocket>
#include <QWebSocketServer>
#include <fcntl.h>
#include <sys/fsuid.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

QByteArray json(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// A browser's DevTools endpoint on loopback, listening and accepting as `owner`: answers the
// version probe (properly, properly with its listener closed after each accept, with a body that
// never ends, or a byte at a time) and, while `answering`, every request over its WebSocket with
// the product and the method asked.
struct FakeEndpoint : QObject {
    enum Probe { Answer, Endless, Trickle, Hidden };
    FakeEndpoint(Probe how, const QHostAddress& address, uid_t owner = ::geteuid()) {
        // A socket belongs to the user it was made as; an accepted one to the user who accepted.
        const auto as = [owner](const auto& what) {
            const int previous = ::setfsuid(owner);
            const auto result = what();
            ::setfsuid(static_cast<uid_t>(previous));
            return result;
        };
        listening = as([&] { return tcp.listen(address, 0); });
        port = tcp.serverPort(); // kept: a hidden listener closes
        tcp.pauseAccepting();    // accepted here instead, as `owner`
        auto* incoming = new QSocketNotifier(tcp.socketDescriptor(), QSocketNotifier::Read, this);
        connect(incoming, &QSocketNotifier::activated, this, [this, how, as, incoming] {
            const int fd = as([this] { return ::accept(int(tcp.socketDescriptor()), nullptr, 0); });
            auto* s = new QTcpSocket(this);
            if (fd < 0 || !s->setSocketDescriptor(fd))
                return;
            if (how == Hidden) { // no listener left in the socket table
                incoming->setEnabled(false);
                tcp.close();
            }
            connect(s, &QTcpSocket::readyRead, this, [this, how, s] {
                const QByteArray head = s->peek(4096);
                if (!head.contains("\r\n\r\n"))
                    return;
                s->disconnect(this);
                if (!head.startsWith("GET /json/version"))
                    return ws.handleConnection(s);
                s->readAll();
                ++probes;
                connect(s, &QTcpSocket::disconnected, this, [this] { ++dropped; });
                const QByteArray body = R"({"Browser": "Chrome/156.0.1",
                    "webSocketDebuggerUrl": "ws://x/devtools/browser/fake"})";
                if (how == Answer || how == Hidden) {
                    s->write("HTTP/1.1 200 OK\r\nContent-Length: " +
                             QByteArray::number(body.size()) + "\r\n\r\n" + body);
                    return;
                }
                s->write("HTTP/1.1 200 OK\r\n\r\n"); // and a body that never ends
                auto* more = new QTimer(s);
                connect(s, &QTcpSocket::disconnected, more, &QTimer::stop);
                connect(more, &QTimer::timeout, s, [this, how, s] {
                    if (s->bytesToWrite() < 65536)
                        sent += s->write(QByteArray(how == Endless ? 65536 : 1, ' '));
                });
                more->start(how == Endless ? 0 : 20);
            });
        });
        connect(&ws, &QWebSocketServer::newConnection, this, [this] {
            QWebSocket* p = peer = ws.nextPendingConnection();
            p->setParent(this); // handed over without a parent
            connect(p, &QWebSocket::textMessageReceived, p, [this, p](const QString& text) {
                const QJsonObject r = QJsonDocument::fromJson(text.toUtf8()).object();
                const QJsonObject result{{"product", "Chrome/156.0.1"}, {"echo", r["method"]}};
                if (answering)
                    p->sendTextMessage(json({{"id", r["id"]}, {"result", result}}));
            });
        });
    }
    QTcpServer tcp;
    QWebSocketServer ws{QStringLiteral("fake browser"), QWebSocketServer::NonSecureMode};
    bool listening = false, answering = true;
    quint16 port = 0;
    QWebSocket* peer = nullptr;  // the latest WebSocket client
    int probes = 0, dropped = 0; // version probes, and those the client ended
    qint64 sent = 0;
};

// Whether `client` gets an answer to a request now.
bool answers(DevToolsClient* client) {
    auto echo = std::make_shared<QString>();
    if (!client)
        return false;
    client->send("Browser.getVersion", {}, {}, nullptr,
                 [echo](const DevToolsReply& r) { *echo = r.result.value("echo").toString(); });
    return QTest::qWaitFor([echo] { return *echo == "Browser.getVersion"; }, 30000);
}

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
    void client_repliesFindTheirRequest_eventsTheirSession_failuresComeOnce_garbageIsCounted() {
        auto* browser = new ReplayTransport;
        DevToolsClient client(browser);
        QSignalSpy events(&client, &DevToolsClient::eventReceived);
        QStringList told;
        const auto note = [&told](const QString& name) {
            return [&told, name](const DevToolsReply& r) {
                told << name + ":" +
                            (r.ok ? r.result.value("v").toString()
                                  : (r.timedOut ? QStringLiteral("timed out") : r.error));
            };
        };
        const qint64 first = client.send("A.one", {{"x", 1}}, {}, nullptr, note("one"));
        const qint64 second = client.send("A.two", {}, "S1", nullptr, note("two"));
        QCOMPARE(second, first + 1);
        QCOMPARE(browser->sent.at(0).value("params").toObject().value("x").toInt(), 1);
        QCOMPARE(browser->sentMethods("S1"), QStringList{"A.two"});
        // A callback whose context is gone is not run.
        auto* context = new QObject;
        const qint64 third = client.send("A.three", {}, {}, context, note("three"));
        delete context;

        // Garbage and replies with ids never sent are counted and disturb nothing.
        for (const QByteArray& bad :
             {QByteArray("this is not json"), QByteArray("[1, 2, 3]"), QByteArray("{\"id\":"),
              QByteArray(R"({"id": "seven", "result": {}})"),
              QByteArray(R"({"id": 1.5, "result": {}})"), QByteArray(R"({"params": {}})"),
              "{\"id\":" + QByteArray(100000, '9')})
            browser->receive(bad);
        browser->receive(json({{"id", third + 100}, {"result", QJsonObject{}}}));
        QCOMPARE(client.malformedMessages(), 7);
        QCOMPARE(client.strayReplies(), 1);
        QCOMPARE(client.pendingRequests(), 3);
        // Replies out of order still find their own request; an error gives the browser's text.
        browser->receive(
            json({{"id", second},
                  {"error", QJsonObject{{"code", -32000}, {"message", "Not attached"}}}}));
        browser->receive(json({{"id", third}, {"result", QJsonObject{}}}));
        browser->receive(json({{"id", first}, {"result", QJsonObject{{"v", "a"}}}}));
        QCOMPARE(told, (QStringList{"two:Not attached", "one:a"}));
        QCOMPARE(client.pendingRequests(), 0);

        browser->receive(json({{"method", "Target.targetCreated"}, {"params", QJsonObject{}}}));
        browser->receive(json({{"method", "Page.frameNavigated"},
                               {"params", QJsonObject{{"frame", "F"}}},
                               {"sessionId", "S7"}}));
        QCOMPARE(events.size(), 2);
        QCOMPARE(events.at(0).at(2).toString(), QString());
        QCOMPARE(events.at(1),
                 (QVariantList{"Page.frameNavigated", QJsonObject{{"frame", "F"}}, "S7"}));

        // A request never answered, or cut off by a lost connection, fails once.
        told.clear();
        const qint64 slow = client.send("Slow", {}, {}, nullptr, note("slow"), 300);
        client.send("Fast", {}, {}, nullptr, note("fast"), 30);
        QTRY_COMPARE_WITH_TIMEOUT(told.size(), 2, 5000);
        QCOMPARE(told, (QStringList{"fast:timed out", "slow:timed out"})); // in deadline order
        browser->receive(json({{"id", slow}, {"result", QJsonObject{}}})); // too late
        QCOMPARE(told.size(), 2);
        QCOMPARE(client.strayReplies(), 2);

        QSignalSpy closed(&client, &DevToolsClient::closed);
        told.clear();
        for (int i = 0; i < 3; ++i)
            client.send("A.b", {}, {}, nullptr, note("?"));
        browser->drop(QStringLiteral("browser gone"));
        QCOMPARE(told, QStringList(3, "?:connection lost: browser gone"));
        QCOMPARE(closed.size(), 1);
        // Later requests fail from the event loop, without being sent.
        QCOMPARE(client.send("A.c", {}, {}, nullptr, note("?")), qint64(0));
        QCOMPARE(told.size(), 3);
        QTRY_COMPARE(told.size(), 4);
        QCOMPARE(browser->sent.size(), 8);
    }

    void pipeTransport_splitsOnNulAndSurvivesPartialWritesHugeMessagesAndADeadBrowser() {
        int toUs[2];
        int fromUs[2];
        QVERIFY(::pipe2(toUs, O_CLOEXEC) == 0 && ::pipe2(fromUs, O_CLOEXEC) == 0);
        PipeTransport transport(toUs[0], fromUs[1]);
        QSignalSpy received(&transport, &DevToolsTransport::messageReceived);
        QSignalSpy closed(&transport, &DevToolsTransport::closed);
        QTRY_VERIFY(transport.isOpen());
        // Two messages, the second cut in the middle, then a large one.
        QCOMPARE(::write(toUs[1], "{\"id\":1}\0{\"id\"", 14), ssize_t(14));
        QTRY_COMPARE(received.size(), 1);
        QCOMPARE(::write(toUs[1], ":2}\0", 4), ssize_t(4));
        QTRY_COMPARE(received.size(), 2);
        QCOMPARE(received.at(1).at(0).toByteArray(), QByteArray("{\"id\":2}"));
        const QByteArray big = "{\"id\":3,\"result\":{\"v\":\"" + QByteArray(300000, 'x') + "\"}}";
        feed(toUs[1], big + '\0', transport);
        QTRY_COMPARE(received.size(), 3);
        QCOMPARE(received.at(2).at(0).toByteArray(), big);
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
        QVERIFY(::pipe2(toUs, O_CLOEXEC) == 0 && ::pipe2(fromUs, O_CLOEXEC) == 0);
        PipeTransport orphan(toUs[0], fromUs[1]);
        QSignalSpy orphanClosed(&orphan, &DevToolsTransport::closed);
        ::close(fromUs[0]);
        orphan.sendMessage("{\"id\":1}");
        QTRY_COMPARE(orphanClosed.size(), 1);
        ::close(toUs[1]);
    }

    void endpoint_loopbackOnly_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("tried"); // the addresses tried, or empty when refused
        for (const auto& [text, tried] :
             {std::pair{"", "127.0.0.1:9222 [::1]:9222"},
              {"LocalHost:9333", "127.0.0.1:9333 [::1]:9333"},
              {"[::1]:9444", "[::1]:9444"},
              {"http://127.0.0.2:9555/json/version", "127.0.0.2:9555"},
              {" ws://127.0.0.1:9666/devtools/browser/a ", "127.0.0.1:9666"}})
            QTest::newRow(text) << text << tried;
        for (const char* foreign :
             {"example.com:9222", "192.168.1.5:9222", "0.0.0.0:9222", "http://10.0.0.1:9222",
              "[2001:db8::1]:9222", "ftp://127.0.0.1:21"})
            QTest::newRow(foreign) << foreign << "";
    }

    void endpoint_loopbackOnly() {
        QFETCH(QString, text);
        QFETCH(QString, tried);
        QStringList shown;
        for (const DevToolsEndpoint& c : DevToolsEndpoint::candidates(text, nullptr))
            shown << c.display();
        QCOMPARE(shown.join(' '), tried);
        if (!tried.isEmpty())
            return;
        // A setting to fix, not a fault to retry: refused at once, and not one byte sent.
        BrowserConnectionOptions options;
        options.endpoint = text;
        BrowserConnector connector(options);
        QSignalSpy status(&connector, &BrowserConnector::statusChanged);
        connector.start();
        QCOMPARE(connector.state(), BrowserConnector::State::Refused);
        QCOMPARE(status.size(), 1);
        QVERIFY(!connector.client());
        const bool scheme = text.startsWith("ftp");
        QVERIFY2(connector.status().startsWith(scheme ? "\"" : "Refusing the browser at ") &&
                     (scheme || connector.status().contains("only this computer")),
                 qPrintable(connector.status()));
    }

    void connector_launchFailures_areSaidOnceAndTriedAgain_data() {
        QTest::addColumn<QString>("executable"); // a path, or a script's text
        QTest::addColumn<QString>("status");
        for (const auto& [executable, status] :
             {std::pair{"", "No Chromium-family browser found"},
              {"/nonexistent/chromium", "Cannot find the browser \"/nonexistent/chromium\""},
              {"exit 3", "Could not reach the browser (the browser exited (code 3))"},
              {"exec /bin/sleep 600",
               "Could not reach the browser (Browser.getVersion timed out)"}})
            QTest::newRow(*executable ? executable : "none on PATH")
                << QString(executable) << QString(status) + "; will try again";
    }

    void connector_launchFailures_areSaidOnceAndTriedAgain() {
        QFETCH(QString, executable);
        QFETCH(QString, status);
        QTemporaryDir folder;
        const QByteArray oldPath = qgetenv("PATH");
        qputenv("PATH", folder.path().toLocal8Bit());
        // Only a browser that never talks is given up on for its silence.
        BrowserConnectionOptions options;
        options.attach = false;
        options.firstRetryMs = 20;
        options.maxRetryMs = 80;
        options.launchTimeoutMs = executable.contains("sleep") ? 300 : 60000;
        options.profileFolder = folder.path() + QStringLiteral("/profile");
        options.executable = executable;
        if (!executable.isEmpty() && !executable.startsWith('/')) {
            QFile script(folder.path() + QStringLiteral("/browser"));
            QVERIFY(script.open(QIODevice::WriteOnly));
            script.write("#!/bin/sh\n" + executable.toUtf8() + "\n");
            script.setPermissions(script.permissions() | QFile::ExeOwner);
            options.executable = script.fileName();
        }
        BrowserConnector connector(options);
        QSignalSpy said(&connector, &BrowserConnector::statusChanged);
        QSignalSpy states(&connector, &BrowserConnector::stateChanged);
        connector.start();
        // Tried again and again (Connecting, then Waiting), said once.
        QTRY_VERIFY_WITH_TIMEOUT(states.size() >= 6, 30000);
        qputenv("PATH", oldPath);
        QCOMPARE(connector.status(), status);
        QCOMPARE(said.size(), 2); // "Looking…", then the verdict
        QCOMPARE(connector.retryDelayMs(), 80);
    }

    // Who a launched browser runs as and with which flags, for each way we may have been started
    // (as alice, or as root with SUDO_USER, SUDO_UID or PKEXEC_UID); a refusal is told on the
    // status line, and nothing is started.
    void launchPlan_data() {
        QTest::addColumn<QStringList>("facts"); // our user id, SUDO_USER, SUDO_UID, PKEXEC_UID
        QTest::addColumn<QString>("user");      // empty: as we run
        QTest::addColumn<QString>("note"); // "sandbox": --no-sandbox and its note; "(…)": refused
        const auto row = [](const char* name, QStringList facts, QString user, QString note) {
            QTest::newRow(name) << facts << user << note;
        };
        row("a user", {"1000", "", "", ""}, "", "");
        row("sudo", {"0", "alice", "1000", ""}, "alice", "as alice");
        row("sudo, its id only", {"0", "", "1000", ""}, "alice", "as alice");
        row("pkexec", {"0", "", "", "1000"}, "alice", "as alice");
        row("root login", {"0", "", "", ""}, "", "sandbox");
        row("sudo from root", {"0", "root", "0", ""}, "", "sandbox");
        row("nobody by that name", {"0", "pagewarden-ghost", "", ""}, "", "(pagewarden-ghost)");
        row("pkexec, not a number", {"0", "", "", "x"}, "", "(x)");
    }
    void launchPlan() {
        QFETCH(QStringList, facts);
        QFETCH(QString, user);
        QFETCH(QString, note);
        const QHash<QString, std::optional<LaunchAccount>> known{
            {"root", LaunchAccount{0, 0, "root", "/root"}},
            {"alice", LaunchAccount{1000, 1000, "alice", "/home/alice"}}};
        const AccountLookup accounts{
            [&](const QString& n) { return known.value(n); },
            [&](uid_t uid) {
                return known.value(uid == 0 ? "root" : uid == 1000 ? "alice" : "");
            }};
        const LaunchFacts given{facts[0].toUInt(), facts[1], facts[2], facts[3]};
        const LaunchPlan plan = planBrowserLaunch(given, accounts, "/ours");
        const bool refused = note.startsWith('('), bare = note == "sandbox";
        QCOMPARE(plan.launch, !refused);
        QCOMPARE(plan.user ? plan.user->name : QString(), user);
        QCOMPARE(plan.flags, bare ? QStringList{"--no-sandbox"} : QStringList{});
        QCOMPARE(plan.profileFolder,
                 user.isEmpty() ? "/ours" : "/home/alice/.local/share/pagewarden/browser-profile");
        if (refused)
            note = "No browser started: Pagewarden runs as root for \"" + note.mid(1).chopped(1) +
                   "\", who is not a user here. Start Pagewarden as your own user.";
        QCOMPARE(plan.note, bare ? "without its sandbox, since Pagewarden runs as root" : note);
        if (!refused)
            return; // launched through the connector by the end-to-end tests
        BrowserConnectionOptions options;
        options.attach = false;
        options.executable = "/bin/false";
        options.launchFacts = given;
        BrowserConnector connector(options);
        connector.start();
        QCOMPARE(connector.state(), BrowserConnector::State::Refused);
        QCOMPARE(connector.status(), note);
    }

    void connector_talksOnlyToOurOwnListener_neverWaitsForIt_andOutlivesItsFaults_data() {
        QTest::addColumn<int>("probe");
        QTest::addColumn<QString>("address");
        QTest::addColumn<uint>("owner");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("fault"); // then done by the endpoint
        QTest::addColumn<QString>("lost");  // why the connection was given up; empty: kept
        const uint us = ::geteuid();
        const auto row = [](const char* name, int probe, const char* address, uint owner,
                            QString status, const char* fault = "", const char* lost = "") {
            QTest::newRow(name) << probe << QString(address) << owner << status << QString(fault)
                                << QString(lost);
        };
        const QString guarding = "Guarding the browser at %2:%1 (version 156)";
        const QString stranger = "Refusing the browser at 127.0.0.1:%1: it belongs to another user";
        row("[::1] only", FakeEndpoint::Answer, "::1", us, guarding.arg("%1", "[::1]"));
        row("another user's", FakeEndpoint::Answer, "127.0.0.1", 65534u, stranger);
        row("another user's, hiding its listener", FakeEndpoint::Hidden, "127.0.0.1", 65534u,
            stranger);
        // The size cap ends an endless answer; the deadline one that trickles in.
        const QString waiting = "Waiting for the browser at 127.0.0.1:%1";
        row("endless body", FakeEndpoint::Endless, "127.0.0.1", us, waiting);
        row("a byte at a time", FakeEndpoint::Trickle, "127.0.0.1", us, waiting);
        const QString local = guarding.arg("%1", "127.0.0.1");
        row("garbage", FakeEndpoint::Answer, "127.0.0.1", us, local, "garbage");
        row("huge", FakeEndpoint::Answer, "127.0.0.1", us, local, "huge", "Lost the browser (");
        row("silent", FakeEndpoint::Answer, "127.0.0.1", us, local, "silent",
            "the browser stopped answering");
    }

    void connector_talksOnlyToOurOwnListener_neverWaitsForIt_andOutlivesItsFaults() {
        QFETCH(int, probe);
        QFETCH(QString, address);
        QFETCH(uint, owner);
        QFETCH(QString, status);
        QFETCH(QString, fault);
        QFETCH(QString, lost);
        if (owner != ::geteuid() && ::geteuid() != 0)
            QSKIP("making another user's listener needs root");
        FakeEndpoint fake(FakeEndpoint::Probe(probe), QHostAddress(address), owner);
        if (!fake.listening)
            QSKIP("this loopback address is not available here");
        BrowserConnectionOptions options;
        options.endpoint = QStringLiteral("%1:%2")
                               .arg(probe == FakeEndpoint::Answer ? "localhost" : address)
                               .arg(fake.port);
        options.probeDeadlineMs = probe == FakeEndpoint::Trickle ? 300 : 600000;
        options.firstRetryMs = 50;
        options.heartbeatMs = fault == "silent" ? 300 : 0; // no false alarm under load
        BrowserConnector connector(options);
        QSignalSpy disconnected(&connector, &BrowserConnector::disconnected);
        connect(&connector, &BrowserConnector::disconnected, this, [&] { fake.answering = true; });
        QStringList said;
        connect(&connector, &BrowserConnector::statusChanged, this,
                [&](const QString& text) { said << text; });
        connector.start();
        // Said at some point: a hidden listener is gone once refused, and waited for again.
        QTRY_VERIFY(said.contains(status.arg(fake.port)));
        const bool ours = owner == ::geteuid() && probe == FakeEndpoint::Answer;
        QCOMPARE(answers(connector.client()), ours);
        if (probe == FakeEndpoint::Answer || probe == FakeEndpoint::Hidden)
            QCOMPARE(fake.probes, ours ? 1 : 0); // not one byte to a stranger
        else // given up on, and tried again, without taking in more than the cap
            QTRY_VERIFY(fake.dropped >= 1 && fake.probes >= 2 &&
                        fake.sent < 16 * VersionProbe::maxReplySize);
        if (fault.isEmpty())
            return;
        DevToolsClient* first = connector.client();
        if (fault == "garbage") {
            for (const char* bad : {"{\"id\":", "[1,2]", "\xff\xfe", "{\"method\":7}",
                                    R"({"id":123456,"result":{}})", R"({"id":"1","result":{}})"})
                fake.peer->sendTextMessage(QString::fromLatin1(bad));
            QTRY_COMPARE(first->strayReplies() + first->malformedMessages(), 6);
        } else if (fault == "huge") {
            fake.peer->sendBinaryMessage(QByteArray(WebSocketTransport::maxMessageSize + 1, ' '));
        } else {
            fake.answering = false;
        }
        if (!lost.isEmpty()) {
            QTRY_COMPARE_WITH_TIMEOUT(disconnected.size(), 1, 30000);
            QVERIFY2(connector.status().contains(lost), qPrintable(connector.status()));
            QTRY_VERIFY_WITH_TIMEOUT(connector.client() && connector.client() != first, 30000);
        }
        QCOMPARE(connector.state(), BrowserConnector::State::Connected);
        QVERIFY(answers(connector.client()));
    }
};

PAGEWARDEN_TEST_MAIN(TestDevToolsClient, QCoreApplication)
#include "test_devtools_client.moc"
