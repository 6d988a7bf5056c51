#include "app/PanelCommands.h"

#include "app/PanelControls.h"
#include "platform/FormTimer.h"
#include "shell/ui/FormStyle.h"
#include "shell/ui/PictureButton.h"

#include <QAction>
#include <QPushButton>
#include <QWidget>

PanelCommands::PanelCommands(QWidget& window, const PanelControls& c) : QObject(&window) {
    const auto onPicture = [this, &c](const char* name, auto handler) {
        connect(c.picture(name), &PictureButton::clicked, this, handler);
    };
    const auto onCommand = [this, &c](const char* name, auto handler) {
        connect(c.command(name), &QPushButton::clicked, this, handler);
    };
    const auto presses = [&c](const char* name) { return [&c, name] { c.press(name); }; };

    onPicture("Image3", [this] { emit exitRequested(); });
    onPicture("Image14", [this] { emit showBlockedLog(); });
    onPicture("Image5", [this, &c] {
        c.timer("Timer1")->setEnabled(false);
        emit showBlockedLog();
    });
    onPicture("Image7", [&c, &window] {
        c.press("Command4");
        centreOnScreen(window);
    });
    onPicture("Image8", presses("Command8"));
    onPicture("Image9", presses("Command7"));
    onPicture("Image12", presses("Command9"));
    onPicture("Image11", presses("Command13"));
    onPicture("Image13", presses("Command14"));
    onPicture("Image15", presses("Command15"));

    onCommand("Command7", [this] { emit openWebHelp(); });
    onCommand("Command9", [this, &c] {
        c.timer("Timer2")->setEnabled(false);
        emit checkForUpdate();
    });
    onCommand("Command14", [this] { emit antiHijackerPanel(); });
    onCommand("Command15", [this] { emit allowedSites(); });
    onCommand("Command13", [this] { emit aboutRequested(); });
    onCommand("exit", [this] { emit exitRequested(); });
    onCommand("cmdOK", [this] { emit closeRequested(); });
    onCommand("Command2", [&window] { window.close(); });
    // "View log", "Go!", "99" and "Command12" have no work of their own: the log opens from
    // the pictures, and blocking starts from the others.
    connect(c.msg1, &QAction::triggered, this, &PanelCommands::showBlockedLog);
    connect(c.exit1, &QAction::triggered, this, [&c] { c.press("exit"); });
}
