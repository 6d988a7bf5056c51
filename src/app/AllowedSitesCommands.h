#pragma once

#include <QObject>
#include <QPointer>

class AllowedSitesWindow;
class LogViewer;
class MainWindow;

// Gives the program its allowed sites: the tray menu's "Allowed sites" item and the panel's
// "Allowed sites" picture open the window, and the log viewer's "Always allow this site" adds the
// selected record's site to the same stored list. Lives as long as the main window.
class AllowedSitesCommands : public QObject {
    Q_OBJECT
public:
    AllowedSitesCommands(MainWindow& window, LogViewer& viewer);

    // Shows the window (made on first use), brought to the front with the list read afresh.
    void show();
    AllowedSitesWindow* window() const;

private:
    MainWindow& m_window;
    QPointer<AllowedSitesWindow> m_sites;
};
