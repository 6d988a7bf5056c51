#pragma once

#include "allow/AllowedSites.h"

#include <QStringView>
#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

class SettingsStore;

// Answers, for one popup, whether the allowed sites spare it. An address is looked up once for its
// host and once for each ending that follows a dot ("a.b.example.com", "b.example.com",
// "example.com"), so the cost does not grow with the list. The hashes of all the endings come from
// one walk over the host from its end, and each is tried in a flat table of the hosts' hashes
// before a name is compared, so a lookup that fails touches one cache line.
// A host covers its subdomains at a dot only: "evil-example.com" is not under "example.com".
class SiteMatcher {
public:
    SiteMatcher() = default;
    explicit SiteMatcher(const QList<AllowedSite>& entries);

    // The popup's own address is allowed: its host is covered by an address entry, or it is an
    // https address with sign-in request marks while that entry is on the list.
    bool sparesAddress(QStringView address) const;
    // The page that opened the popup is on a host covered by an opener entry.
    bool sparesOpener(QStringView openerAddress) const;
    bool hasOpenerEntries() const { return !m_openerHosts.empty(); }
    bool isEmpty() const { return m_addressHosts.empty() && m_openerHosts.empty() && !m_signIn; }

    // The marks of an OAuth or OpenID request in an https address: the query names client_id
    // together with redirect_uri or response_type.
    static bool hasSignInMarks(QStringView address);
    // The host of a web address in lower case, without user, port or trailing dot (international
    // names in their xn-- form), written to `buffer`; empty when the address has none that fits.
    using HostBuffer = std::array<char, 256>;
    static std::string_view hostOf(QStringView address, HostBuffer& buffer);

    // The matcher for the list stored in `store` now, built once and shared until the stored text
    // changes. One thread: the program's UI thread.
    static std::shared_ptr<const SiteMatcher> of(const SettingsStore& store);

private:
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    struct HostSet {
        std::unordered_set<std::string, Hash, std::equal_to<>> names;
        std::vector<quint64> table; // open addressing on the names' hashes; 0 is a free slot
        void build();
        bool empty() const { return names.empty(); }
        bool mayHold(quint64 hash) const;
    };
    static bool covers(const HostSet& hosts, std::string_view host);

    HostSet m_addressHosts;
    HostSet m_openerHosts;
    bool m_signIn = false;
};
