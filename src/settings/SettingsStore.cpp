#include "settings/SettingsStore.h"

#include "platform/SettingsBackend.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSettings>

Q_DECLARE_LOGGING_CATEGORY(lcSettingsBackend)

namespace {
const QString separator = QStringLiteral("<->");
// No settings file the program writes comes near this.
constexpr qint64 maxSettingsFileBytes = 16 << 20;
} // namespace

SettingsStore::SettingsStore(SettingsBackend& backend) : m_backend(backend) {}

QString SettingsStore::get_option(const QString& key) const {
    return getOption(key, QString());
}

QString SettingsStore::getOption(const QString& key, const QString& defaultValue) const {
    return m_backend.read(SettingsKeys::section, key, defaultValue).value_or(defaultValue);
}

bool SettingsStore::put_option(const QString& value, const QString& key) {
    return m_backend.save(SettingsKeys::section, key, value);
}

void SettingsStore::load_saved_state() {
    // A key that cannot be read leaves its value as it was and the load goes on.
    auto readInto = [this](const QString& key, QString& into) {
        if (auto value = m_backend.read(SettingsKeys::section, key, QString()))
            into = *value;
        else
            qCDebug(lcSettingsBackend) << "kept" << key << "as it was: the store cannot be read";
    };
    readInto(SettingsKeys::wasFirstTime, wasFirstTime);
    readInto(SettingsKeys::savedProductVersion, savedProductVersion);
    readInto(SettingsKeys::desiredHomeUrl, desiredHomeUrl);
    readInto(SettingsKeys::spywareUrls, hijackPatternText);

    // Only spaces are trimmed from the ends of the whole list, never from a single pattern.
    qsizetype first = 0;
    qsizetype last = hijackPatternText.size();
    while (first < last && hijackPatternText.at(first) == QLatin1Char(' '))
        ++first;
    while (last > first && hijackPatternText.at(last - 1) == QLatin1Char(' '))
        --last;
    hijackPatternText = hijackPatternText.mid(first, last - first);
    if (hijackPatternText.isEmpty())
        return;
    hijackPatterns.clear();
    decodePatternList(hijackPatternText, hijackPatterns);
}

bool SettingsStore::save_state() {
    if (!put_option(savedProductVersion, SettingsKeys::savedProductVersion))
        return false;
    if (!put_option(wasFirstTime, SettingsKeys::wasFirstTime))
        return false;
    if (!put_option(hijackPatternText, SettingsKeys::spywareUrls))
        return false;
    return put_option(desiredHomeUrl, SettingsKeys::desiredHomeUrl);
}

void SettingsStore::decodePatternList(const QString& stored, QStringList& into) {
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = stored.indexOf(separator, from, Qt::CaseSensitive);
        const QString piece = stored.mid(from, at < 0 ? -1 : at - from);
        if (!piece.isEmpty())
            into.append(piece);
        if (at < 0)
            return;
        from = at + separator.size();
    }
}

QString SettingsStore::encodePatternList(const QStringList& patterns) {
    return patterns.join(separator);
}

QString SettingsStore::setAsideUnreadableFile(const QString& filePath) {
    const QFileInfo info(filePath);
    if (!info.exists())
        return QString();
    QString problem;
    QFile file(filePath);
    // Reading a file decides, not its permission bits: they do not stop root, and a folder in
    // the file's place has readable bits too.
    if (info.isDir() || !file.open(QIODevice::ReadOnly)) {
        problem = QStringLiteral("could not be read");
    } else if (info.size() > maxSettingsFileBytes) {
        // Every option is read and written through the whole file: one this large would make each
        // click wait for it. The longest hijack list the program keeps fits many times over.
        problem = QStringLiteral("is too large (%1 MB)").arg(info.size() >> 20);
    } else {
        file.close();
        QSettings probe(filePath, QSettings::IniFormat);
        (void)probe.allKeys(); // the file is parsed on first use
        if (probe.status() != QSettings::NoError)
            problem = QStringLiteral("is damaged");
    }
    if (problem.isEmpty())
        return QString();

    // An older copy set aside is kept too: nothing the user had is lost.
    QString aside = filePath + QStringLiteral(".damaged");
    for (int n = 1; QFileInfo::exists(aside) && n < 100; ++n)
        aside = filePath + QStringLiteral(".damaged.%1").arg(n);
    if (!QDir().rename(filePath, aside)) {
        qCWarning(lcSettingsBackend)
            << "settings file" << problem << "and cannot be moved:" << filePath;
        return QStringLiteral("The settings file %1 %2 and could not be moved aside. Pagewarden "
                              "runs with its default options but cannot keep them.")
            .arg(QDir::toNativeSeparators(filePath), problem);
    }
    qCWarning(lcSettingsBackend) << "settings file" << problem << "; moved to" << aside;
    return QStringLiteral("The settings file %1 %2, so it was moved to %3. Pagewarden starts "
                          "with its default options.")
        .arg(QDir::toNativeSeparators(filePath), problem, QDir::toNativeSeparators(aside));
}
