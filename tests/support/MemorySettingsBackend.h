#pragma once

#include "platform/SettingsBackend.h"

#include <QMap>
#include <QStringList>

// A settings store kept in memory, recording the keys in the order they were written; reads and
// writes of the keys a test lists fail.
struct MemorySettingsBackend : SettingsBackend {
    std::optional<QString> read(const QString&, const QString& key,
                                const QString& defaultValue) override {
        return failReads.contains(key) ? std::nullopt
                                       : std::optional(values.value(key, defaultValue));
    }
    bool save(const QString&, const QString& key, const QString& value) override {
        if (failWrites.contains(key))
            return false;
        values[key] = value;
        writes.append(key);
        return true;
    }
    QMap<QString, QString> values;
    QStringList writes, failReads, failWrites;
};
