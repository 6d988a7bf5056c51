#include "platform/devtools/Endpoint.h"

#include <QHostAddress>

bool isLoopbackHost(const QString& host) {
    QString h = host.trimmed();
    if (h.startsWith(QLatin1Char('[')) && h.endsWith(QLatin1Char(']')))
        h = h.mid(1, h.size() - 2);
    if (h.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    QHostAddress address;
    if (!address.setAddress(h))
        return false; // a name we would have to resolve: not accepted
    return address.isLoopback();
}

QString DevToolsEndpoint::display() const {
    if (host.contains(QLatin1Char(':')))
        return QStringLiteral("[%1]:%2").arg(host).arg(port);
    return QStringLiteral("%1:%2").arg(host).arg(port);
}

QUrl DevToolsEndpoint::versionUrl() const {
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(host);
    url.setPort(port);
    url.setPath(QStringLiteral("/json/version"));
    return url;
}

QUrl DevToolsEndpoint::webSocketUrl(const QString& browserPath) const {
    QUrl url;
    url.setScheme(QStringLiteral("ws"));
    url.setHost(host);
    url.setPort(port);
    url.setPath(browserPath);
    return url;
}

std::optional<DevToolsEndpoint> DevToolsEndpoint::parse(const QString& text, QString* error) {
    const QString trimmed = text.trimmed();
    DevToolsEndpoint endpoint;
    if (trimmed.isEmpty()) {
        endpoint.host = QStringLiteral("127.0.0.1");
        endpoint.port = defaultPort;
        return endpoint;
    }
    QUrl url = QUrl(trimmed.contains(QLatin1String("://")) ? trimmed
                                                           : QStringLiteral("http://") + trimmed);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("ws"))) {
        if (error)
            *error = QStringLiteral("\"%1\" is not a browser address").arg(trimmed);
        return std::nullopt;
    }
    if (!isLoopbackHost(url.host())) {
        if (error)
            *error = QStringLiteral("refusing the browser at %1: only this computer's own "
                                    "addresses (127.0.0.1, ::1) are allowed")
                         .arg(url.host());
        return std::nullopt;
    }
    endpoint.host = url.host().compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0
                        ? QStringLiteral("127.0.0.1")
                        : url.host();
    const int port = url.port(defaultPort);
    if (port <= 0 || port > 65535) {
        if (error)
            *error = QStringLiteral("\"%1\" has no usable port").arg(trimmed);
        return std::nullopt;
    }
    endpoint.port = static_cast<quint16>(port);
    return endpoint;
}

QList<DevToolsEndpoint> DevToolsEndpoint::candidates(const QString& text, QString* error) {
    const auto first = parse(text, error);
    if (!first)
        return {};
    const QString trimmed = text.trimmed();
    const QUrl url(trimmed.contains(QLatin1String("://")) ? trimmed
                                                          : QStringLiteral("http://") + trimmed);
    if (!trimmed.isEmpty() &&
        url.host().compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0)
        return {*first};
    return {*first, DevToolsEndpoint{QStringLiteral("::1"), first->port}};
}
