#include "support/LocalHttpServer.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>

LocalHttpServer::LocalHttpServer(QObject* parent) : QObject(parent) {
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

bool LocalHttpServer::start() {
    return m_server.listen(QHostAddress::LocalHost, 0);
}

void LocalHttpServer::setPage(const QString& path, const QByteArray& body,
                              const QByteArray& contentType) {
    m_pages.insert(path, Page{body, contentType});
}

void LocalHttpServer::setRedirect(const QString& path, const QByteArray& location) {
    m_pages.insert(path, Page{QByteArray(), "text/plain", location});
}

void LocalHttpServer::setHtml(const QString& path, const QString& title, const QString& bodyMarkup,
                              const QString& headMarkup) {
    const QString html = QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\">"
                                        "<title>%1</title>%2</head><body>%3</body></html>")
                             .arg(title.toHtmlEscaped(), headMarkup, bodyMarkup);
    setPage(path, html.toUtf8());
}

void LocalHttpServer::serve(QTcpSocket* socket) {
    const QByteArray request = socket->peek(65536);
    if (!request.contains("\r\n\r\n"))
        return; // the headers are not complete yet
    socket->disconnect(this);
    const QByteArray target = request.left(request.indexOf("\r\n")).split(' ').value(1);
    const QString path = QString::fromLatin1(target).section(QLatin1Char('?'), 0, 0);
    ++m_hits[path];
    emit requested(path);
    const Page page = m_pages.value(
        path, Page{"<!DOCTYPE html><title>Not found</title>", "text/html", {}, "404 Not Found"});
    const QByteArray status =
        page.location.isEmpty() ? page.status : "302 Found\r\nLocation: " + page.location;
    const QByteArray response = "HTTP/1.1 " + status + "\r\nContent-Type: " + page.contentType +
                                "\r\nContent-Length: " + QByteArray::number(page.body.size()) +
                                "\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n" +
                                page.body;
    const auto answer = [socket, response] {
        socket->write(response);
        socket->disconnectFromHost();
    };
    if (const int delay = m_delays.value(path); delay > 0)
        QTimer::singleShot(delay, socket, answer);
    else
        answer();
}
