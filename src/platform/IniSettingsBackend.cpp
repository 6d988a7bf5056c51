#include "platform/SettingsBackend.h"

#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSettings>
#include <QStringList>

Q_LOGGING_CATEGORY(lcSettingsBackend, "pagewarden.settings", QtWarningMsg)

namespace {

// A value that someone typed into the file with an unquoted comma reads back as a list; join it
// again so the user gets back what they typed rather than nothing.
QString valueAsText(const QVariant& value) {
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

} // namespace

IniSettingsBackend::IniSettingsBackend(QString filePath) : m_filePath(std::move(filePath)) {
    QSettings probe(m_filePath, QSettings::IniFormat);
    (void)probe.allKeys(); // the file is parsed on first use
    if (probe.status() == QSettings::FormatError) {
        // Keep the damaged file beside the new one, and any copy set aside before, instead of
        // overwriting it: nothing the user had is lost, and the program starts with its defaults.
        QString aside = m_filePath + QStringLiteral(".damaged");
        for (int n = 1; QFileInfo::exists(aside) && n < 100; ++n)
            aside = m_filePath + QStringLiteral(".damaged.%1").arg(n);
        QFile::rename(m_filePath, aside);
        qCWarning(lcSettingsBackend) << "settings file could not be read; moved to" << aside;
    }
}

std::optional<QString> IniSettingsBackend::read(const QString& section, const QString& key,
                                                const QString& defaultValue) {
    QSettings settings(m_filePath, QSettings::IniFormat);
    if (settings.status() != QSettings::NoError) {
        qCDebug(lcSettingsBackend) << "cannot read" << m_filePath << settings.status();
        return std::nullopt;
    }
    settings.beginGroup(section);
    if (!settings.contains(key))
        return defaultValue;
    return valueAsText(settings.value(key));
}

bool IniSettingsBackend::save(const QString& section, const QString& key, const QString& value) {
    QSettings settings(m_filePath, QSettings::IniFormat);
    settings.beginGroup(section);
    settings.setValue(key, value);
    settings.endGroup();
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        qCDebug(lcSettingsBackend) << "cannot write" << m_filePath << settings.status();
        return false;
    }
    // Every write makes the file anew; the options and the home page are the user's alone.
    QFile::setPermissions(m_filePath, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return true;
}
