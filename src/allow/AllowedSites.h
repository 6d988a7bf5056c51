#pragma once

#include <QList>
#include <QLoggingCategory>
#include <QString>
#include <QStringList>
#include <optional>

class SettingsStore;

// Entries dropped from the stored list, and other words of the allowed sites, are reported here.
Q_DECLARE_LOGGING_CATEGORY(lcAllow)

// One entry of the allowed sites.
struct AllowedSite {
    enum class Match {
        Address,       // the popup's own address is on the host
        Opener,        // the page that opened the popup is on the host
        SignInRequest, // the popup's address carries the marks of an OAuth or OpenID request
    };
    Match match = Match::Address;
    QString host; // lower case, ASCII (international names in their xn-- form); empty for a request

    bool operator==(const AllowedSite&) const = default;

    // How the entry is stored: "example.com", "opener:example.com" or "?oauth".
    QString stored() const;
    // The entry read back from its stored form; std::nullopt (and `problem` set) when it is none.
    static std::optional<AllowedSite> fromStored(const QString& text, QString* problem = nullptr);
    // A line for people: "example.com (popups to this site)".
    QString describe() const;
};

// The allowed sites: popups the survey pass leaves alone. Kept in [Options] allowed_sites with
// "<->" between entries, like the hijack list. The defaults (the sign-in and payment hosts of the
// largest providers and the sign-in request marks) are part of the list until the user removes
// one; a removed default is remembered in allowed_sites_removed, so a later list of defaults
// never brings it back.
class AllowedSites {
public:
    static inline const QString storedKey = QStringLiteral("allowed_sites");
    static inline const QString removedKey = QStringLiteral("allowed_sites_removed");

    // Reads the list; stored entries that are no entry are dropped with a warning on lcAllow, and
    // every default the user has not removed is added.
    static AllowedSites load(const SettingsStore& store);
    // Writes the list and the removed defaults. False when the store cannot be written.
    bool save(SettingsStore& store) const;

    const QList<AllowedSite>& entries() const { return m_entries; }
    const QStringList& removedDefaults() const { return m_removedDefaults; }
    bool contains(const AllowedSite& site) const { return m_entries.contains(site); }
    // Adds the entry at the end; false when it is there already.
    bool add(const AllowedSite& site);
    // Removes the entry; a default stays removed. False when it was not there.
    bool remove(const AllowedSite& site);

    static const QList<AllowedSite>& defaults();

    // "Always allow this site" for an address: adds its host to the stored list and saves it.
    // Gives what to tell the user.
    static QString allowSiteOf(SettingsStore& store, const QString& address);

    // The host name in what a person typed or an address: "Example.COM", "https://example.com/x"
    // and "*.example.com" all give "example.com". std::nullopt, with `problem` saying why, when it
    // holds no host name of at least two parts.
    static std::optional<QString> hostFrom(const QString& text, QString* problem = nullptr);

private:
    QList<AllowedSite> m_entries;
    QStringList m_removedDefaults; // stored forms
};
