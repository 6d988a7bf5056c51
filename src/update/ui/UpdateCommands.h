#pragma once

#include <QObject>
#include <QString>
#include <functional>

class BusyPointer;
class Clock;
class DocumentOpener;
class FormTimer;
class MessageBoxes;
class NetworkManifestFetcher;
class ProcessExit;
class SettingsStore;
class UpdateCheck;
class WebPageOpener;
class QWidget;
struct ColourScheme;

// The update check behind "Check for update" (Command9), the automatic check 10 s after a hidden
// start (Timer2) and the about box's version line, with its bulletin. The program's wiring hands
// it what it needs and calls manualCheck for the commands; it lives as long as `window`.
class UpdateCommands : public QObject {
    Q_OBJECT
public:
    struct Setup {
        QString vendorSiteUrl = {};  // empty: no update address is set
        QString programVersion = {}; // empty: the running program's
        int majorVersion = -1;       // negative: the running program's
        // The program's opener of web pages and documents; may give none.
        std::function<DocumentOpener*()> documents = {};
        // The user's own browser, which the download opens in and which outlives the program.
        WebPageOpener* downloads = nullptr;
        // Where the user sets the update address, for the message that says none is set.
        QString settingsFile = {};

        // The window the bulletin belongs to, and what the check runs on.
        QWidget* window = nullptr;
        const Clock* clock = nullptr;
        SettingsStore* store = nullptr;
        MessageBoxes* messages = nullptr;
        BusyPointer* busyPointer = nullptr; // may be missing
        ProcessExit* processExit = nullptr;
        const ColourScheme* scheme = nullptr;
        FormTimer* timer2 = nullptr;
        std::function<bool()> blockingStopped = {};
    };

    explicit UpdateCommands(Setup setup);
    ~UpdateCommands() override;

    UpdateCheck& check() const { return *m_check; }

    // A check the user asked for.
    void manualCheck();

private:
    QString showBulletin(const QString& message);

    Setup m_setup;
    NetworkManifestFetcher* m_fetcher = nullptr;
    UpdateCheck* m_check = nullptr;
};
