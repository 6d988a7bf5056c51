#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QTcpServer>

// A very small HTTP/1.1 server on 127.0.0.1 for the browser tests: fixed pages by path, no
// caching, one request per connection. It counts the requests for each path so that a test can
// see a reload reach the server.
class LocalHttpServer : public QObject {
    Q_OBJECT
public:
    explicit LocalHttpServer(QObject* parent = nullptr);

    // Listens on a free port of 127.0.0.1. False when that fails.
    bool start();
    quint16 port() const { return m_server.serverPort(); }
    // http://127.0.0.1:<port><path>
    QString url(const QString& path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(path);
    }

    // Serves `body` with `contentType` for `path` (the query string is ignored when matching).
    void setPage(const QString& path, const QByteArray& body,
                 const QByteArray& contentType = "text/html; charset=utf-8");
    // An HTML page with this title and body markup.
    void setHtml(const QString& path, const QString& title, const QString& bodyMarkup,
                 const QString& headMarkup = {});

    // Answers `path` with a redirect (302 Found) to `location`.
    void setRedirect(const QString& path, const QByteArray& location);

    int requestCount(const QString& path) const { return m_hits.value(path); }
    // Answers requests for `path` only after `ms` milliseconds, as a slow server would.
    void setDelay(const QString& path, int ms) { m_delays.insert(path, ms); }

signals:
    // A request for `path` has come in (sent before it is answered).
    void requested(const QString& path);

private:
    void serve(QTcpSocket* socket);

    struct Page {
        QByteArray body;
        QByteArray contentType;
        QByteArray location = {}; // a redirect when set
        QByteArray status = "200 OK";
    };
    QTcpServer m_server;
    QHash<QString, Page> m_pages;
    QHash<QString, int> m_hits;
    QHash<QString, int> m_delays;
};
