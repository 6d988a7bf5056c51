#pragma once

#include <QObject>

class QWidget;
struct PanelControls;

// The panel's commands that other parts of the program carry out: each picture and command button
// reaches its one signal here. The start-up routine and the features connect to these signals.
class PanelCommands : public QObject {
    Q_OBJECT
public:
    PanelCommands(QWidget& window, const PanelControls& controls);

signals:
    void showBlockedLog();    // Image14, Image5, the tray's count line
    void openWebHelp();       // Command7 (Image9)
    void checkForUpdate();    // Command9 (Image12)
    void antiHijackerPanel(); // Command14 (Image13)
    void allowedSites();      // Command15 (Image15)
    void aboutRequested();    // Command13 (Image11)
    void exitRequested();     // exit, Image3, the tray's Exit
    void closeRequested();    // cmdOK: the window goes out of the way
};
