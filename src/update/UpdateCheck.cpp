#include "update/UpdateCheck.h"

#include "platform/BusyPointer.h"
#include "platform/MessageBoxes.h"
#include "platform/ProcessExit.h"
#include "settings/SettingsStore.h"
#include "update/ManifestFetcher.h"
#include "update/UpdateLogging.h"

#include <QPointer>
#include <QScopeGuard>

UpdateCheck::UpdateCheck(Services services, QObject* parent)
    : QObject(parent), m_s(std::move(services)) {}

QUrl UpdateCheck::manifestAddress() const {
    return QUrl(m_s.vendorSiteUrl + QStringLiteral("/distpart/") + QStringLiteral("allver.txt"));
}

bool UpdateCheck::check_for_update(bool manual) {
    if (m_running) {
        qCInfo(lcUpdate) << "an update check is already waiting; this request is ignored";
        return false;
    }
    if (m_s.vendorSiteUrl.trimmed().isEmpty()) {
        qCInfo(lcUpdate) << "no update address is set; no check";
        if (manual)
            tell(QStringLiteral(
                     "No update address is set, so %1 cannot check for a newer version. To check, "
                     "set vendor_site_url in section [Advanced] of the settings file %2 to the "
                     "address of the site that offers the updates (the site that holds "
                     "distpart/allver.txt).")
                     .arg(m_s.applicationTitle, m_s.settingsFile));
        emit finished();
        return false;
    }
    m_running = true;
    m_manual = manual;
    // The transfer is cancelled when blocking is stopped while it waits, not merely because
    // blocking was already off when the check began.
    m_stopSeen = m_s.blockingStopped && m_s.blockingStopped();
    const auto stopping = [this] {
        const bool stopped = m_s.blockingStopped && m_s.blockingStopped();
        const bool justStopped = stopped && !m_stopSeen;
        m_stopSeen = stopped;
        return justStopped;
    };
    m_s.fetcher->fetch(manifestAddress(), stopping,
                       [this](bool ok, const QByteArray& body) { manifestArrived(ok, body); });
    return true;
}

void UpdateCheck::manifestArrived(bool ok, const QByteArray& body) {
    const auto done = qScopeGuard([this] {
        m_running = false;
        emit finished();
    });
    // A failed fetch reads as an empty manifest: nothing is found.
    const QString response = ok ? QString::fromUtf8(body) : QString();
    const ManifestLookup lookup = readManifestEntry(response, m_s.applicationTitle, m_values);
    if (lookup == ManifestLookup::NotFound) {
        if (m_manual)
            m_s.messages->information(m_s.applicationTitle,
                                      noNewUpdatesText(m_s.applicationTitle, m_s.programVersion));
        return;
    }
    if (lookup == ManifestLookup::EntryUnused)
        qCInfo(lcUpdate) << "the manifest's entry for this product is not usable";
    compareAndOffer();
}

void UpdateCheck::compareAndOffer() {
    // Another major release (or no version at all) is not ours to offer, not even when asked.
    if (!sameMajorRelease(m_values.serverVersion, m_s.majorVersion))
        return;
    const bool newer = textGreater(m_values.serverVersion, m_s.programVersion);
    if (!newer && m_manual)
        m_s.messages->information(m_s.applicationTitle,
                                  noNewUpdatesText(m_s.applicationTitle, m_s.programVersion));
    SettingsStore& store = *m_s.store;
    store.save_state();
    const bool announce =
        textGreater(m_values.serverVersion, store.savedProductVersion) || (newer && m_manual);
    if (!announce)
        return;

    const QString answer =
        m_s.showBulletin
            ? m_s.showBulletin(bulletinText(m_s.applicationTitle, m_values, m_manual), m_manual)
            : QStringLiteral("No");
    // The version counts as announced whatever the answer.
    store.savedProductVersion = m_values.serverVersion;
    store.save_state();
    if (answer == QLatin1String("Yes"))
        acceptUpdate();
}

void UpdateCheck::tell(const QString& text) const {
    if (m_s.messages)
        m_s.messages->information(m_s.applicationTitle, text);
}

void UpdateCheck::acceptUpdate() {
    if (m_s.pointer)
        m_s.pointer->setDefault();
    const auto address = webAddress(m_values.updateLocation);
    if (!address) {
        qCInfo(lcUpdate) << "the download address is not a web address:"
                         << m_values.updateLocation.left(200);
        tell(QStringLiteral("The download address \"%1\" is refused: it is not a web address "
                            "(http:// or https://). %2 keeps running as it is.")
                 .arg(m_values.updateLocation.left(200), m_s.applicationTitle));
        return;
    }
    if (!m_s.openDownload) {
        tell(QStringLiteral("No web browser is available to open the download %1. %2 keeps "
                            "running as it is.")
                 .arg(address->toString(), m_s.applicationTitle));
        return;
    }
    // The update replaces the program, so it ends, without storing the options; but only once the
    // user's browser has the download, since nothing would show it after we are gone.
    const QPointer<UpdateCheck> self(this);
    m_s.openDownload(*address, [this, self](bool ok, const QString& failure) {
        if (!self)
            return;
        if (ok) {
            qCInfo(lcUpdate) << "the download is open; the program ends for the update";
            m_s.processExit->exitNow(0);
            return;
        }
        tell(QStringLiteral("%1 %2 keeps running as it is.").arg(failure, m_s.applicationTitle));
    });
}
