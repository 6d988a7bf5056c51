#pragma once

#include "platform/devtools/DevToolsTransport.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <functional>
#include <optional>

// A DevTools conversation as a list of steps, recorded from Chromium 156 and played back to the
// adapter in milliseconds. A step is one of
//   {"event": method, "params": {...}, "sessionId": s}   an event the browser sent
//   {"reply": method, "sessionId": s, "result": {...}}   the answer to our request (or "error")
//   {"mark": name}                                       a point the test stops at
// Replies name the request they answer by its method and session, never by its id, so a script
// fits an adapter that numbers its requests differently.

// Plays a script to the client above it, and takes the browser's part in tests of the client.
class ReplayTransport : public DevToolsTransport {
    Q_OBJECT
public:
    explicit ReplayTransport(QJsonArray steps = {}) : m_steps(std::move(steps)) {}
    // A script from tests/data; empty (and a warning) when it cannot be read.
    static QJsonArray load(const QString& name);

    bool isOpen() const override { return m_open; }
    void sendMessage(const QByteArray& message) override;
    void close() override { drop(QStringLiteral("closed")); }
    // The browser sends these bytes, or goes away.
    void receive(const QByteArray& message) { emit messageReceived(message); }
    void drop(const QString& reason);

    // Plays on until the step after {"mark": name} (the end when empty). A reply whose request was
    // not asked is skipped.
    void playTo(const QString& mark = {});
    // Every request the client sent, in order: {id, method, sessionId, params, step}, where step
    // is how many steps had been played when it was sent.
    QList<QJsonObject> sent;
    QStringList sentMethods(const QString& sessionId = {}) const;
    // Answers requests that the script does not (a title read, say), from the event loop as a
    // browser would; nullopt leaves them waiting.
    std::function<std::optional<QJsonObject>(const QJsonObject& request)> responder;

private:
    QJsonArray m_steps;
    int m_next = 0;
    QList<QJsonObject> m_waiting; // asked and not yet answered
    bool m_open = true;
};
