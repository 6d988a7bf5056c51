#include "update/ui/UpdateCommands.h"

#include "platform/BusyPointer.h"
#include "platform/FormTimer.h"
#include "platform/WebPageOpener.h"
#include "platform/ui/GuiAdapters.h"
#include "settings/ProductInfo.h"
#include "shell/DocumentOpener.h"
#include "update/ManifestFetcher.h"
#include "update/UpdateCheck.h"
#include "update/UpdateLogging.h"
#include "update/ui/NewVersionInfo.h"

#include <QUrl>

UpdateCommands::UpdateCommands(Setup setup) : QObject(setup.window), m_setup(std::move(setup)) {
    m_fetcher = new NetworkManifestFetcher(*m_setup.clock, this);

    UpdateCheck::Services s;
    s.fetcher = m_fetcher;
    s.store = m_setup.store;
    s.messages = m_setup.messages;
    s.pointer = m_setup.busyPointer;
    s.processExit = m_setup.processExit;
    s.blockingStopped = m_setup.blockingStopped;
    s.showBulletin = [this](const QString& message, bool) { return showBulletin(message); };
    if (WebPageOpener* downloads = m_setup.downloads) {
        s.openDownload = [downloads](const QUrl& address, UpdateCheck::Opened opened) {
            downloads->openPage(QString(), address.toString(QUrl::FullyEncoded), std::move(opened));
        };
    }
    s.applicationTitle = ProductInfo::applicationTitle();
    s.programVersion =
        m_setup.programVersion.isEmpty() ? ProductInfo::programVersion() : m_setup.programVersion;
    s.majorVersion = m_setup.majorVersion < 0 ? ProductInfo::majorVersion() : m_setup.majorVersion;
    s.vendorSiteUrl = m_setup.vendorSiteUrl;
    s.settingsFile = m_setup.settingsFile;
    m_check = new UpdateCheck(std::move(s), this);

    if (FormTimer* timer2 = m_setup.timer2) {
        connect(timer2, &FormTimer::tick, this, [this, timer2] {
            m_check->check_for_update(false);
            timer2->setEnabled(false);
        });
    }
}

UpdateCommands::~UpdateCommands() = default;

void UpdateCommands::manualCheck() {
    m_check->check_for_update(true);
}

QString UpdateCommands::showBulletin(const QString& message) {
    if (BusyPointer* pointer = m_setup.busyPointer)
        pointer->setDefault();
    NewVersionInfo bulletin(message, *m_setup.scheme, m_setup.window);
    bulletin.openFeatures = [this] {
        // The vendor's page about what the new version brings; the opener adds the language.
        if (DocumentOpener* documents = m_setup.documents ? m_setup.documents() : nullptr)
            documents->OpenVendorPage(m_setup.vendorSiteUrl + QStringLiteral("/pagewarden") +
                                      QStringLiteral("_new_ver_features"));
    };
    runModal(bulletin); // blocking goes on while the bulletin waits
    return bulletin.bulletinAnswer;
}
