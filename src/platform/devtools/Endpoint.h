#pragma once

#include <QList>
#include <QString>
#include <QUrl>
#include <optional>

// Where an already running browser listens for DevTools connections. A DevTools endpoint gives
// full control of the browser and has no authentication, so only loopback addresses are ever
// accepted: anything else is refused before a single byte is sent.
struct DevToolsEndpoint {
    QString host; // a loopback address literal: 127.x.y.z or ::1
    quint16 port = 0;

    // "127.0.0.1:9222", "[::1]:9222"
    QString display() const;
    // http://host:port/json/version
    QUrl versionUrl() const;
    // The browser's WebSocket address with our host and port put in, whatever the browser said.
    QUrl webSocketUrl(const QString& browserPath) const;

    // Reads "host:port", "http://host:port/...", "ws://host:port/..." or "localhost:port". An
    // empty text gives the usual 127.0.0.1:9222. Gives std::nullopt with `error` set when the text
    // is not an address or names a host that is not loopback.
    static std::optional<DevToolsEndpoint> parse(const QString& text, QString* error);

    // The addresses to try for `text`, in order. Chromium started with only a port may listen on
    // [::1] alone, so an empty text and "localhost" give both 127.0.0.1 and [::1]. Empty with
    // `error` set where parse() refuses.
    static QList<DevToolsEndpoint> candidates(const QString& text, QString* error);

    static constexpr quint16 defaultPort = 9222;
};

// True for 127.0.0.0/8, ::1 and "localhost".
bool isLoopbackHost(const QString& host);
