// The control panel's picture buttons and command buttons: each click reaches its one handler.

#include "app/FormTimer.h"
#include "app/MainWindow.h"
#include "app/PictureButton.h"
#include "shell/FormStyle.h"

#include <QPushButton>

void MainWindow::wirePictureButtons() {
    const auto onPicture = [this](const char* name, auto handler) {
        connect(findChild<PictureButton*>(QLatin1String(name)), &PictureButton::clicked, this,
                handler);
    };
    const auto onCommand = [this](const char* name, auto handler) {
        connect(findChild<QPushButton*>(QLatin1String(name)), &QPushButton::clicked, this, handler);
    };
    const auto run = [](const std::function<void()>& work) {
        if (work)
            work();
    };

    onPicture("Image1", [this, run] { run(startBlocking); });
    onPicture("Image25", [this] { hideWithoutBlocking(); });
    onPicture("Image2", [this, run] { run(stopBlocking); });
    onPicture("Image3", [this] { exitCommand(); });
    onPicture("Image14", [this, run] { run(showBlockedLog); });
    onPicture("Image5", [this, run] {
        timer(QStringLiteral("Timer1"))->setEnabled(false);
        run(showBlockedLog);
    });
    onPicture("Image10", [this] { press("Command3"); });
    onPicture("Image6", [this] { press("Command3"); });
    onPicture("Image7", [this] {
        press("Command4");
        centreOnScreen(*this);
    });
    onPicture("Image8", [this] { press("Command8"); });
    onPicture("Image9", [this] { press("Command7"); });
    onPicture("Image12", [this] { press("Command9"); });
    onPicture("Image11", [this] { press("Command13"); });
    onPicture("Image13", [this] { press("Command14"); });

    onCommand("Command7", [this, run] { run(openWebHelp); });
    onCommand("Command9", [this, run] {
        timer(QStringLiteral("Timer2"))->setEnabled(false);
        run(checkForUpdate);
    });
    onCommand("Command14", [this, run] { run(antiHijackerPanel); });
    onCommand("stop", [this, run] { run(stopBlocking); });
    onCommand("cmdOK", [this] { hide(); });
    onCommand("Command2", [this] { close(); });
    // "View log", "Go!", "99" and "Command12" have no work of their own: the log opens from
    // the pictures, and blocking starts from the others.

    for (QPushButton* button : findChildren<QPushButton*>(QStringLiteral("Command5"))) {
        const bool isStart = button->property("index").toInt() == 0;
        connect(button, &QPushButton::clicked, this, [this, button, isStart, run] {
            button->setEnabled(false);
            run(isStart ? startBlocking : stopBlocking);
        });
    }
}
