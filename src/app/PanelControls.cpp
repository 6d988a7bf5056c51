#include "app/PanelControls.h"

#include "app/ControlTable.h"
#include "platform/FormTimer.h"
#include "shell/ui/FormStyle.h"
#include "shell/ui/PictureButton.h"
#include "shell/ui/Twips.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

PictureButton* PanelControls::picture(const char* name) const {
    return pictures.value(QLatin1String(name));
}

QPushButton* PanelControls::command(const char* name) const {
    return commands.value(QLatin1String(name));
}

FormTimer* PanelControls::timer(const char* name) const {
    return timers.value(QLatin1String(name));
}

void PanelControls::press(const char* name) const {
    if (QPushButton* button = command(name))
        button->click();
}

namespace {

void buildLabels(QWidget& window, PanelControls& c) {
    QHash<QString, QLabel*> made;
    for (const ControlTable::Label& entry : ControlTable::labels()) {
        auto* label = new QLabel(QString::fromUtf8(entry.text), &window);
        label->setObjectName(QLatin1String(entry.name));
        label->setGeometry(Twips::rect(entry.left, entry.top, entry.width, entry.height));
        if (entry.wrap) {
            label->setWordWrap(true);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        }
        made.insert(label->objectName(), label);
    }
    c.imgIcon = made.value(QStringLiteral("imgIcon"));
    c.Picture4 = made.value(QStringLiteral("Picture4"));
    c.label28 = made.value(QStringLiteral("label28"));
    c.Label2 = made.value(QStringLiteral("Label2"));
    c.secsleft = made.value(QStringLiteral("secsleft"));
    c.Label3 = made.value(QStringLiteral("Label3"));
    c.browserStatus = made.value(QStringLiteral("browserStatus"));
    c.imgIcon->setScaledContents(true);
    markAsPictureBox(*c.Picture4);
    c.browserStatus->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void buildPictures(QWidget& window, PanelControls& c) {
    for (const ControlTable::Picture& entry : ControlTable::pictures()) {
        auto* button = new PictureButton(QLatin1String(entry.name), QString::fromUtf8(entry.word),
                                         &window, entry.accent);
        button->setGeometry(Twips::rect(entry.left, entry.top, entry.width, entry.height));
        button->setVisible(entry.shown);
        button->setHandCursor(entry.hand);
        c.pictures.insert(QLatin1String(entry.name), button);
    }
}

void buildCommands(QWidget& window, PanelControls& c) {
    using namespace ControlTable;
    int place = 0;
    int command5 = 0;
    for (const Command& entry : commands()) {
        const QString name = QLatin1String(entry.name);
        QPushButton* button = nullptr;
        if (!entry.caption) {
            button = window.findChild<QPushButton*>(name, Qt::FindDirectChildrenOnly);
        } else {
            button = new QPushButton(QString::fromUtf8(entry.caption), &window);
            button->setObjectName(name);
            button->setToolTip(QString::fromUtf8(entry.tip));
        }
        if (!button)
            continue;
        const int column = place % commandsPerRow;
        const int row = place / commandsPerRow;
        button->setGeometry(Twips::rect(120 + column * (commandWidth + 120),
                                        commandLayerTop + row * (commandHeight + 60), commandWidth,
                                        commandHeight));
        ++place;
        // The pictures press these; the user never reaches them, not even with the keyboard.
        button->setVisible(false);
        if (name == QLatin1String("Command5")) {
            button->setProperty("index", command5);
            c.command5.at(command5++) = button;
        } else {
            c.commands.insert(name, button);
        }
    }
    c.command("stop")->setEnabled(false);
    c.command("Command11")->setMinimumWidth(0);
}

void buildTrayMenu(QWidget& window, PanelControls& c) {
    c.trayMenu = new QMenu(&window);
    c.trayMenu->setObjectName(QStringLiteral("RCPopup"));
    const auto item = [&c](const char* name, const QString& caption) {
        QAction* action = c.trayMenu->addAction(caption);
        action->setObjectName(QLatin1String(name));
        return action;
    };
    c.rest1 = item("rest1", QStringLiteral("&Open"));
    c.msg1 = item("msg1", QString());
    c.stop_start = item("stop_start", QStringLiteral("&Stop "));
    c.exit1 = item("exit1", QStringLiteral("&Exit"));
}

void buildTimers(QWidget& window, PanelControls& c, const Clock& clock) {
    const auto timer = [&](const char* name, int interval, bool enabled) {
        c.timers.insert(QLatin1String(name),
                        new FormTimer(QLatin1String(name), interval, enabled, clock, &window));
    };
    timer("Timer1", 500, false);   // the countdown's start
    timer("Timer2", 10000, false); // the update check after a hidden start
    // Enabled as designed, but inert until the hide gives it an interval.
    timer("Timer5", 0, true);
    timer("Timer6", 600, false); // the tray's start: restore and press start
    timer("Timer7", 2000, true);
    timer("Timer8", 2000, false); // the pause before the countdown of a shown start
}

} // namespace

void buildPanelControls(QWidget& window, PanelControls& controls, const Clock& clock) {
    buildLabels(window, controls);
    buildPictures(window, controls);
    buildCommands(window, controls);
    buildTrayMenu(window, controls);
    buildTimers(window, controls, clock);
}
