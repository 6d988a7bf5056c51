// The extension route's framing and the bridge: the codec cuts any stream into whole messages,
// the bridge connects only to a socket of its own user, and the real program copies messages
// between a browser's pipes and the program's socket.
#include "bridge/SocketOwner.h"
#include "support/TestMain.h"
#include "wire/ConnectorSocket.h"
#include "wire/FrameCodec.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QtEndian>
#include <unistd.h>

using Wire::encodeFrame;
using Wire::kMaxFrameBytes;

namespace {
QByteArray header(quint32 length) {
    QByteArray bytes(4, Qt::Uninitialized);
    qToLittleEndian(length, bytes.data());
    return bytes;
}
const QByteArray kAbsent = R"({"present":false,"type":"program","v":1})";
const QByteArray kPresent = R"({"present":true,"type":"program","v":1})";
} // namespace

class TestBridge : public QObject {
    Q_OBJECT
private slots:
    void decoderCutsAnyStream_data() {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<int>("piece");
        QTest::addColumn<QByteArrayList>("frames");
        QTest::addColumn<bool>("ok");
        const QByteArray a = "{\"a\":1}", b = "[2]", big(kMaxFrameBytes, 'x');
        const QByteArray three = encodeFrame(a) + encodeFrame(b) + encodeFrame(a);
        QTest::newRow("coalesced") << three << 1000 << QByteArrayList{a, b, a} << true;
        QTest::newRow("a byte at a time") << three << 1 << QByteArrayList{a, b, a} << true;
        QTest::newRow("split in a length") << three << 6 << QByteArrayList{a, b, a} << true;
        QTest::newRow("empty input") << QByteArray() << 1 << QByteArrayList{} << true;
        QTest::newRow("empty frame skipped")
            << header(0) + encodeFrame(b) << 2 << QByteArrayList{b} << true;
        QTest::newRow("truncated") << encodeFrame(a).chopped(1) << 3 << QByteArrayList{} << true;
        QTest::newRow("exactly the cap")
            << encodeFrame(big) << 65536 << QByteArrayList{big} << true;
        QTest::newRow("over the cap")
            << encodeFrame(a) + header(kMaxFrameBytes + 1) + encodeFrame(b) << 1000
            << QByteArrayList{a} << false;
    }
    void decoderCutsAnyStream() {
        QFETCH(QByteArray, stream);
        QFETCH(int, piece);
        QFETCH(QByteArrayList, frames);
        QFETCH(bool, ok);
        Wire::FrameDecoder decoder;
        bool fed = true;
        for (qsizetype at = 0; at < stream.size(); at += piece)
            fed = decoder.feed(QByteArrayView(stream).sliced(at, qMin(piece, stream.size() - at)));
        QCOMPARE(fed, ok);
        QCOMPARE(decoder.takeFrames(), frames);
        QCOMPARE(decoder.overCap(), !ok);
        QVERIFY(encodeFrame(QByteArray(kMaxFrameBytes + 1, ' ')).isEmpty());
    }

    void connectsOnlyToOwnSocket() {
        const QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
        QLocalServer server;
        QVERIFY(server.listen(folder + "/own.socket"));
        const QString socket = server.fullServerName();
        QCOMPARE(socketOwner(socket, ::getuid()), SocketOwner::Ours);
        QCOMPARE(socketOwner(socket, ::getuid() + 1), SocketOwner::OtherUser);
        QCOMPARE(socketOwner(folder + "/none", ::getuid()), SocketOwner::Missing);
        QVERIFY(QFile::link(socket, folder + "/link.socket"));
        QCOMPARE(socketOwner(folder + "/link.socket", ::getuid()), SocketOwner::NotASocket);
        QFile file(folder + "/file.socket");
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(socketOwner(file.fileName(), ::getuid()), SocketOwner::NotASocket);
        if (::getuid() == 0) { // root can give the socket away, as another user's would be
            QCOMPARE(::chown(QFile::encodeName(socket).constData(), 4242, 4242), 0);
            QCOMPARE(socketOwner(socket, 0), SocketOwner::OtherUser);
        }
    }

    void relaysBetweenBrowserAndProgram() {
        const QString path = Wire::connectorSocketPath();
        QCOMPARE(path, qEnvironmentVariable("XDG_RUNTIME_DIR") + "/pagewarden-connector.socket");
        QProcess bridge;
        Wire::FrameDecoder toBrowser;
        QByteArrayList seen;
        connect(&bridge, &QProcess::readyReadStandardOutput, this, [&] {
            QVERIFY(toBrowser.feed(bridge.readAllStandardOutput()));
            seen += toBrowser.takeFrames();
        });
        bridge.start(PAGEWARDEN_BRIDGE, {"chrome-extension://test/"});
        QTRY_COMPARE(seen, QByteArrayList{kAbsent});
        bridge.write(encodeFrame(QByteArray("{\"dropped\":1}"))); // nobody to take it

        QLocalServer program;
        QVERIFY(program.listen(path));
        QTRY_COMPARE_WITH_TIMEOUT(seen, (QByteArrayList{kAbsent, kPresent}), 5000);
        QTRY_VERIFY(program.hasPendingConnections());
        QLocalSocket* fromBridge = program.nextPendingConnection();
        const QByteArray hello = R"({"v":1,"type":"hello"})", close = R"({"v":1,"type":"close"})";
        bridge.write(encodeFrame(hello));
        QTRY_COMPARE(fromBridge->bytesAvailable(), qint64(4 + hello.size()));
        QCOMPARE(fromBridge->readAll(), encodeFrame(hello));
        fromBridge->write(encodeFrame(close));
        QTRY_COMPARE(seen.size(), 3);
        QCOMPARE(seen.last(), close);

        // A message over the cap drops the connection; the bridge comes back by itself.
        fromBridge->write(header(kMaxFrameBytes + 1));
        QTRY_COMPARE(fromBridge->state(), QLocalSocket::UnconnectedState);
        QTRY_COMPARE_WITH_TIMEOUT(
            seen, (QByteArrayList{kAbsent, kPresent, close, kAbsent, kPresent}), 5000);
        QVERIFY(program.hasPendingConnections());

        bridge.closeWriteChannel(); // the browser is done with us
        QVERIFY(bridge.waitForFinished(5000));
        QCOMPARE(bridge.exitCode(), 0);

        // An oversized message from the browser ends the bridge.
        bridge.start(PAGEWARDEN_BRIDGE, {});
        bridge.write(header(kMaxFrameBytes + 1));
        QVERIFY(bridge.waitForFinished(5000));
        QCOMPARE(bridge.exitCode(), 1);
    }
};

PAGEWARDEN_TEST_MAIN(TestBridge, QCoreApplication)
#include "test_bridge.moc"
