#include "app/Startup.h"

#include "app/AllowedSitesCommands.h"
#include "app/FeatureWiring.h"
#include "app/MainWindow.h"
#include "app/Platform.h"
#include "app/TrayController.h"
#include "blocking/BlockingSession.h"
#include "blocking/ui/LogViewer.h"
#include "platform/BusyPointer.h"
#include "platform/InstanceLock.h"
#include "platform/MessageBoxes.h"
#include "platform/Paths.h"
#include "platform/SettingsBackend.h"
#include "platform/Waits.h"
#include "settings/ProductInfo.h"
#include "shell/ui/Artwork.h"
#include "shell/ui/FormStyle.h"
#include "splash/SplashScreen.h"

#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QUrl>
#include <cstdio>

namespace {
// Each of the two start-up pauses, in seconds.
constexpr double startDelay = 5.0;

QString advancedSetting(SettingsBackend& backend, const QString& key, const QString& fallback) {
    const QString value =
        backend.read(QStringLiteral("Advanced"), key, QString()).value_or(QString()).trimmed();
    return value.isEmpty() ? fallback : value;
}
} // namespace

Startup::Startup(Platform& platform) : m_platform(platform), m_store(*platform.settings) {}

Startup::~Startup() {
    unloadSplash();
}

void Startup::step(const QString& what) {
    if (onStep)
        onStep(what);
}

void Startup::unloadSplash() {
    if (m_splash) {
        m_splash->close();
        delete m_splash;
        step(QStringLiteral("splash closed"));
    }
}

void Startup::connectWindow() {
    MainWindow& window = *m_window;
    // The update check behind "Check for update", the hidden start's timer and the about box.
    connectUpdateCommands(window, {.vendorSiteUrl = vendorSiteUrl,
                                   .documents = [this] { return m_documents.get(); }});
    if (m_platform.browserStatus)
        window.showBrowserStatus(m_platform.browserStatus());
    m_documents =
        std::make_unique<DocumentOpener>(m_platform.webPages, *m_platform.messages,
                                         ProductInfo::applicationTitle(), m_platform.openFile);
    m_documents->vendorSiteUrl = vendorSiteUrl;
    m_documents->productPageUrl = productPageUrl;
    m_logViewer = connectLogViewer(window, *m_documents);
    new AllowedSitesCommands(window, *m_logViewer);
}

bool Startup::Main() {
    const bool debugMode = QFile::exists(m_platform.dataFolder + QStringLiteral("/debug.txt"));

    // No vendor's site unless the user sets one: then pages open without a page of it first and
    // the update check says where to set it.
    vendorSiteUrl =
        advancedSetting(*m_platform.settings, QStringLiteral("vendor_site_url"), QString());

    if (InstanceLock* lock = m_platform.instanceLock) {
        if (!lock->tryLock()) {
            // The running one brings its panel to the front, and this one ends. When none could
            // be told, the user hears why nothing appeared.
            if (lock->askHolderToShow()) {
                step(QStringLiteral("another instance runs, told to show"));
                return false;
            }
            const QString why =
                QStringLiteral("Pagewarden did not start: %1.").arg(lock->whyNotLocked());
            step(QStringLiteral("another instance runs and does not answer"));
            std::fprintf(stderr, "pagewarden: %s\n", qPrintable(why));
            if (m_platform.messages)
                m_platform.messages->information(ProductInfo::applicationTitle(), why);
            return false;
        }
        QObject::connect(lock, &InstanceLock::showRequested, &m_receiver, [this] {
            if (m_window)
                m_window->tray().bringToFront();
            else
                m_showWhenReady = true;
            step(QStringLiteral("asked to show"));
        });
    }

    if (m_platform.startBrowser)
        m_platform.startBrowser();

    // Help opens the manual installed with the program.
    const QString manual = Paths::manualFile();
    productPageUrl = advancedSetting(
        *m_platform.settings, QStringLiteral("product_page_url"),
        manual.isEmpty() ? QString() : QUrl::fromLocalFile(manual).toString(QUrl::FullyEncoded));
    const QString title = ProductInfo::applicationTitle();
    QGuiApplication::setApplicationDisplayName(title);
    m_store.load_saved_state();

    // Version bookkeeping: the running version replaces a smaller saved one.
    QString programVersion = ProductInfo::programVersion();
    if (programVersion > m_store.savedProductVersion) {
        m_store.savedProductVersion = programVersion;
        m_store.save_state();
    }

    bool isNumber = false;
    hideOnStart = m_store.getOption(SettingsKeys::hideOnStart, QStringLiteral("0"))
                      .trimmed()
                      .toInt(&isNumber);
    if (!isNumber)
        hideOnStart = 0;

    if (hideOnStart != 1) {
        m_splash = new SplashScreen(*m_platform.clock);
        const QPixmap picture = Artwork::resourcePicture(6030);
        m_splash->setPicture(picture);
        m_splash->show();
        m_splash->repaint();
        centreOnScreen(*m_splash);
        step(QStringLiteral("splash shown"));
    }

    m_platform.busyPointer->setBusy();
    step(QStringLiteral("busy pointer"));

    step(QStringLiteral("first wait"));
    waitSeconds(*m_platform.clock, startDelay);

    programVersion = ProductInfo::programVersion();
    m_store.load_saved_state();
    if (m_store.savedProductVersion.isEmpty()) {
        m_store.savedProductVersion = programVersion;
        m_store.save_state();
    }

    m_window = std::make_unique<MainWindow>(m_platform, m_store, m_scheme);
    m_window->session().setDebugMode(debugMode);
    m_window->setHideOnStart(hideOnStart);
    m_window->setSplashCloser([this] { unloadSplash(); });
    connectWindow();
    if (hideOnStart != 1) {
        m_window->load();
        m_window->show();
        m_window->activateWindow();
        m_window->setFocus();
        centreOnScreen(*m_window);
        step(QStringLiteral("main window shown"));
    } else {
        m_window->setVisible(false);
        m_window->load();
        m_window->hide();
        step(QStringLiteral("main window loaded hidden"));
    }

    if (m_showWhenReady)
        m_window->tray().bringToFront();
    // Told now, not once the start-up is over: blocking may keep it from ever being over.
    if (!notice.isEmpty()) {
        std::fprintf(stderr, "pagewarden: %s\n", qPrintable(notice));
        m_platform.messages->information(title, notice);
    }

    step(QStringLiteral("second wait"));
    waitSeconds(*m_platform.clock, startDelay);

    unloadSplash();
    m_platform.busyPointer->setDefault();
    step(QStringLiteral("start-up done"));
    return true;
}
