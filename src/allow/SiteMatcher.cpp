#include "allow/SiteMatcher.h"

#include "settings/SettingsStore.h"

#include <QUrl>

namespace {
bool nameIs(QStringView name, QLatin1String wanted) {
    return name.compare(wanted, Qt::CaseSensitive) == 0;
}
} // namespace

SiteMatcher::SiteMatcher(const QList<AllowedSite>& entries) {
    for (const AllowedSite& site : entries) {
        switch (site.match) {
        case AllowedSite::Match::Address:
            m_addressHosts.insert(site.host.toStdString());
            break;
        case AllowedSite::Match::Opener:
            m_openerHosts.insert(site.host.toStdString());
            break;
        case AllowedSite::Match::SignInRequest:
            m_signIn = true;
            break;
        }
    }
}

bool SiteMatcher::sparesAddress(QStringView address) const {
    if (!m_addressHosts.empty() && covers(m_addressHosts, hostOf(address)))
        return true;
    return m_signIn && hasSignInMarks(address);
}

bool SiteMatcher::sparesOpener(QStringView openerAddress) const {
    return !m_openerHosts.empty() && covers(m_openerHosts, hostOf(openerAddress));
}

bool SiteMatcher::covers(const HostSet& hosts, std::string_view host) {
    // The host itself, then every ending that starts after a dot.
    while (!host.empty()) {
        if (hosts.find(host) != hosts.end())
            return true;
        const size_t dot = host.find('.');
        if (dot == std::string_view::npos)
            return false;
        host.remove_prefix(dot + 1);
    }
    return false;
}

std::string SiteMatcher::hostOf(QStringView address) {
    const qsizetype schemeEnd = address.indexOf(QLatin1String("://"));
    if (schemeEnd <= 0)
        return {};
    QStringView authority = address.mid(schemeEnd + 3);
    // Browsers end the authority at a backslash too.
    for (qsizetype i = 0; i < authority.size(); ++i) {
        const QChar c = authority.at(i);
        if (c == QLatin1Char('/') || c == QLatin1Char('?') || c == QLatin1Char('#') ||
            c == QLatin1Char('\\')) {
            authority = authority.left(i);
            break;
        }
    }
    // "user:password@host": the host is what follows the last @.
    if (const qsizetype at = authority.lastIndexOf(QLatin1Char('@')); at >= 0)
        authority = authority.mid(at + 1);
    if (authority.startsWith(QLatin1Char('['))) {
        const qsizetype close = authority.indexOf(QLatin1Char(']'));
        authority = close < 0 ? QStringView() : authority.left(close + 1);
    } else if (const qsizetype colon = authority.indexOf(QLatin1Char(':')); colon >= 0) {
        authority = authority.left(colon);
    }
    if (authority.endsWith(QLatin1Char('.')))
        authority.chop(1);
    std::string host;
    host.reserve(size_t(authority.size()));
    for (const QChar c : authority) {
        const char16_t u = c.unicode();
        if (u >= 0x80) {
            // An international name: matched in the form the list keeps it in.
            return QString::fromLatin1(QUrl::toAce(authority.toString())).toLower().toStdString();
        }
        host.push_back(static_cast<char>(u >= 'A' && u <= 'Z' ? u + ('a' - 'A') : u));
    }
    return host;
}

bool SiteMatcher::hasSignInMarks(QStringView address) {
    if (!address.startsWith(QLatin1String("https://"), Qt::CaseInsensitive))
        return false;
    qsizetype start = address.indexOf(QLatin1Char('?'));
    if (start < 0)
        return false;
    qsizetype end = address.indexOf(QLatin1Char('#'), start);
    const QStringView query = address.mid(start + 1, end < 0 ? -1 : end - start - 1);
    bool clientId = false, redirectOrResponse = false;
    for (const QStringView pair : query.tokenize(QLatin1Char('&'))) {
        const qsizetype eq = pair.indexOf(QLatin1Char('='));
        const QStringView name = eq < 0 ? pair : pair.left(eq);
        clientId = clientId || nameIs(name, QLatin1String("client_id"));
        redirectOrResponse = redirectOrResponse || nameIs(name, QLatin1String("redirect_uri")) ||
                             nameIs(name, QLatin1String("response_type"));
    }
    return clientId && redirectOrResponse;
}

std::shared_ptr<const SiteMatcher> SiteMatcher::of(const SettingsStore& store) {
    // Built again only when either stored text changes: the window and the log viewer write
    // there, and a pass picks the change up when it next walks the windows.
    static QString listText, removedText;
    static std::shared_ptr<const SiteMatcher> matcher;
    const QString list = store.get_option(AllowedSites::storedKey);
    const QString removed = store.get_option(AllowedSites::removedKey);
    if (!matcher || list != listText || removed != removedText) {
        matcher = std::make_shared<const SiteMatcher>(AllowedSites::load(store).entries());
        listText = list;
        removedText = removed;
    }
    return matcher;
}
