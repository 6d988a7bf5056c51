#include "allow/AllowedSites.h"

#include "settings/SettingsStore.h"

#include <QSet>
#include <QUrl>
#include <algorithm>

Q_LOGGING_CATEGORY(lcAllow, "pagewarden.allow", QtWarningMsg)

namespace {
const QString openerPrefix = QStringLiteral("opener:");
const QString signInText = QStringLiteral("?oauth");
// The longest host name the name system allows, and the longest part of one.
constexpr qsizetype maxHostLength = 253;
constexpr qsizetype maxLabelLength = 63;

bool isHostCharacter(QChar c) {
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
           (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('-') ||
           c == QLatin1Char('_');
}

std::optional<QString> refuse(QString* problem, const QString& why) {
    if (problem)
        *problem = why;
    return std::nullopt;
}
} // namespace

QString AllowedSite::stored() const {
    switch (match) {
    case Match::Opener:
        return openerPrefix + host;
    case Match::SignInRequest:
        return signInText;
    case Match::Address:
        break;
    }
    return host;
}

std::optional<AllowedSite> AllowedSite::fromStored(const QString& text, QString* problem) {
    if (text == signInText)
        return AllowedSite{Match::SignInRequest, {}};
    const bool opener = text.startsWith(openerPrefix);
    const QString hostText = opener ? text.mid(openerPrefix.size()) : text;
    QString why;
    const std::optional<QString> host = AllowedSites::hostFrom(hostText, &why);
    // The stored form is the exact one the program writes; anything else was not written by it.
    if (!host || *host != hostText) {
        if (problem)
            *problem = host ? QStringLiteral("not in the stored form %1").arg(*host) : why;
        return std::nullopt;
    }
    return AllowedSite{opener ? Match::Opener : Match::Address, *host};
}

QString AllowedSite::describe() const {
    switch (match) {
    case Match::Opener:
        return QStringLiteral("%1 (popups this site opens)").arg(host);
    case Match::SignInRequest:
        return QStringLiteral("Sign-in requests (OAuth or OpenID) to any site");
    case Match::Address:
        break;
    }
    return QStringLiteral("%1 (popups to this site)").arg(host);
}

std::optional<QString> AllowedSites::hostFrom(const QString& text, QString* problem) {
    QString host = text.trimmed();
    if (host.isEmpty())
        return refuse(problem, QStringLiteral("it is empty"));
    if (host.contains(QStringLiteral("://"))) {
        const QUrl url(host, QUrl::StrictMode);
        if (!url.isValid() || url.host().isEmpty())
            return refuse(problem, QStringLiteral("it is an address without a host name"));
        host = url.host(QUrl::FullyDecoded);
    } else if (host.contains(QLatin1Char('/')) || host.contains(QLatin1Char('?'))) {
        return refuse(problem, QStringLiteral("a host name has no path (write only the name, "
                                              "like example.com)"));
    }
    if (host.startsWith(QStringLiteral("*.")))
        host = host.mid(2); // a host covers its subdomains anyway
    if (host.endsWith(QLatin1Char('.')))
        host.chop(1);
    const QString ascii = QString::fromLatin1(QUrl::toAce(host));
    if (ascii.isEmpty())
        return refuse(problem, QStringLiteral("it is not a host name"));
    host = ascii.toLower();
    if (host.size() > maxHostLength)
        return refuse(problem, QStringLiteral("it is longer than a host name can be"));
    const QStringList labels = host.split(QLatin1Char('.'));
    if (labels.size() < 2)
        return refuse(problem, QStringLiteral("it names no site (a host name has at least two "
                                              "parts, like example.com)"));
    for (const QString& label : labels) {
        if (label.isEmpty() || label.size() > maxLabelLength ||
            !std::all_of(label.cbegin(), label.cend(), isHostCharacter))
            return refuse(problem, QStringLiteral("it is not a host name"));
    }
    return host;
}

const QList<AllowedSite>& AllowedSites::defaults() {
    using M = AllowedSite::Match;
    static const QList<AllowedSite> list{
        {M::SignInRequest, {}},
        // Sign-in.
        {M::Address, QStringLiteral("accounts.google.com")},
        {M::Address, QStringLiteral("login.microsoftonline.com")},
        {M::Address, QStringLiteral("login.live.com")},
        {M::Address, QStringLiteral("appleid.apple.com")},
        {M::Address, QStringLiteral("www.facebook.com")},
        {M::Address, QStringLiteral("github.com")},
        {M::Address, QStringLiteral("api.twitter.com")},
        {M::Address, QStringLiteral("api.x.com")},
        {M::Address, QStringLiteral("login.yahoo.com")},
        {M::Address, QStringLiteral("auth0.com")},
        {M::Address, QStringLiteral("okta.com")},
        // Payment.
        {M::Address, QStringLiteral("paypal.com")},
        {M::Address, QStringLiteral("checkout.stripe.com")},
        {M::Address, QStringLiteral("pay.google.com")},
        {M::Address, QStringLiteral("payments.amazon.com")},
        {M::Address, QStringLiteral("pay.amazon.com")},
        // Video calls.
        {M::Address, QStringLiteral("zoom.us")},
        {M::Address, QStringLiteral("teams.microsoft.com")},
        {M::Address, QStringLiteral("meet.google.com")},
    };
    return list;
}

AllowedSites AllowedSites::load(const SettingsStore& store) {
    AllowedSites sites;
    const auto read = [&store](const QString& key, bool report) {
        QStringList pieces;
        SettingsStore::decodePatternList(store.get_option(key), pieces);
        QList<AllowedSite> out;
        QSet<QString> seen;
        for (const QString& piece : std::as_const(pieces)) {
            QString problem;
            if (const std::optional<AllowedSite> site = AllowedSite::fromStored(piece, &problem)) {
                if (!seen.contains(piece)) {
                    seen.insert(piece);
                    out.append(*site);
                }
            } else if (report) {
                qCWarning(lcAllow).noquote() << "dropped the allowed site" << piece.left(200)
                                             << "from" << key << "because" << problem;
            }
        }
        return out;
    };
    sites.m_entries = read(storedKey, true);
    for (const AllowedSite& site : read(removedKey, false))
        sites.m_removedDefaults.append(site.stored());
    QSet<QString> present;
    for (const AllowedSite& site : std::as_const(sites.m_entries))
        present.insert(site.stored());
    for (const AllowedSite& site : defaults()) {
        if (!present.contains(site.stored()) && !sites.m_removedDefaults.contains(site.stored()))
            sites.m_entries.append(site);
    }
    return sites;
}

bool AllowedSites::save(SettingsStore& store) const {
    QStringList texts;
    for (const AllowedSite& site : m_entries)
        texts.append(site.stored());
    return store.put_option(SettingsStore::encodePatternList(texts), storedKey) &&
           store.put_option(SettingsStore::encodePatternList(m_removedDefaults), removedKey);
}

QString AllowedSites::allowSiteOf(SettingsStore& store, const QString& address) {
    QString problem;
    const std::optional<QString> host = hostFrom(address, &problem);
    if (!host)
        return QStringLiteral("This site cannot be allowed: %1.").arg(problem);
    AllowedSites sites = load(store);
    const AllowedSite site{AllowedSite::Match::Address, *host};
    if (!sites.add(site))
        return QStringLiteral("Popups to %1 are allowed already.").arg(*host);
    if (!sites.save(store)) {
        qCWarning(lcAllow) << "cannot write the allowed sites";
        return QStringLiteral("The allowed sites could not be saved.");
    }
    return QStringLiteral("Popups to %1 will always be allowed.").arg(*host);
}

bool AllowedSites::add(const AllowedSite& site) {
    m_removedDefaults.removeAll(site.stored());
    if (m_entries.contains(site))
        return false;
    m_entries.append(site);
    return true;
}

bool AllowedSites::remove(const AllowedSite& site) {
    if (!m_entries.removeAll(site))
        return false;
    if (defaults().contains(site) && !m_removedDefaults.contains(site.stored()))
        m_removedDefaults.append(site.stored());
    return true;
}
