#include "update/UpdateCheck.h"

#include "platform/BusyPointer.h"
#include "platform/MessageBoxes.h"
#include "platform/ProcessExit.h"
#include "platform/Waits.h"
#include "settings/SettingsStore.h"
#include "update/ManifestFetcher.h"
#include "update/UpdateLogging.h"

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

void UpdateCheck::acceptUpdate() {
    if (m_s.pointer)
        m_s.pointer->setDefault();
    if (const auto address = webAddress(m_values.updateLocation)) {
        if (m_s.openWebPage)
            m_s.openWebPage(*address);
        // Let the request to open the page leave before the process goes.
        Wait::processPendingEvents();
    } else {
        qCInfo(lcUpdate) << "the download address is not a web address:"
                         << m_values.updateLocation.left(200);
    }
    // The update replaces the program, so it ends now, without storing the options.
    m_s.processExit->exitNow(0);
}
