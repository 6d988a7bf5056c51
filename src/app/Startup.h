#pragma once

#include "settings/SettingsStore.h"
#include "shell/ColourScheme.h"
#include "shell/DocumentOpener.h"
#include "splash/SplashScreen.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>

class LogViewer;
class MainWindow;
class SplashScreen;
struct Platform;

// The start-up routine: single instance, stored state, the splash, the two pauses and the main
// window. It returns once start-up is over; the program then lives on the window's events.
class Startup {
public:
    explicit Startup(Platform& platform);
    ~Startup();

    // Runs the start-up. False when another instance already runs: nothing was shown and the
    // process should end at once.
    bool Main();

    // Each step reports itself here as it happens ("splash shown", "main window shown" …).
    std::function<void(const QString&)> onStep;

    MainWindow* mainWindow() const { return m_window.get(); }
    SplashScreen* splash() const { return m_splash; }
    SettingsStore& store() { return m_store; }

    // Opens web pages and files for the panel's commands; made once the window exists.
    DocumentOpener* documents() const { return m_documents.get(); }

    // Told to the user, on the terminal and in a box, as soon as the window is up.
    QString notice;
    QString vendorSiteUrl;
    QString productPageUrl;
    int hideOnStart = 0;

private:
    void step(const QString& what);
    void unloadSplash();
    void connectWindow();

    Platform& m_platform;
    SettingsStore m_store;
    ColourScheme m_scheme;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<DocumentOpener> m_documents;
    std::unique_ptr<LogViewer> m_logViewer;
    QPointer<SplashScreen> m_splash;
    // Hears a second start; one that came before the window is answered once it exists.
    QObject m_receiver;
    bool m_showWhenReady = false;
};
