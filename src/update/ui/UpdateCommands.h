#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class DocumentOpener;
class MainWindow;
class NetworkManifestFetcher;
class UpdateCheck;

// Connects the update check to the control panel: "Check for update" (Command9), the automatic
// check 10 s after a hidden start (Timer2) and the about box's version line. Lives as long as the
// window it serves.
class UpdateCommands : public QObject {
    Q_OBJECT
public:
    struct Setup {
        QString vendorSiteUrl = {};
        QString programVersion = {}; // empty: the running program's
        int majorVersion = -1;       // negative: the running program's
        // The program's opener of web pages and documents; may give none.
        std::function<DocumentOpener*()> documents = {};
    };

    UpdateCommands(MainWindow& window, Setup setup);
    ~UpdateCommands() override;

    UpdateCheck& check() const { return *m_check; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString showBulletin(const QString& message);
    void openWebPage(const QString& address);
    void manualCheck();

    MainWindow& m_window;
    Setup m_setup;
    NetworkManifestFetcher* m_fetcher = nullptr;
    UpdateCheck* m_check = nullptr;
};
