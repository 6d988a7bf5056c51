#pragma once

#include <QHash>
#include <QString>
#include <array>

class FormTimer;
class PictureButton;
class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QWidget;
class Clock;

// The control panel's named controls, built from the control table and handed to the parts of the
// main window that work them. Each part reaches a control through here, never by searching the
// window.
struct PanelControls {
    QLabel* imgIcon = nullptr;
    QLabel* Picture4 = nullptr;
    QLabel* label28 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* secsleft = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* browserStatus = nullptr;

    QHash<QString, PictureButton*> pictures;
    QHash<QString, QPushButton*> commands;  // all but Command5
    std::array<QPushButton*, 2> command5{}; // start, stop

    QMenu* trayMenu = nullptr;
    QAction* rest1 = nullptr;
    QAction* msg1 = nullptr;
    QAction* stop_start = nullptr;
    QAction* exit1 = nullptr;

    QHash<QString, FormTimer*> timers;

    PictureButton* picture(const char* name) const;
    QPushButton* command(const char* name) const;
    FormTimer* timer(const char* name) const;
    // Clicks a command button (the pictures press the layer of commands this way).
    void press(const char* name) const;
};

// Makes every control of the table on `window` (the options panel's two command buttons must
// already be there) and the window's timers.
void buildPanelControls(QWidget& window, PanelControls& controls, const Clock& clock);
