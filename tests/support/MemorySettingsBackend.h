#pragma once

#include "platform/SettingsBackend.h"

#include <QMap>
#include <QStringList>

// A settings store kept in memory, recording the keys in the order they were written.
class MemorySettingsBackend : public SettingsBackend {
public:
    std::optional<QString> read(const QString&, const QString& key,
                                const QString& defaultValue) override {
        return values.value(key, defaultValue);
    }
    bool save(const QString&, const QString& key, const QString& value) override {
        values[key] = value;
        writes.append(key);
        return true;
    }
    QMap<QString, QString> values;
    QStringList writes;
};
