#include "app/MainWindow.h"

#include "app/AboutBox.h"
#include "app/FormTimer.h"
#include "app/Paths.h"
#include "app/PictureButton.h"
#include "app/Platform.h"
#include "app/ProductInfo.h"
#include "app/ProgramState.h"
#include "app/Twips.h"
#include "blocking/BlockedLog.h"
#include "blocking/BlockingController.h"
#include "hijack/ui/AntiHijacker.h"
#include "platform/BrowserWindows.h"
#include "platform/ProcessExit.h"
#include "settings/OptionsPanel.h"
#include "settings/SettingsStore.h"
#include "shell/Artwork.h"
#include "shell/ColourScheme.h"
#include "shell/FormStyle.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>

namespace {
// The window's height at the end of its load: the three rows of pictures and the texts between.
constexpr int loadedHeightTwips = 2184;
} // namespace

MainWindow::MainWindow(Platform& platform, ProgramState& state, SettingsStore& store,
                       ColourScheme& scheme, QWidget* parent)
    : QWidget(parent), m_platform(platform), m_state(state), m_store(store), m_scheme(scheme) {
    setWindowTitle(ProductInfo::applicationTitle());
    setWindowIcon(Artwork::appIcon());
    OptionsPanel::Services services;
    services.store = &m_store;
    services.startWithLogin = m_platform.startWithLogin;
    services.messages = m_platform.messages;
    services.state = &m_state;
    services.applicationTitle = ProductInfo::applicationTitle();
    services.executablePath = m_platform.executablePath;
    m_options = new OptionsPanel(*this, std::move(services));
    buildControls();

    auto* timer8 = timer(QStringLiteral("Timer8"));
    connect(timer8, &FormTimer::tick, this, [this, timer8] {
        timer8->setEnabled(false);
        // While the log viewer is open the start chain holds here; the viewer restarts it.
        if (!m_state.logViewerOpen)
            timer(QStringLiteral("Timer1"))->setEnabled(true);
    });
    auto* timer1 = timer(QStringLiteral("Timer1"));
    connect(timer1, &FormTimer::tick, this, [this, timer1] {
        timer1->setEnabled(false);
        findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    });

    connect(findChild<QPushButton*>(QStringLiteral("exit")), &QPushButton::clicked, this,
            &MainWindow::exitCommand);
    connect(exit1, &QAction::triggered, this,
            [this] { findChild<QPushButton*>(QStringLiteral("exit"))->click(); });
    wireVisibility();
    wirePictureButtons();
    wireBlocking();
    connect(findChild<QPushButton*>(QStringLiteral("Command13")), &QPushButton::clicked, this,
            &MainWindow::showAboutBox);
}

MainWindow::~MainWindow() = default;

FormTimer* MainWindow::timer(const QString& name) const {
    return findChild<FormTimer*>(name, Qt::FindDirectChildrenOnly);
}

// Sizes set in twips are remembered exactly, so that 2184 twips read back as 2184 even though the
// window itself can only be a whole number of pixels; a size changed in pixels reads as pixels.
int MainWindow::widthTwips() const {
    return Twips::toPixels(m_widthTwips) == width() ? m_widthTwips : Twips::fromPixels(width());
}
int MainWindow::heightTwips() const {
    return Twips::toPixels(m_heightTwips) == height() ? m_heightTwips : Twips::fromPixels(height());
}
void MainWindow::setWidthTwips(int twips) {
    m_widthTwips = twips;
    resize(Twips::toPixels(twips), height());
}
void MainWindow::setHeightTwips(int twips) {
    m_heightTwips = twips;
    resize(width(), Twips::toPixels(twips));
}

void MainWindow::load() {
    // The command panel's first layout.
    findChild<QPushButton*>(QStringLiteral("Command9"))->setVisible(true);
    findChild<PictureButton*>(QStringLiteral("Image12"))->setVisible(true);
    findChild<PictureButton*>(QStringLiteral("Image4"))->setVisible(false);
    findChild<PictureButton*>(QStringLiteral("Image14"))->setVisible(true);
    auto* image5 = findChild<PictureButton*>(QStringLiteral("Image5"));
    image5->setVisible(false);
    image5->move(findChild<PictureButton*>(QStringLiteral("Image4"))->x(), image5->y());
    findChild<QPushButton*>(QStringLiteral("go"))->setVisible(false);

    imgIcon->setPixmap(Artwork::resourcePicture(6042, imgIcon->size()));
    Picture4->setPixmap(Artwork::resourcePicture(6036, Picture4->size()));

    m_options->applyFirstStart();

    // The stored scheme is read but the window always starts in "Bluee".
    (void)m_store.get_option(SettingsKeys::backgroundColor);
    m_scheme.ApplyColourScheme(QStringLiteral("Bluee"), m_store);

    auto* command11 = findChild<QPushButton*>(QStringLiteral("Command11"));
    command11->resize(Twips::toPixels(1815), command11->height());

    m_store.put_option(QStringLiteral("10"), SettingsKeys::fontSize1);
    m_scheme.styleFontSize = QStringLiteral("10");
    ApplyFormStyle(*this, m_scheme);
    // The two small texts stay small so they fit between the rows of pictures.
    for (QLabel* small : {Label3, browserStatus}) {
        QFont f = small->font();
        f.setBold(false);
        f.setPixelSize(small == Label3 ? 11 : 10);
        small->setFont(f);
    }

    rest1->setText(QStringLiteral("Open ") + ProductInfo::applicationTitle());
    stop_start->setText(QStringLiteral("Stop blocking popup ads"));

    m_options->fillPickLists();

    // The hijack editor: its list and home page from the stored state, the open pages.
    m_hijacker->panel().load();

    m_options->loadStoredOptions();

    if (m_options->hideOnStart()->checkState() == Qt::Checked) {
        timer(QStringLiteral("Timer1"))->setEnabled(true);
        timer(QStringLiteral("Timer2"))->setEnabled(true);
    } else {
        timer(QStringLiteral("Timer8"))->setEnabled(true);
    }

    if (m_closeSplash)
        m_closeSplash();

    setHeightTwips(loadedHeightTwips);
    normalWidth = widthTwips();
    normalHeight = heightTwips();
}

void MainWindow::showBrowserStatus(const QString& text) {
    browserStatus->setText(text);
    browserStatus->setToolTip(text);
}

void MainWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(m_scheme.paintRed, m_scheme.paintGreen, m_scheme.paintBlue));
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Closing the window by its close box or by the system ends the program the normal way.
    load_spyware_urls();
    event->ignore();
    findChild<QPushButton*>(QStringLiteral("exit"))->click();
}

void MainWindow::load_spyware_urls() {
    m_hijacker->panel().load_spyware_urls();
}

void MainWindow::exitCommand() {
    if (m_exiting)
        return;
    m_exiting = true;
    m_options->save_all_options();
    if (closeBlockedLog)
        closeBlockedLog();
    m_options->set_run_at_startup(m_options->startUp()->checkState() != Qt::Unchecked);
    if (m_aboutBox)
        m_aboutBox->close();
    removeTrayIcon();
    load_spyware_urls();
    m_platform.processExit->exitNow(0);
}

void MainWindow::showAboutBox() {
    // Each press makes a new about box, shown without holding the panel.
    auto* box = new AboutBox(m_scheme, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    m_aboutBox = box;
    box->show();
}

bool MainWindow::killPopups() const {
    return m_options->killPopups()->checkState() == Qt::Checked;
}
bool MainWindow::killBrowsers() const {
    return m_options->killBrowsers()->checkState() == Qt::Checked;
}
bool MainWindow::killAllBrowsers() const {
    return m_options->killAllBrowsers()->checkState() == Qt::Checked;
}
bool MainWindow::beepOnKill() const {
    return m_options->beep()->checkState() == Qt::Checked;
}
bool MainWindow::hideOnStartChecked() const {
    return m_options->hideOnStart()->checkState() == Qt::Checked;
}
bool MainWindow::startUpChecked() const {
    return m_options->startUp()->checkState() == Qt::Checked;
}
QString MainWindow::popupKillSpeedText() const {
    return m_options->popupKillSpeed()->currentText();
}
QString MainWindow::secondsBeforeStartText() const {
    return m_options->secsBeforeMin()->currentText();
}
