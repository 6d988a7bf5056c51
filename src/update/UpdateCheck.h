#pragma once

#include "update/UpdateManifest.h"

#include <QObject>
#include <QString>
#include <functional>

class BusyPointer;
class ManifestFetcher;
class MessageBoxes;
class ProcessExit;
class SettingsStore;

// Asks the vendor's site whether a newer version exists, and offers it. The automatic check
// tells the user only about a version not announced before; a check the user asked for also says
// when there is nothing new and offers a newer version even if it was announced already.
class UpdateCheck : public QObject {
    Q_OBJECT
public:
    using Opened = std::function<void(bool ok, const QString& failure)>;

    struct Services {
        ManifestFetcher* fetcher = nullptr;
        SettingsStore* store = nullptr;
        MessageBoxes* messages = nullptr;
        BusyPointer* pointer = nullptr; // may be missing
        ProcessExit* processExit = nullptr;
        std::function<bool()> blockingStopped; // the stop flag of the blocking cycle
        // Shows the bulletin modally with this message; returns the answer, "Yes" or "No".
        std::function<QString(const QString& message, bool manual)> showBulletin;
        // Opens the download in the user's own browser, in a way that outlives this program, and
        // tells through `opened` (true, or false with a description) once that is settled.
        std::function<void(const QUrl& address, Opened opened)> openDownload;

        QString applicationTitle;
        QString programVersion; // major.minor.revision
        int majorVersion = 0;
        QString vendorSiteUrl; // scheme and host, no "/" at the end; empty: none is set
        QString settingsFile;  // where the user sets it
    };

    explicit UpdateCheck(Services services, QObject* parent = nullptr);

    // Starts a check and returns at once; its messages and the bulletin follow when the manifest
    // is in. A request while another check is under way is ignored (false).
    bool check_for_update(bool manual);

    bool running() const { return m_running; }
    QUrl manifestAddress() const;
    const ManifestValues& values() const { return m_values; }

signals:
    // A check is over, whatever it found. After a "Yes" the program ends once the download has
    // opened; until then it keeps running.
    void finished();

private:
    void manifestArrived(bool ok, const QByteArray& body);
    void compareAndOffer();
    void acceptUpdate();
    void tell(const QString& text) const;

    Services m_s;
    ManifestValues m_values; // kept from one check to the next within a run
    bool m_running = false;
    bool m_manual = false;
    bool m_stopSeen = false;
};
