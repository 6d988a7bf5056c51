#pragma once

#include <QString>

// The system's own list of programs started when the user logs in. The program's entry is named
// after the application title and holds the command that starts it.
class StartWithLogin {
public:
    virtual ~StartWithLogin() = default;

    // Creates or replaces the entry. False when it cannot be written.
    virtual bool setEntry(const QString& name, const QString& command) = 0;
    // Removes the entry; no entry is not an error.
    virtual void removeEntry(const QString& name) = 0;
    // Whether an entry is there and switched on.
    virtual bool hasEntry(const QString& name) const = 0;
};

// Linux desktops: `$XDG_CONFIG_HOME/autostart/pagewarden.desktop`, written atomically. An entry
// with Hidden=true counts as switched off.
class XdgAutostart : public StartWithLogin {
public:
    // `folder` is the autostart folder; empty means the user's own.
    explicit XdgAutostart(QString folder = QString());

    bool setEntry(const QString& name, const QString& command) override;
    void removeEntry(const QString& name) override;
    bool hasEntry(const QString& name) const override;

    QString entryPath() const;
    static QString defaultFolder();

private:
    QString m_folder;
};
