// Building the control panel: every control with its name, caption, tool tip and place.

#include "app/FormTimer.h"
#include "app/MainWindow.h"
#include "app/PictureButton.h"
#include "app/Platform.h"
#include "app/ProductInfo.h"
#include "app/Twips.h"
#include "settings/OptionsPanel.h"
#include "shell/FormStyle.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>

namespace {
// The window's width as designed; its height is set by the load.
constexpr int designWidthTwips = 6600;
constexpr int designHeightTwips = 8400;
// The command layer starts below everything the normal and the enlarged window show.
constexpr int commandLayerTop = 7320;
constexpr int commandWidth = 1815;
constexpr int commandHeight = 360;
constexpr int commandsPerRow = 3;
} // namespace

PictureButton* MainWindow::picture(const char* name, const QString& word, int left, int top,
                                   int width, int height, bool shown, bool accent) {
    auto* button = new PictureButton(QLatin1String(name), word, this, accent);
    button->setGeometry(Twips::rect(left, top, width, height));
    button->setVisible(shown);
    return button;
}

QPushButton* MainWindow::command(const char* name, const QString& caption, const QString& tip) {
    auto* button = findChild<QPushButton*>(QLatin1String(name), Qt::FindDirectChildrenOnly);
    if (!button) {
        button = new QPushButton(caption, this);
        button->setObjectName(QLatin1String(name));
        button->setToolTip(tip);
    }
    const int column = m_commandRow % commandsPerRow;
    const int row = m_commandRow / commandsPerRow;
    button->setGeometry(Twips::rect(120 + column * (commandWidth + 120),
                                    commandLayerTop + row * (commandHeight + 60), commandWidth,
                                    commandHeight));
    ++m_commandRow;
    return button;
}

void MainWindow::buildControls() {
    setObjectName(QStringLiteral("MainWindow"));
    setWidthTwips(designWidthTwips);
    setHeightTwips(designHeightTwips);

    imgIcon = new QLabel(this);
    imgIcon->setObjectName(QStringLiteral("imgIcon"));
    imgIcon->setGeometry(Twips::rect(0, 0, 192, 192));
    imgIcon->setScaledContents(true);

    Picture4 = new QLabel(this);
    Picture4->setObjectName(QStringLiteral("Picture4"));
    Picture4->setGeometry(Twips::rect(4320, 1620, 1800, 420));
    markAsPictureBox(*Picture4);

    label28 = new QLabel(this);
    label28->setObjectName(QStringLiteral("label28"));
    label28->setGeometry(Twips::rect(2880, 130, 3600, 280));

    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(Twips::rect(120, 430, 6360, 480));
    Label2->setWordWrap(true);
    Label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    secsleft = new QLabel(this);
    secsleft->setObjectName(QStringLiteral("secsleft"));
    secsleft->setGeometry(Twips::rect(5880, 1300, 600, 280));

    Label3 = new QLabel(
        QStringLiteral("Look for this icon in lower right of your screen, right click to show "
                       "program "),
        this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setGeometry(Twips::rect(120, 915, 6360, 390));
    Label3->setWordWrap(true);
    Label3->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    browserStatus = new QLabel(this);
    browserStatus->setObjectName(QStringLiteral("browserStatus"));
    browserStatus->setGeometry(Twips::rect(3720, 1275, 2760, 375));
    browserStatus->setWordWrap(true);
    browserStatus->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    placePictureButtons();
    buildCommandLayer();
    buildTrayMenu();
    buildTimers();
}

void MainWindow::placePictureButtons() {
    // First row: start, hide, stop, exit, the log.
    picture("Image1", QStringLiteral("Start"), 120, 120, 396, 216, false, true);
    picture("Image25", QStringLiteral("Hide"), 120, 160, 468, 216, false);
    picture("Image2", QStringLiteral("Stop"), 720, 160, 468, 216, false);
    picture("Image3", QStringLiteral("Exit"), 1320, 160, 420, 216, true);
    picture("Image4", QStringLiteral("View log"), 1920, 160, 828, 216, true);
    picture("Image14", QStringLiteral("View log"), 1920, 160, 828, 216, false);
    picture("Image5", QStringLiteral("View log"), 2880, 160, 828, 216, true);
    // Second row: keep visible / start, options, reset, help.
    picture("Image10", QStringLiteral("Keep visible"), 120, 1320, 1080, 216, true, true);
    picture("Image6", QStringLiteral("Start blocking"), 120, 1320, 1080, 216, false, true);
    picture("Image7", QStringLiteral("Options"), 1476, 1320, 732, 216, true);
    picture("Image8", QStringLiteral("Reset"), 2448, 1320, 504, 216, true);
    picture("Image9", QStringLiteral("Help"), 3120, 1320, 468, 216, true);
    // Third row: update check, about, anti-hijacker.
    picture("Image12", QStringLiteral("Check for update"), 120, 1680, 1512, 216, true);
    picture("Image11", QStringLiteral("About"), 2040, 1680, 588, 216, true);
    picture("Image13", QStringLiteral("Anti-Hijacker"), 2880, 1680, 1116, 216, true);

    for (const char* name : {"Image1", "Image2", "Image4", "Image5", "Image6", "Image7", "Image8",
                             "Image9", "Image11", "Image12", "Image13"})
        findChild<PictureButton*>(QLatin1String(name))->setHandCursor(true);
}

void MainWindow::buildCommandLayer() {
    command("Command3", QStringLiteral("Keep visible"), QStringLiteral("Keep this screen visible"));
    command("Command4", QString(), QString()); // made by the options panel
    command("Command8", QString(), QString()); // made by the options panel
    command("Command7", QStringLiteral("Help"), QStringLiteral("Web help"));
    command("Command9", QStringLiteral("Check for update"),
            QStringLiteral("Checks web site for program updates"));
    command("Command13", QStringLiteral("About"), QStringLiteral("About the product"));
    command("Command14", QStringLiteral("Anti- Hijacker"), QStringLiteral("About the product"));
    command("Command11", QStringLiteral("View log"), QStringLiteral("View list of sites blocked"));
    command("exit", QStringLiteral("Exit"), QString());
    auto* stop = command("stop", QStringLiteral("Stop"), QStringLiteral("Stop popup blocking"));
    stop->setEnabled(false);
    command("go", QStringLiteral("Go!"), QStringLiteral("Start popup blocking"));
    command("Command1", QStringLiteral("Command1"), QString());
    command("Command20", QStringLiteral("Command20"), QString());
    for (int index = 0; index < 2; ++index) {
        auto* button =
            new QPushButton(index == 0 ? QStringLiteral("Start") : QStringLiteral("Stop"), this);
        button->setObjectName(QStringLiteral("Command5"));
        button->setProperty("index", index);
        const int column = m_commandRow % commandsPerRow;
        const int row = m_commandRow / commandsPerRow;
        button->setGeometry(Twips::rect(120 + column * (commandWidth + 120),
                                        commandLayerTop + row * (commandHeight + 60), commandWidth,
                                        commandHeight));
        ++m_commandRow;
    }
    command("cmdOK", QStringLiteral("Close"), QStringLiteral("Close this menu"));
    command("Command2", QStringLiteral("131"), QString());
    command("Command6", QStringLiteral("99"), QString());
    command("Command12", QStringLiteral("Command12"), QString());

    findChild<QPushButton*>(QStringLiteral("Command11"))->setMinimumWidth(0);
}

void MainWindow::buildTrayMenu() {
    m_trayMenu = new QMenu(this);
    m_trayMenu->setObjectName(QStringLiteral("RCPopup"));
    const auto item = [this](const char* name, const QString& caption) {
        auto* action = m_trayMenu->addAction(caption);
        action->setObjectName(QLatin1String(name));
        return action;
    };
    rest1 = item("rest1", QStringLiteral("&Open"));
    msg1 = item("msg1", QString());
    stop_start = item("stop_start", QStringLiteral("&Stop "));
    exit1 = item("exit1", QStringLiteral("&Exit"));
}

void MainWindow::buildTimers() {
    const Clock& clock = *m_platform.clock;
    new FormTimer(QStringLiteral("Timer1"), 500, false, clock, this);
    new FormTimer(QStringLiteral("Timer2"), 10000, false, clock, this);
    new FormTimer(QStringLiteral("Timer3"), 1000, false, clock, this);
    // Enabled at design, but inert until code gives it an interval.
    new FormTimer(QStringLiteral("Timer5"), 0, true, clock, this);
    new FormTimer(QStringLiteral("Timer6"), 600, false, clock, this);
    new FormTimer(QStringLiteral("Timer7"), 2000, true, clock, this);
    new FormTimer(QStringLiteral("Timer8"), 2000, false, clock, this);
}
