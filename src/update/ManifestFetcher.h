#pragma once

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <functional>

class Clock;
class QNetworkReply;

// Fetches one small text file over HTTP in the background, so the window keeps answering while
// the vendor's site takes its time.
class ManifestFetcher {
public:
    // `ok` is false when nothing usable came: no connection, a server error, a timeout or a
    // cancelled transfer.
    using Done = std::function<void(bool ok, const QByteArray& body)>;
    // Asked at each change of the transfer; true cancels it, which makes the fetch fail.
    using Cancelled = std::function<bool()>;

    virtual ~ManifestFetcher() = default;

    // Starts the fetch; `done` runs exactly once, always later than this call returns.
    virtual void fetch(const QUrl& address, Cancelled cancelled, Done done) = 0;
};

// The fetch on Qt's network access: at most `maxBytes` of the body are kept (the rest is never
// read), it gives up after `timeoutMs` of program time, and it follows redirects only to http and
// https addresses.
class NetworkManifestFetcher : public QObject, public ManifestFetcher {
    Q_OBJECT
public:
    static constexpr qint64 maxBytes = 64 * 1024;
    static constexpr int timeoutMs = 30000;

    explicit NetworkManifestFetcher(const Clock& clock, QObject* parent = nullptr);
    ~NetworkManifestFetcher() override;

    void fetch(const QUrl& address, Cancelled cancelled, Done done) override;

private:
    void inspect();
    void readSome();
    void finish(bool ok);

    const Clock& m_clock;
    QNetworkAccessManager m_network;
    QPointer<QNetworkReply> m_reply;
    QTimer m_deadline;
    QTimer m_watch;
    QByteArray m_body;
    Cancelled m_cancelled;
    Done m_done;
};
