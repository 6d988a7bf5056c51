// The browser mirror fed with conversations recorded from a real Chromium (tests/data): what a
// window reports from its first moment, and what closing it does, in milliseconds.
#include "platform/ChromiumNavigation.h"
#include "platform/ChromiumPages.h"
#include "platform/devtools/DevToolsClient.h"
#include "support/ProtocolScript.h"
#include "support/TestMain.h"

#include <algorithm>
#include <memory>

class TestChromiumPages : public QObject {
    Q_OBJECT

private:
    ReplayTransport* m_script = nullptr;
    std::unique_ptr<DevToolsClient> m_client;
    std::unique_ptr<ChromiumPages> m_pages;

    void play(const QString& name) {
        cleanup();
        m_script = new ReplayTransport(ReplayTransport::load(name));
        m_client = std::make_unique<DevToolsClient>(m_script);
        m_pages = std::make_unique<ChromiumPages>();
        m_pages->setTitleTimeout(5000); // the replay answers at once; nothing may wait for it
        m_pages->attach(m_client.get());
    }

    // What the passes read of a page: "<opener><menu bar><HTML document> <address shown>".
    static QString facts(const ChromiumPage* p) {
        return QString::number(p->opener) + QString::number(p->menuBar) +
               QString::number(p->isHtml()) + ' ' + p->shownAddress();
    }

    // The page answers a title read with this document.
    void documentIs(const QString& title, const QString& url) {
        const QJsonObject read{
            {"result",
             QJsonObject{{"type", "object"}, {"value", QJsonArray{title, "text/html", url}}}}};
        m_script->responder = [read](const QJsonObject& r) -> std::optional<QJsonObject> {
            return r.value("method") == "Runtime.evaluate" ? std::optional(read) : std::nullopt;
        };
    }

private slots:
    void cleanup() {
        m_pages.reset();
        m_client.reset();
    }

    void newWindows_fromTheirFirstMomentToTheirClose() {
        play("new_windows.json");
        m_script->playTo("attached");
        QCOMPARE(m_pages->count(), 1);
        const WindowKey tab = m_pages->keys().first();
        const ChromiumPage& opener = *m_pages->find(tab);
        const QString base = QStringLiteral("http://127.0.0.1:36829");
        QCOMPARE(facts(&opener), "011 " + base + "/links.html");
        // A page that never answers (a script that never returns, a frozen browser) is waited
        // for once: the last reading serves.
        m_pages->setTitleTimeout(20);
        QCOMPARE(m_pages->readTitle(tab), QString("Links"));
        const qsizetype asked = m_script->sentMethods(opener.sessionId).count("Runtime.evaluate");
        QCOMPARE(m_pages->readTitle(tab), QString("Links"));
        QCOMPARE(m_script->sentMethods(opener.sessionId).count("Runtime.evaluate"), asked);
        m_pages->setTitleTimeout(5000);

        QSignalSpy counts(m_pages.get(), &ChromiumPages::countChanged);
        m_script->playTo("popup");
        QCOMPARE(counts.size(), 1);
        const WindowKey popup = m_pages->keys().last();
        const ChromiumPage* p = m_pages->find(popup);
        // Judged at once, on its initial about:blank, yet named by what it was opened for.
        QCOMPARE(facts(p), "101 " + base + "/slow.html");
        QVERIFY(p->handle != opener.handle);
        // Resumed right behind the one reading, not after its answer: held no longer than the
        // reading, and never left held if we die meanwhile.
        const auto firstStep = [this](const QString& method, const QString& session) {
            for (const QJsonObject& request : m_script->sent) {
                if (request.value("sessionId") == session && request.value("method") == method)
                    return request.value("step").toInt();
            }
            return -1;
        };
        const int read = firstStep("Runtime.evaluate", p->sessionId);
        QVERIFY(read >= 0);
        QCOMPARE(firstStep("Runtime.runIfWaitingForDebugger", p->sessionId), read);
        // The title is read when asked; the document on show is not the one it was opened for.
        documentIs("A title of the empty page", "about:blank");
        QCOMPARE(m_pages->readTitle(popup), QString());
        QCOMPARE(m_pages->find(popup)->shownAddress(), base + "/slow.html");

        m_script->responder = {};
        m_script->playTo("loaded");
        // The menu bar was fixed at creation, though the page has navigated since.
        QCOMPARE(facts(m_pages->find(popup)), "101 " + base + "/slow.html");
        documentIs("Slow Ad", base + "/slow.html");
        QCOMPARE(m_pages->readTitle(popup), QString("Slow Ad"));
        documentIs("Retitled by a script", base + "/slow.html");
        QCOMPARE(m_pages->readTitle(popup), QString("Retitled by a script"));
        m_script->responder = {};

        // A window being closed is gone from every later pass at once, though the browser
        // destroys it a moment later, and its destruction is no second change.
        QVERIFY(m_pages->close(popup));
        QCOMPARE(m_pages->keys(), QList<WindowKey>{tab});
        QVERIFY(!m_pages->close(popup));
        QCOMPARE(counts.size(), 2);
        m_script->playTo("closed");
        QCOMPARE(m_pages->keys(), QList<WindowKey>{tab});
        QCOMPARE(counts.size(), 2);

        m_script->playTo("noopener");
        // No script can reach it, so it is resumed unread; yet a page opened it (a popup all the
        // same), and its features ask for no menu bar.
        const ChromiumPage* noopener = m_pages->find(m_pages->keys().last());
        QCOMPARE(facts(noopener), "101 " + base + "/popup.html");
        QVERIFY(
            m_script->sentMethods(noopener->sessionId).contains("Runtime.runIfWaitingForDebugger"));
        const WindowKey closed = noopener->key;
        QVERIFY(m_pages->close(closed));
        m_script->playTo("tab");
        // A tab opened by a link: a window of the user's with its menu bar, in the same window.
        const ChromiumPage* linked = m_pages->find(m_pages->keys().last());
        QVERIFY(linked->key > closed); // keys are never used again
        QCOMPARE(facts(linked), "111 " + base + "/tab.html");
        QCOMPARE(linked->handle, m_pages->find(tab)->handle);
        QVERIFY(m_pages->close(linked->key));

        // A reload right after a navigation (as the redirect sends both) waits for its commit:
        // the browser refuses one before it.
        QVERIFY(m_pages->navigation().navigate(*m_pages->find(tab), base + "/plain.txt"));
        QVERIFY(m_pages->navigation().refresh(*m_pages->find(tab)));
        const QJsonArray steps = ReplayTransport::load("new_windows.json");
        const auto commit = std::find_if(steps.begin(), steps.end(), [](const QJsonValue& step) {
            return step["params"]["frame"]["mimeType"] == "text/plain";
        });
        m_script->playTo("text");
        QCOMPARE(m_script->sentMethods().count("Page.reload"), 1);
        QVERIFY(firstStep("Page.reload", m_pages->find(tab)->sessionId) > commit - steps.begin());
        // Documents of every kind.
        QCOMPARE(facts(m_pages->find(tab)), "010 " + base + "/plain.txt");
        m_script->playTo("navigated");
        QCOMPARE(facts(m_pages->find(tab)), "011 " + base + "/opener.html");
        QVERIFY(!m_pages->find(tab)->navigationPending);
        m_script->playTo("crashed");
        QVERIFY(!m_pages->find(tab)->isHtml());
        QCOMPARE(m_pages->count(), 1); // a crashed tab stays open

        // A lost connection empties the mirror.
        counts.clear();
        m_pages->detach();
        QCOMPARE(m_pages->count(), 0);
        QCOMPARE(counts.size(), 1);
        QVERIFY(!m_pages->isAttached());

        // A page navigated while we attach: its facts were read from the page it left; the
        // browser told where it went meanwhile.
        play("navigated_while_attaching.json");
        m_script->playTo("settled");
        QCOMPARE(m_pages->count(), 1);
        const ChromiumPage& moved = *m_pages->find(m_pages->keys().first());
        QCOMPARE(facts(&moved), "011 " + base + "/tab.html");
        QCOMPARE(moved.documentUrl, base + "/tab.html");
        QCOMPARE(moved.documentTitle, "A Tab");
    }

    void browserWithThirtyThousandPages_isMirroredWholeAndEveryPageResumed() {
        // Every page announced at once, held and waiting for us, as in a burst from the pipe: tens
        // of thousands of requests wait for their answers together.
        const int pages = 30000;
        QJsonArray steps;
        for (int i = 0; i < pages; ++i) {
            const QString id = QStringLiteral("T%1").arg(i);
            const QJsonObject info{{"targetId", id},
                                   {"type", "page"},
                                   {"url", ""},
                                   {"canAccessOpener", true},
                                   {"openerId", "T0"}};
            steps.append(QJsonObject{{"event", "Target.targetCreated"},
                                     {"params", QJsonObject{{"targetInfo", info}}}});
            steps.append(QJsonObject{{"event", "Target.attachedToTarget"},
                                     {"params", QJsonObject{{"sessionId", "S" + id},
                                                            {"targetInfo", info},
                                                            {"waitingForDebugger", true}}}});
        }
        const QJsonObject answer{
            {"targetInfo", QJsonObject{{"targetId", "B"}, {"type", "browser"}}},
            {"windowId", 7},
            {"result",
             QJsonObject{{"type", "object"},
                         {"value", QJsonArray{false, true, "", "text/html", "about:blank"}}}}};
        m_script = new ReplayTransport(steps);
        m_client = std::make_unique<DevToolsClient>(m_script);
        m_pages = std::make_unique<ChromiumPages>();
        m_script->responder = [answer](const QJsonObject&) { return answer; };
        QString refused;
        m_pages->attach(m_client.get(), [&refused](const QString& why) { refused = why; });
        m_script->playTo(); // the answers come from the event loop, after every question
        QVERIFY(m_client->pendingRequests() > 4 * pages);
        QTRY_COMPARE_WITH_TIMEOUT(m_pages->count(), pages, 60000);
        // Read before it timed out: a refusal would cost the connection.
        QCOMPARE(refused, QString());
        QCOMPARE(m_script->sentMethods().count("Runtime.runIfWaitingForDebugger"), pages);
        QCOMPARE(m_pages->find(m_pages->keys().last())->menuBar, false);
    }
};

PAGEWARDEN_TEST_MAIN(TestChromiumPages, QCoreApplication)
#include "test_chromium_pages.moc"
