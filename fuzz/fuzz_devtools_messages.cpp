// The browser's side of the DevTools connection is outside input: random, truncated and reordered
// protocol messages fed to the client and the page mirror never crash them, and the mirror stays
// consistent (every page it counts can be found).
//
// One message a line. A line {"reply":"Method", ...} answers the oldest request for that method
// (the id filled in, as the browser would), so seeds recorded from a real browser reach deep into
// the mirror; every other line is delivered as it stands, damaged or not.
#include "FuzzInput.h"
#include "platform/ChromiumPages.h"
#include "platform/devtools/DevToolsClient.h"
#include "platform/devtools/DevToolsTransport.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <deque>

namespace {

class FuzzTransport : public DevToolsTransport {
public:
    bool isOpen() const override { return m_open; }
    void sendMessage(const QByteArray& message) override {
        const QJsonObject sent = QJsonDocument::fromJson(message).object();
        m_sent.push_back(sent);
    }
    void close() override {
        if (!m_open)
            return;
        m_open = false;
        emit closed(QStringLiteral("closed"));
    }

    void deliver(const QByteArray& line) {
        const QJsonObject object = QJsonDocument::fromJson(line).object();
        const QString method = object.value(QStringLiteral("reply")).toString();
        if (method.isEmpty()) {
            emit messageReceived(line);
            return;
        }
        for (auto it = m_sent.begin(); it != m_sent.end(); ++it) {
            if (it->value(QStringLiteral("method")).toString() != method)
                continue;
            QJsonObject reply = object;
            reply.remove(QStringLiteral("reply"));
            reply.insert(QStringLiteral("id"), it->value(QStringLiteral("id")));
            m_sent.erase(it);
            emit messageReceived(QJsonDocument(reply).toJson(QJsonDocument::Compact));
            return;
        }
    }

private:
    bool m_open = true;
    std::deque<QJsonObject> m_sent;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static int argc = 1;
    static char name[] = "fuzz_devtools_messages";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);

    auto* transport = new FuzzTransport;
    DevToolsClient client(transport);
    ChromiumPages pages;
    pages.attach(&client);
    for (QByteArray line :
         QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size))
             .split('\n')) {
        line = line.trimmed();
        if (line.endsWith(','))
            line.chop(1);
        transport->deliver(line);
        for (WindowKey key : pages.keys())
            FUZZ_REQUIRE(pages.find(key) != nullptr);
        FUZZ_REQUIRE(pages.count() == pages.keys().size());
    }
    QCoreApplication::processEvents();
    pages.detach();
    return 0;
}
