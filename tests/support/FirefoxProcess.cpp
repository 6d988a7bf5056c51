#include "support/FirefoxProcess.h"

#include "platform/devtools/WebSocketTransport.h"

#include <QJsonArray>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>
#include <csignal>
#include <unistd.h>

QString FirefoxProcess::executable() {
    for (const char* name : {"firefox-esr", "firefox"})
        if (const QString path = QStandardPaths::findExecutable(name); !path.isEmpty())
            return path;
    return {};
}

bool FirefoxProcess::start(const QString& home) {
    stop();
    if (executable().isEmpty())
        return fail(QStringLiteral("no Firefox installed"));
    m_profile = std::make_unique<QTemporaryDir>(home + "/firefox-profile-XXXXXX");
    QFile prefs(m_profile->filePath("user.js"));
    if (!prefs.open(QIODevice::WriteOnly) ||
        prefs.write("user_pref(\"dom.disable_open_during_load\", true);\n"
                    "user_pref(\"browser.shell.checkDefaultBrowser\", false);\n"
                    "user_pref(\"datareporting.policy.dataSubmissionEnabled\", false);\n"
                    "user_pref(\"browser.aboutwelcome.enabled\", false);\n"
                    "user_pref(\"app.update.disabledForTesting\", true);\n") < 0)
        return fail(prefs.errorString());
    prefs.close();
    m_process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home);
    environment.insert("MOZ_HEADLESS", "1");
    m_process->setProcessEnvironment(environment);
    m_process->setProgram(executable());
    m_process->setArguments({"--headless", "--no-remote", "--profile", m_profile->path(),
                             "--remote-debugging-port", "0", "about:blank"});
    m_process->setStandardOutputFile(QProcess::nullDevice());
    m_process->setChildProcessModifier([] { ::setpgid(0, 0); }); // its helpers go with it
    m_process->start();
    // It tells where BiDi listens on its standard error.
    static const QRegularExpression listening(QStringLiteral("ws://[0-9.:]+"));
    QByteArray said;
    QString url;
    if (!QTest::qWaitFor(
            [&] {
                said += m_process->readAllStandardError();
                url = listening.match(QString::fromUtf8(said)).captured();
                return !url.isEmpty() || m_process->state() == QProcess::NotRunning;
            },
            60000) ||
        url.isEmpty())
        return fail(QStringLiteral("no WebDriver BiDi address: ") + QString::fromUtf8(said));
    auto* transport = new WebSocketTransport;
    m_client = std::make_unique<DevToolsClient>(transport);
    transport->open(QUrl(url + "/session"));
    if (!QTest::qWaitFor([&] { return m_client->isOpen(); }, 15000))
        return fail(QStringLiteral("could not connect to ") + url);
    // A busy machine may take a minute to answer the first command.
    return call("session.new", {{"capabilities", QJsonObject{}}}, 120000).contains("sessionId") ||
           fail(QStringLiteral("no BiDi session"));
}

void FirefoxProcess::stop() {
    m_client.reset();
    if (!m_process || m_process->state() == QProcess::NotRunning)
        return;
    const qint64 pid = m_process->processId();
    m_process->terminate();
    if (!m_process->waitForFinished(10000))
        m_process->kill();
    m_process->waitForFinished(5000);
    ::kill(static_cast<pid_t>(-pid), SIGKILL); // its content processes and the bridge it started
}

QJsonObject FirefoxProcess::call(const QString& method, const QJsonObject& params, int timeoutMs) {
    QJsonObject result;
    bool done = false;
    QObject waiting; // an answer after we gave up finds nobody
    if (m_client)
        m_client->send(
            method, params, {}, &waiting,
            [&](const DevToolsReply& reply) {
                result = reply.result;
                done = true;
            },
            timeoutMs);
    if (!QTest::qWaitFor([&] { return done; }, timeoutMs + 1000))
        qWarning() << method << "got no answer";
    return result;
}

QString FirefoxProcess::firstTab() {
    const QJsonArray contexts =
        call("browsingContext.getTree", {{"maxDepth", 0}}).value("contexts").toArray();
    return contexts.isEmpty() ? QString() : contexts.first()["context"].toString();
}

bool FirefoxProcess::show(const QString& context, const QString& url) {
    return call("browsingContext.navigate",
                {{"context", context}, {"url", url}, {"wait", "complete"}})
               .value("url")
               .toString() == url;
}

void FirefoxProcess::click(const QString& context, int x, int y, bool shift) {
    const QJsonObject pause{{"type", "pause"}};
    const QJsonArray steps{pause, QJsonObject{{"type", "pointerMove"}, {"x", x}, {"y", y}},
                           QJsonObject{{"type", "pointerDown"}, {"button", 0}},
                           QJsonObject{{"type", "pointerUp"}, {"button", 0}}, pause};
    const QJsonObject mouse{{"type", "pointer"},
                            {"id", "mouse"},
                            {"parameters", QJsonObject{{"pointerType", "mouse"}}},
                            {"actions", steps}};
    // The keyboard's ticks run beside the mouse's: Shift is held around the whole click.
    const QString key = shift ? QStringLiteral("\uE008") : QString();
    const QJsonObject keyboard{
        {"type", "key"},
        {"id", "keyboard"},
        {"actions", shift ? QJsonArray{QJsonObject{{"type", "keyDown"}, {"value", key}}, pause,
                                       pause, pause, QJsonObject{{"type", "keyUp"}, {"value", key}}}
                          : QJsonArray{pause, pause, pause, pause, pause}}};
    if (m_client)
        m_client->send("input.performActions",
                       {{"context", context}, {"actions", QJsonArray{keyboard, mouse}}});
}
