#pragma once

#include <QString>
#include <optional>

// The per-user store every option and every piece of program state lives in: text values under an
// application title, a section and a key.
class SettingsBackend {
public:
    virtual ~SettingsBackend() = default;

    // The value of `key`, or `defaultValue` when the key was never written. std::nullopt when the
    // store cannot be read at all.
    virtual std::optional<QString> read(const QString& section, const QString& key,
                                        const QString& defaultValue) = 0;

    // Creates or replaces the value. False when the store cannot be written.
    virtual bool save(const QString& section, const QString& key, const QString& value) = 0;
};

// The real store: an INI file read and written through QSettings.
class IniSettingsBackend : public SettingsBackend {
public:
    explicit IniSettingsBackend(QString filePath);

    std::optional<QString> read(const QString& section, const QString& key,
                                const QString& defaultValue) override;
    bool save(const QString& section, const QString& key, const QString& value) override;

    const QString& filePath() const { return m_filePath; }

private:
    QString m_filePath;
};
