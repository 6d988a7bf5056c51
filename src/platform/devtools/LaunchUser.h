#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <sys/types.h>

// Who a browser we launch runs as. Chromium will not start as root with its sandbox on, and a
// browser without its sandbox is one bad page away from the whole machine. So when Pagewarden was
// started as root on behalf of a desktop user (sudo, pkexec), the browser runs as that user, with
// its sandbox, in a profile of that user's own; a name that leads to nobody gets no browser at all
// (and the status line says why); and only a root session with nobody behind it runs the browser
// without its sandbox, which the status line then says too.

// A user account a browser can run as.
struct LaunchAccount {
    uid_t uid = 0;
    gid_t gid = 0;
    QString name;
    QString home;
};

// What the process knows of who started it: its effective user and the variables sudo and pkexec
// leave behind.
struct LaunchFacts {
    uid_t euid = 0;
    QString sudoUser;  // SUDO_USER
    QString sudoUid;   // SUDO_UID
    QString pkexecUid; // PKEXEC_UID

    // This process's own.
    static LaunchFacts current();
};

// The accounts the decision may look up (the system's passwd database in the program).
struct AccountLookup {
    std::function<std::optional<LaunchAccount>(const QString& name)> byName;
    std::function<std::optional<LaunchAccount>(uid_t uid)> byUid;

    static AccountLookup system();
};

struct LaunchPlan {
    bool launch = true;                // false: no browser is started; `note` says why
    std::optional<LaunchAccount> user; // switch to this user before the browser starts
    QStringList flags;                 // more arguments for the browser
    QString profileFolder;             // where its profile lives
    QString note;                      // for the status line; empty when there is nothing to say
};

// The decision. `profileFolder` is the program's own profile folder, kept unless the browser runs
// as another user, who gets one in their own home.
LaunchPlan planBrowserLaunch(const LaunchFacts& facts, const AccountLookup& accounts,
                             const QString& profileFolder);
