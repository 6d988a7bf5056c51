#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

// A real Chromium for the browser tests, started on a loopback DevTools port with a throw-away
// profile and stopped (killed, if need be) when the object goes, also when a test fails.
class ChromiumProcess {
public:
    ~ChromiumProcess() { stop(); }

    // No sandbox (we run as root), no GPU, nothing that talks to the network on its own, and
    // headless (unless PAGEWARDEN_E2E_HEADFUL is set and there is a DISPLAY).
    static QStringList quietArguments();
    // The browser the tests use; empty when there is none.
    static QString executable();

    // Starts the browser on `port` (0 = any free port) and waits until its endpoint answers.
    bool start(const QStringList& extraArguments = {}, quint16 port = 0);
    // Ends it with SIGKILL, as a crash would.
    void kill() { end(false); }
    // Ends it properly (SIGTERM, then SIGKILL).
    void stop() { end(true); }

    quint16 port() const { return m_port; }
    // The throw-away profile (--user-data-dir), made on first use; it lives as long as this.
    QString profile();
    QString endpoint() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }
    QString lastError() const { return m_error; }

private:
    bool fail(const QString& why);
    void end(bool politely);

    std::unique_ptr<QTemporaryDir> m_profile;
    std::unique_ptr<QProcess> m_process;
    quint16 m_port = 0;
    QString m_error;
};
