#pragma once

#include <QString>
#include <QUrl>
#include <optional>

// What the vendor's version manifest ("allver.txt") says about this product. The values start
// empty and keep what an earlier check found when a later manifest leaves a key out.
struct ManifestValues {
    QString serverVersion;
    QString updateSize;
    QString updateLocation;
};

enum class ManifestLookup {
    NotFound,    // the product's title and full stop appear nowhere
    EntryUnused, // the place was found, but the entry does not count (case, no end, no version)
    EntryRead,   // the entry's keys were copied into the values
};

// Finds the product's entry: the first place where `productTitle` and "." occur in any letter
// case, up to the next CR LF. The entry counts only when it ends in CR LF, holds the title and
// "." in their exact case and holds "current version="; then the keys it gives replace those in
// `values` and the others stay as they were.
ManifestLookup readManifestEntry(const QString& response, const QString& productTitle,
                                 ManifestValues& values);

// Versions are compared as plain text, character code by character code: "8.0.10" is not
// greater than "8.0.9".
bool textGreater(const QString& a, const QString& b);

// The server's version belongs to our major release when its first character is our major
// number in decimal; an empty version never does.
bool sameMajorRelease(const QString& serverVersion, int majorVersion);

// The message of a manual check that found nothing newer (or no manifest at all).
QString noNewUpdatesText(const QString& productTitle, const QString& ownVersion);

// The bulletin's message. The automatic check adds that it says so only once.
QString bulletinText(const QString& productTitle, const ManifestValues& values, bool manual);

// The address the browser gets for a download or a vendor page: "http://" in front when it has
// no web scheme, and then only an http or https address with a host; anything else is refused.
std::optional<QUrl> webAddress(const QString& location);
