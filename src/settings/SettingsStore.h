#pragma once

#include <QString>
#include <QStringList>

class SettingsBackend;

// Every value kept from one run to the next: the options of the options panel and the program's
// own state, all as text in the section "Options" under the application title.
class SettingsStore {
public:
    explicit SettingsStore(SettingsBackend& backend);

    // The value of `key`, or "" when it was never written (or cannot be read).
    QString get_option(const QString& key) const;
    // The value of `key`, or `defaultValue` when it was never written (or cannot be read).
    QString getOption(const QString& key, const QString& defaultValue) const;
    // Writes `value` to `key`. Value first, key second. False when the store cannot be written.
    bool put_option(const QString& value, const QString& key);

    // Reads the program state below from the store and rebuilds `hijackPatterns`.
    void load_saved_state();
    // Writes the program state back. Returns false when a write failed; the keys after it were
    // then left as they were.
    bool save_state();

    // Looks at the settings file before anything reads it. A file that is there but cannot be
    // read (no permission, a folder in its place), is not a settings file at all, or is far larger
    // than any the program writes (16 MB) is moved aside to "<file>.damaged", so the program
    // starts with its defaults instead of reading every option as unset. Returns what to tell the
    // user, or "" when the file is fine or not there yet.
    static QString setAsideUnreadableFile(const QString& filePath);

    // Splits a stored hijack list at every "<->"; empty pieces are dropped, the rest kept as is.
    // Patterns already in `into` stay in front of the new ones.
    static void decodePatternList(const QString& stored, QStringList& into);
    // Joins patterns with "<->" between neighbours and none after the last.
    static QString encodePatternList(const QStringList& patterns);

    // Program state (the keys "wasfirsttime", "saved_the_product_version", "desired_home_url",
    // "spyware_urls").
    QString wasFirstTime;
    QString savedProductVersion;
    QString desiredHomeUrl;
    QString hijackPatternText;
    QStringList hijackPatterns; // numbered from 1 in the user's eyes, stored from index 0

private:
    SettingsBackend& m_backend;
};

// The stored keys, spelled exactly as they are in the file.
namespace SettingsKeys {
inline const QString section = QStringLiteral("Options");
inline const QString beep = QStringLiteral("Beep");
inline const QString hideOnStart = QStringLiteral("HideOnStart");
inline const QString startUp = QStringLiteral("StartUp");
inline const QString killBrowsers = QStringLiteral("Killbrowsers");
inline const QString killPopups = QStringLiteral("Killpopups");
inline const QString killAllBrowsers = QStringLiteral("killallbrowsers");
inline const QString secondsBeforeMinimize = QStringLiteral("secondsbeforeminimize");
inline const QString popupKillSpeed = QStringLiteral("popupkillspeed");
inline const QString firstTime = QStringLiteral("firsttime");
inline const QString wasFirstTime = QStringLiteral("wasfirsttime");
inline const QString savedProductVersion = QStringLiteral("saved_the_product_version");
inline const QString desiredHomeUrl = QStringLiteral("desired_home_url");
inline const QString spywareUrls = QStringLiteral("spyware_urls");
inline const QString backgroundColor = QStringLiteral("backgroundcolor");
inline const QString lastUsedDate = QStringLiteral("last_used_date");
inline const QString fontSize1 = QStringLiteral("fontsize1");
} // namespace SettingsKeys
