// What the DevTools client costs with many requests waiting at once, as when a browser announces
// thousands of pages and each gets a few requests of its own.
//
//   bench_devtools_client
//
// For 1 000, 10 000 and 30 000 requests: the time to send them all (each with its own timeout),
// then to answer them all in the reverse order, over a transport that goes nowhere.
#include "platform/devtools/DevToolsClient.h"
#include "platform/devtools/DevToolsTransport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>

namespace {

class NullTransport : public DevToolsTransport {
public:
    bool isOpen() const override { return true; }
    void sendMessage(const QByteArray&) override {}
    void close() override {}
    void receive(const QByteArray& message) { emit messageReceived(message); }
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::printf("%10s %12s %12s\n", "requests", "send ms", "answer ms");
    for (const int n : {1000, 10000, 30000}) {
        auto* transport = new NullTransport;
        DevToolsClient client(transport);
        int answered = 0;
        QList<qint64> ids;
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < n; ++i) {
            // Later requests with shorter timeouts, so that the earliest deadline keeps moving.
            ids << client.send(
                QStringLiteral("Runtime.evaluate"), {}, QStringLiteral("S"), nullptr,
                [&answered](const DevToolsReply&) { ++answered; }, 600000 - i);
        }
        const qint64 sendMs = timer.restart();
        for (auto it = ids.crbegin(); it != ids.crend(); ++it)
            transport->receive(QJsonDocument(QJsonObject{{QStringLiteral("id"), *it},
                                                         {QStringLiteral("result"), QJsonObject{}}})
                                   .toJson(QJsonDocument::Compact));
        const qint64 answerMs = timer.elapsed();
        std::printf("%10d %12lld %12lld%s\n", n, static_cast<long long>(sendMs),
                    static_cast<long long>(answerMs), answered == n ? "" : "  (answers missing)");
    }
    return 0;
}
