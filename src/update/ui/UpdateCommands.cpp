#include "update/ui/UpdateCommands.h"

#include "app/AboutBox.h"
#include "app/MainWindow.h"
#include "app/PanelCommands.h"
#include "app/Platform.h"
#include "blocking/BlockingSession.h"
#include "platform/BusyPointer.h"
#include "platform/FormTimer.h"
#include "platform/ui/GuiAdapters.h"
#include "settings/ProductInfo.h"
#include "shell/DocumentOpener.h"
#include "update/ManifestFetcher.h"
#include "update/UpdateCheck.h"
#include "update/UpdateLogging.h"
#include "update/ui/NewVersionInfo.h"

#include <QChildEvent>

UpdateCommands::UpdateCommands(MainWindow& window, Setup setup)
    : QObject(&window), m_window(window), m_setup(std::move(setup)) {
    Platform& platform = window.platform();
    m_fetcher = new NetworkManifestFetcher(*platform.clock, this);

    UpdateCheck::Services s;
    s.fetcher = m_fetcher;
    s.store = &window.store();
    s.messages = platform.messages;
    s.pointer = platform.busyPointer;
    s.processExit = platform.processExit;
    const BlockingSession& session = window.session();
    s.blockingStopped = [&session] { return session.stopped(); };
    s.showBulletin = [this](const QString& message, bool) { return showBulletin(message); };
    s.openWebPage = [this](const QUrl& address) {
        openWebPage(address.toString(QUrl::FullyEncoded));
    };
    s.applicationTitle = ProductInfo::applicationTitle();
    s.programVersion =
        m_setup.programVersion.isEmpty() ? ProductInfo::programVersion() : m_setup.programVersion;
    s.majorVersion = m_setup.majorVersion < 0 ? ProductInfo::majorVersion() : m_setup.majorVersion;
    s.vendorSiteUrl = m_setup.vendorSiteUrl;
    m_check = new UpdateCheck(std::move(s), this);

    // "Check for update" has already switched the automatic check off when this runs.
    connect(&window.commands(), &PanelCommands::checkForUpdate, this, &UpdateCommands::manualCheck);
    FormTimer* timer2 = window.controls().timer("Timer2");
    connect(timer2, &FormTimer::tick, this, [this, timer2] {
        m_check->check_for_update(false);
        timer2->setEnabled(false);
    });
    // Each "About" makes a new about box; its version line is connected once the box is made.
    window.installEventFilter(this);
}

UpdateCommands::~UpdateCommands() = default;

bool UpdateCommands::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &m_window && event->type() == QEvent::ChildPolished) {
        if (auto* box = qobject_cast<AboutBox*>(static_cast<QChildEvent*>(event)->child()))
            connect(box, &AboutBox::updateCheckRequested, this, &UpdateCommands::manualCheck,
                    Qt::UniqueConnection);
    }
    return QObject::eventFilter(watched, event);
}

void UpdateCommands::manualCheck() {
    m_check->check_for_update(true);
}

QString UpdateCommands::showBulletin(const QString& message) {
    if (BusyPointer* pointer = m_window.platform().busyPointer)
        pointer->setDefault();
    NewVersionInfo bulletin(message, m_window.scheme(), &m_window);
    bulletin.openFeatures = [this] {
        // The vendor's page about what the new version brings; the opener adds the language.
        if (DocumentOpener* documents = m_setup.documents ? m_setup.documents() : nullptr)
            documents->OpenVendorPage(m_setup.vendorSiteUrl + QStringLiteral("/pagewarden") +
                                      QStringLiteral("_new_ver_features"));
    };
    runModal(bulletin); // blocking goes on while the bulletin waits
    return bulletin.bulletinAnswer;
}

void UpdateCommands::openWebPage(const QString& address) {
    DocumentOpener* documents = m_setup.documents ? m_setup.documents() : nullptr;
    if (documents)
        documents->OpenDocument(QStringLiteral("web"), address);
    else
        qCInfo(lcUpdate) << "no way to open web pages; not opened:" << address;
}
