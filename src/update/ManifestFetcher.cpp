#include "update/ManifestFetcher.h"

#include "platform/Clock.h"
#include "update/UpdateLogging.h"

#include <QNetworkReply>
#include <QNetworkRequest>

Q_LOGGING_CATEGORY(lcUpdate, "pagewarden.update", QtWarningMsg)

namespace {
// How often a waiting transfer looks at the cancel question when the server is silent.
constexpr int watchIntervalMs = 100;
constexpr int maxRedirects = 5;

bool isWebScheme(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}
} // namespace

NetworkManifestFetcher::NetworkManifestFetcher(const Clock& clock, QObject* parent)
    : QObject(parent), m_clock(clock) {
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        qCInfo(lcUpdate) << "the manifest did not arrive in time";
        finish(false);
    });
    connect(&m_watch, &QTimer::timeout, this, &NetworkManifestFetcher::inspect);
}

NetworkManifestFetcher::~NetworkManifestFetcher() {
    // Nobody waits for an answer any more; the reply must not call back into a dead object.
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        delete m_reply;
    }
}

void NetworkManifestFetcher::fetch(const QUrl& address, Cancelled cancelled, Done done) {
    if (m_reply || !done) {
        // One transfer at a time; the caller guards against this, so it is only reported.
        qCInfo(lcUpdate) << "a manifest fetch is already running";
        if (done)
            QTimer::singleShot(0, this, [done] { done(false, {}); });
        return;
    }
    m_done = std::move(done);
    m_cancelled = std::move(cancelled);
    m_body.clear();
    if (!address.isValid() || !isWebScheme(address) || address.host().isEmpty()) {
        qCInfo(lcUpdate) << "not a web address:" << address.toString();
        QTimer::singleShot(0, this, [this] { finish(false); });
        return;
    }

    QNetworkRequest request(address);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(maxRedirects);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    QNetworkReply* reply = m_network.get(request);
    m_reply = reply;
    // Qt holds no more than this much unread data, so a huge answer never fills the memory.
    reply->setReadBufferSize(maxBytes + 1);
    connect(reply, &QNetworkReply::redirected, this, [this, reply](const QUrl& to) {
        if (isWebScheme(to)) {
            emit reply->redirectAllowed();
        } else {
            qCInfo(lcUpdate) << "refused a redirect to" << to.toString();
            finish(false);
        }
    });
    connect(reply, &QNetworkReply::metaDataChanged, this, &NetworkManifestFetcher::inspect);
    connect(reply, &QNetworkReply::downloadProgress, this, &NetworkManifestFetcher::inspect);
    connect(reply, &QNetworkReply::readyRead, this, &NetworkManifestFetcher::readSome);
    connect(reply, &QNetworkReply::finished, this, [this] {
        readSome();
        if (!m_reply)
            return;
        const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const bool ok = m_reply->error() == QNetworkReply::NoError && status >= 200 && status < 300;
        if (!ok)
            qCInfo(lcUpdate) << "the manifest fetch failed:" << status << m_reply->errorString();
        finish(ok);
    });
    m_deadline.start(m_clock.timerInterval(timeoutMs));
    m_watch.start(m_clock.timerInterval(watchIntervalMs));
}

void NetworkManifestFetcher::inspect() {
    if (m_reply && m_cancelled && m_cancelled()) {
        qCInfo(lcUpdate) << "the manifest fetch was cancelled";
        finish(false);
    }
}

void NetworkManifestFetcher::readSome() {
    if (!m_reply)
        return;
    m_body += m_reply->read(maxBytes - m_body.size());
    if (m_body.size() >= maxBytes) {
        // Enough: a manifest is a few lines. What came so far is the answer.
        qCInfo(lcUpdate) << "the manifest was cut at" << maxBytes << "bytes";
        finish(true);
        return;
    }
    inspect();
}

void NetworkManifestFetcher::finish(bool ok) {
    if (!m_reply && !m_done)
        return;
    m_deadline.stop();
    m_watch.stop();
    if (QNetworkReply* reply = m_reply.data()) {
        m_reply.clear();
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    Done done = std::move(m_done);
    m_done = nullptr;
    m_cancelled = nullptr;
    const QByteArray body = ok ? std::exchange(m_body, {}) : QByteArray();
    m_body.clear();
    // The answer is handed over from an event of its own: the caller may show a modal window,
    // and that must not happen inside the reply's own signal.
    if (done)
        QTimer::singleShot(0, this, [done, ok, body] { done(ok, body); });
}
