#include "platform/devtools/LaunchUser.h"

#include <pwd.h>
#include <unistd.h>

namespace {

std::optional<LaunchAccount> account(const passwd* entry) {
    if (!entry)
        return std::nullopt;
    return LaunchAccount{entry->pw_uid, entry->pw_gid, QString::fromLocal8Bit(entry->pw_name),
                         QString::fromLocal8Bit(entry->pw_dir)};
}

} // namespace

LaunchFacts LaunchFacts::current() {
    return {::geteuid(), qEnvironmentVariable("SUDO_USER"), qEnvironmentVariable("SUDO_UID"),
            qEnvironmentVariable("PKEXEC_UID")};
}

AccountLookup AccountLookup::system() {
    return {[](const QString& name) { return account(::getpwnam(name.toLocal8Bit().constData())); },
            [](uid_t uid) { return account(::getpwuid(uid)); }};
}

LaunchPlan planBrowserLaunch(const LaunchFacts& facts, const AccountLookup& accounts,
                             const QString& profileFolder) {
    LaunchPlan plan;
    plan.profileFolder = profileFolder;
    if (facts.euid != 0)
        return plan;

    // Who is behind the root session: pkexec names a user id, sudo a name (and its id).
    QString named;
    std::optional<LaunchAccount> user;
    bool numberOk = false;
    if (!facts.pkexecUid.isEmpty()) {
        named = facts.pkexecUid;
        const uint uid = facts.pkexecUid.toUInt(&numberOk);
        user = numberOk ? accounts.byUid(uid) : std::nullopt;
    } else if (!facts.sudoUser.isEmpty()) {
        named = facts.sudoUser;
        user = accounts.byName(facts.sudoUser);
    } else if (!facts.sudoUid.isEmpty()) {
        named = facts.sudoUid;
        const uint uid = facts.sudoUid.toUInt(&numberOk);
        user = numberOk ? accounts.byUid(uid) : std::nullopt;
    }

    if (!named.isEmpty() && !user) {
        plan.launch = false;
        plan.note = QStringLiteral("No browser started: Pagewarden runs as root for \"%1\", who is "
                                   "not a user here. Start Pagewarden as your own user.")
                        .arg(named);
        return plan;
    }
    if (user && user->uid != 0) {
        plan.user = user;
        plan.profileFolder =
            user->home + QStringLiteral("/.local/share/pagewarden/browser-profile");
        plan.note = QStringLiteral("as %1").arg(user->name);
        return plan;
    }
    // Root with nobody behind it (a root login, or sudo from root itself).
    plan.flags << QStringLiteral("--no-sandbox");
    plan.note = QStringLiteral("without its sandbox, since Pagewarden runs as root");
    return plan;
}
