#include "allow/SiteMatcher.h"

#include "settings/SettingsStore.h"

#include <QUrl>
#include <algorithm>

namespace {
// FNV-1a, fed from the end of the name, so that the hashes of all the endings of a host come from
// one walk over it.
constexpr quint64 hashBasis = 0xcbf29ce484222325ULL;
constexpr quint64 hashPrime = 0x100000001b3ULL;
quint64 hashStep(quint64 hash, char c) {
    return (hash ^ static_cast<unsigned char>(c)) * hashPrime;
}
quint64 slotValue(quint64 hash) {
    return hash ? hash : 1;
}

bool nameIs(QStringView name, QLatin1String wanted) {
    return name.compare(wanted, Qt::CaseSensitive) == 0;
}
} // namespace

SiteMatcher::SiteMatcher(const QList<AllowedSite>& entries) {
    for (const AllowedSite& site : entries) {
        switch (site.match) {
        case AllowedSite::Match::Address:
            m_addressHosts.names.insert(site.host.toStdString());
            break;
        case AllowedSite::Match::Opener:
            m_openerHosts.names.insert(site.host.toStdString());
            break;
        case AllowedSite::Match::SignInRequest:
            m_signIn = true;
            break;
        }
    }
    m_addressHosts.build();
    m_openerHosts.build();
}

void SiteMatcher::HostSet::build() {
    size_t size = 16;
    while (size < names.size() * 2)
        size *= 2;
    table.assign(size, 0);
    for (const std::string& name : names) {
        quint64 hash = hashBasis;
        for (auto c = name.rbegin(); c != name.rend(); ++c)
            hash = hashStep(hash, *c);
        size_t i = hash & (size - 1);
        while (table[i] != 0 && table[i] != slotValue(hash))
            i = (i + 1) & (size - 1);
        table[i] = slotValue(hash);
    }
}

bool SiteMatcher::HostSet::mayHold(quint64 hash) const {
    const size_t mask = table.size() - 1;
    for (size_t i = hash & mask; table[i] != 0; i = (i + 1) & mask) {
        if (table[i] == slotValue(hash))
            return true;
    }
    return false;
}

bool SiteMatcher::sparesAddress(QStringView address) const {
    HostBuffer buffer;
    if (!m_addressHosts.empty() && covers(m_addressHosts, hostOf(address, buffer)))
        return true;
    return m_signIn && hasSignInMarks(address);
}

bool SiteMatcher::sparesOpener(QStringView openerAddress) const {
    HostBuffer buffer;
    return !m_openerHosts.empty() && covers(m_openerHosts, hostOf(openerAddress, buffer));
}

bool SiteMatcher::covers(const HostSet& hosts, std::string_view host) {
    // Every ending that starts after a dot, and the host itself.
    quint64 hash = hashBasis;
    for (size_t i = host.size(); i-- > 0;) {
        hash = hashStep(hash, host[i]);
        if ((i == 0 || host[i - 1] == '.') && hosts.mayHold(hash) &&
            hosts.names.find(host.substr(i)) != hosts.names.end())
            return true;
    }
    return false;
}

std::string_view SiteMatcher::hostOf(QStringView address, HostBuffer& buffer) {
    // The scheme: letters, digits, "+", "-" and "." up to "://".
    qsizetype i = 0;
    while (i < address.size() && address[i] != QLatin1Char(':') && address[i] != QLatin1Char('/'))
        ++i;
    if (i == 0 || !address.mid(i).startsWith(QLatin1String("://")))
        return {};
    QStringView authority = address.mid(i + 3);
    // Browsers end the authority at a backslash too.
    for (qsizetype j = 0; j < authority.size(); ++j) {
        const char16_t c = authority[j].unicode();
        if (c == '/' || c == '?' || c == '#' || c == '\\') {
            authority = authority.left(j);
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
    // No allowed host is longer than a host name can be.
    if (authority.size() > qsizetype(buffer.size()))
        return {};
    size_t n = 0;
    for (const QChar c : authority) {
        const char16_t u = c.unicode();
        if (u >= 0x80) {
            // An international name: matched in the form the list keeps it in.
            const QByteArray ace = QUrl::toAce(authority.toString()).toLower();
            if (ace.size() > qsizetype(buffer.size()))
                return {};
            std::copy(ace.cbegin(), ace.cend(), buffer.begin());
            return {buffer.data(), size_t(ace.size())};
        }
        buffer[n++] = static_cast<char>(u >= 'A' && u <= 'Z' ? u + ('a' - 'A') : u);
    }
    return {buffer.data(), n};
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
