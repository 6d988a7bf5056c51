#include "update/UpdateManifest.h"

namespace {

// Spaces only, as the manifest's writers pad with spaces; other characters stay part of a value.
QString trimSpaces(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}

// The text after `key` in `entry`, or nothing when the key is absent.
std::optional<QString> afterKey(const QString& entry, QLatin1String key) {
    const qsizetype at = entry.indexOf(key);
    if (at < 0)
        return std::nullopt;
    return trimSpaces(entry.mid(at + key.size()));
}

QString firstWord(const QString& text) {
    return text.section(QLatin1Char(' '), 0, 0);
}

} // namespace

ManifestLookup readManifestEntry(const QString& response, const QString& productTitle,
                                 ManifestValues& values) {
    const QString marker = productTitle + QLatin1Char('.');
    // Searching without regard to case keeps positions in the original text, whatever a strange
    // character does when it changes case.
    const qsizetype start = response.indexOf(marker, 0, Qt::CaseInsensitive);
    if (start < 0)
        return ManifestLookup::NotFound;
    const qsizetype end = response.indexOf(QLatin1String("\r\n"), start);
    if (end < 0)
        return ManifestLookup::EntryUnused;
    const QString entry = response.mid(start, end - start);
    if (!entry.contains(marker) || !entry.contains(QLatin1String("current version=")))
        return ManifestLookup::EntryUnused;

    if (const auto version = afterKey(entry, QLatin1String("current version=")))
        values.serverVersion = firstWord(*version);
    if (const auto size = afterKey(entry, QLatin1String("update size=")))
        values.updateSize = firstWord(*size);
    if (const auto location = afterKey(entry, QLatin1String("update module=")))
        values.updateLocation = *location;
    return ManifestLookup::EntryRead;
}

bool textGreater(const QString& a, const QString& b) {
    return QString::compare(a, b, Qt::CaseSensitive) > 0;
}

bool sameMajorRelease(const QString& serverVersion, int majorVersion) {
    return serverVersion.left(1) == QString::number(majorVersion);
}

QString noNewUpdatesText(const QString& productTitle, const QString& ownVersion) {
    return QStringLiteral("Your installed version of ") + productTitle +
           QStringLiteral(" (version ") + ownVersion +
           QStringLiteral(") is the same as the update that is available, or no new updates are "
                          "available.");
}

QString bulletinText(const QString& productTitle, const ManifestValues& values, bool manual) {
    const QString oneTime =
        manual ? QString() : QStringLiteral("This is a one time notification of its availability.");
    return QStringLiteral("A newer version of ") + productTitle +
           QStringLiteral(" is available (version ") + values.serverVersion +
           QStringLiteral("). ") + oneTime +
           QStringLiteral(" If you would like to update it now (") + values.updateSize +
           QStringLiteral(" meg download), press 'Yes'.  If you choose to update now, ") +
           productTitle +
           QStringLiteral(" will close, and a browser will open to download the update.  After "
                          "updating the program will restart. If you didn't install in the "
                          "default installation directory, you will have to redirect the update "
                          "to the right directory. If you don't wish to update it now, press "
                          "'No'. ");
}

std::optional<QUrl> webAddress(const QString& location) {
    QString text = location;
    if (!text.contains(QLatin1String("http://")) && !text.contains(QLatin1String("https://")))
        text.prepend(QLatin1String("http://"));
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return std::nullopt;
    return url;
}
