#include "app/MainWindow.h"

#include "app/AboutBox.h"
#include "app/BlockingPresenter.h"
#include "app/ControlTable.h"
#include "app/PanelCommands.h"
#include "app/Platform.h"
#include "app/TrayController.h"
#include "blocking/BlockingSession.h"
#include "hijack/ui/AntiHijacker.h"
#include "platform/FormTimer.h"
#include "platform/ProcessExit.h"
#include "platform/ui/TrayIcon.h"
#include "settings/ProductInfo.h"
#include "settings/SettingsStore.h"
#include "settings/ui/OptionsPanel.h"
#include "shell/ColourScheme.h"
#include "shell/ui/Artwork.h"
#include "shell/ui/FittedText.h"
#include "shell/ui/FormStyle.h"
#include "shell/ui/PictureButton.h"
#include "shell/ui/Twips.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QResizeEvent>
#include <algorithm>

MainWindow::MainWindow(Platform& platform, SettingsStore& store, ColourScheme& scheme,
                       QWidget* parent)
    : QWidget(parent), m_platform(platform), m_store(store), m_scheme(scheme) {
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(ProductInfo::applicationTitle());
    setWindowIcon(Artwork::appIcon());
    setWidthTwips(ControlTable::designWidth);
    setHeightTwips(ControlTable::designHeight);

    OptionsPanel::Services services;
    services.store = &m_store;
    services.startWithLogin = m_platform.startWithLogin;
    services.messages = m_platform.messages;
    services.applicationTitle = ProductInfo::applicationTitle();
    services.executablePath = m_platform.executablePath;
    m_options = new OptionsPanel(*this, std::move(services));
    buildPanelControls(*this, m_c, *m_platform.clock);

    m_presenter = new BlockingPresenter(m_c, this);
    BlockingSession::Services blocking;
    blocking.browser = m_platform.browser;
    blocking.options = m_options;
    blocking.settings = &m_store;
    blocking.clock = m_platform.clock;
    blocking.messages = m_platform.messages;
    blocking.beeper = m_platform.beeper;
    blocking.pointer = m_platform.busyPointer;
    blocking.view = m_presenter;
    blocking.applicationTitle = ProductInfo::applicationTitle();
    blocking.logPath = m_platform.dataFolder + QStringLiteral("/skipped_sites.txt");
    m_session = std::make_unique<BlockingSession>(blocking);
    m_presenter->attach(*m_session);

    m_tray = new TrayController(*this, m_c, m_platform, *m_session, *m_presenter);
    m_commands = new PanelCommands(*this, m_c);

    // The anti-hijacker: its panel behind Command14 and the periodic redirect on Timer7.
    AntiHijackerPanel::Host host{this,
                                 [this] { return widthTwips(); },
                                 [this] { return heightTwips(); },
                                 [this](int twips) { setWidthTwips(twips); },
                                 [this](int twips) { setHeightTwips(twips); },
                                 [this] { m_tray->keepWindowVisible(); },
                                 m_c.command("Command14"),
                                 &m_session->context().browser,
                                 &m_store,
                                 &m_session->context().state,
                                 m_platform.messages,
                                 ProductInfo::applicationTitle()};
    m_hijacker = new AntiHijacker(m_session->context(), std::move(host), m_c.timer("Timer7"),
                                  m_c.picture("Image2"));
    connect(m_commands, &PanelCommands::antiHijackerPanel, this,
            [this] { m_hijacker->panel().command14Clicked(); });

    connect(m_options, &OptionsPanel::killAllBrowsersChanged, this,
            [this] { m_session->forcePass(); });
    connect(m_options, &OptionsPanel::aboutToShow, m_tray, &TrayController::keepVisibleIfOffered);
    // The options panel sets the window's wider size itself.
    connect(m_options, &OptionsPanel::aboutToShow, this, &MainWindow::releaseSize);
    connect(m_options, &OptionsPanel::closed, this, &MainWindow::restoreNormalSize);
    connect(m_commands, &PanelCommands::exitRequested, this, &MainWindow::exitCommand);
    connect(m_commands, &PanelCommands::aboutRequested, this, &MainWindow::showAboutBox);
    connect(m_commands, &PanelCommands::closeRequested, m_tray, &TrayController::closePanel);
}

MainWindow::~MainWindow() = default;

void MainWindow::setHideOnStart(int value) {
    m_tray->setHideOnStart(value);
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
    releaseSize();
    resize(Twips::toPixels(twips), height());
    setFixedSize(size());
}
void MainWindow::setHeightTwips(int twips) {
    m_heightTwips = twips;
    releaseSize();
    resize(width(), Twips::toPixels(twips));
    setFixedSize(size());
}

// The window has the sizes the panel gives it and no other: the user cannot resize it, which
// would uncover the layer of commands below what it shows. A size set by the program (never a
// spontaneous one from the window system) is fixed as it arrives.
void MainWindow::resizeEvent(QResizeEvent* event) {
    if (!event->spontaneous())
        setFixedSize(event->size());
    QWidget::resizeEvent(event);
}
void MainWindow::releaseSize() {
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
}
void MainWindow::restoreNormalSize() {
    setWidthTwips(normalWidth);
    setHeightTwips(normalHeight);
}

void MainWindow::load() {
    // The command panel's first layout (the command buttons themselves stay out of sight).
    m_c.picture("Image12")->setVisible(true);
    m_c.picture("Image4")->setVisible(false);
    m_c.picture("Image14")->setVisible(true);
    PictureButton* image5 = m_c.picture("Image5");
    image5->setVisible(false);
    image5->move(m_c.picture("Image4")->x(), image5->y());

    m_c.imgIcon->setPixmap(Artwork::resourcePicture(6042, m_c.imgIcon->size()));
    m_c.Picture4->setPixmap(Artwork::resourcePicture(6036, m_c.Picture4->size()));

    m_options->applyFirstStart();

    // The stored scheme is read but the window always starts in "Bluee".
    (void)m_store.get_option(SettingsKeys::backgroundColor);
    if (m_scheme.ApplyColourScheme(QStringLiteral("Bluee")))
        m_store.put_option(QStringLiteral("Bluee"), SettingsKeys::backgroundColor);

    QPushButton* command11 = m_c.command("Command11");
    command11->resize(Twips::toPixels(ControlTable::commandWidth), command11->height());

    m_store.put_option(QStringLiteral("10"), SettingsKeys::fontSize1);
    m_scheme.styleFontSize = QStringLiteral("10");
    ApplyFormStyle(*this, m_scheme);
    // The two small texts stay small so they fit between the rows of pictures.
    for (QLabel* small : {m_c.Label3, m_c.browserStatus}) {
        QFont f = small->font();
        f.setBold(false);
        f.setPixelSize(small == m_c.Label3 ? 11 : 10);
        small->setFont(f);
    }
    // The status line's font changed: shorten its text afresh.
    showBrowserStatus(m_c.browserStatus->toolTip());

    m_c.rest1->setText(QStringLiteral("Open ") + ProductInfo::applicationTitle());
    m_presenter->offerStop(true);

    m_options->fillPickLists();

    // The hijack editor: its list and home page from the stored state, the open pages.
    m_hijacker->panel().load();

    m_options->loadStoredOptions();

    if (m_options->hideOnStartChecked()) {
        m_c.timer("Timer1")->setEnabled(true);
        m_c.timer("Timer2")->setEnabled(true);
    } else {
        m_c.timer("Timer8")->setEnabled(true);
    }

    if (m_closeSplash)
        m_closeSplash();

    setHeightTwips(ControlTable::loadedHeight);
    normalWidth = widthTwips();
    normalHeight = heightTwips();
}

void MainWindow::showBrowserStatus(const QString& text) {
    // The line wraps, and grows down to the panel's foot when its text needs more rows; the logo
    // below it gives way meanwhile. Only a text longer than all that is shortened.
    QLabel& line = *m_c.browserStatus;
    const int usual = Twips::toPixels(ControlTable::statusHeight);
    const int most = Twips::toPixels(ControlTable::loadedHeight) - line.y();
    const int margins = line.height() - line.contentsRect().height();
    const QRect needed = line.fontMetrics().boundingRect(
        QRect(0, 0, line.contentsRect().width(), 100000), Qt::TextWordWrap, text);
    line.resize(line.width(), std::clamp(needed.height() + margins, usual, std::max(usual, most)));
    line.raise();
    m_c.Picture4->setVisible(line.height() <= usual);
    showFitted(line, text);
}

void MainWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(m_scheme.paintRed, m_scheme.paintGreen, m_scheme.paintBlue));
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Closing the window by its close box or by the system ends the program the normal way.
    load_spyware_urls();
    event->ignore();
    m_c.press("exit");
}

void MainWindow::contextMenuEvent(QContextMenuEvent* event) {
    // Without a notification area the tray's menu lives on the panel itself.
    if (m_platform.tray && m_platform.tray->isAvailable()) {
        QWidget::contextMenuEvent(event);
        return;
    }
    m_c.trayMenu->popup(event->globalPos());
}

void MainWindow::exitCommand() {
    if (m_exiting)
        return;
    m_exiting = true;
    m_options->save_all_options();
    m_session->log().CloseBlockedLog();
    // A greyed box counts as ticked here.
    m_options->set_run_at_startup(m_options->startUpBox()->checkState() != Qt::Unchecked);
    if (m_aboutBox)
        m_aboutBox->close();
    m_tray->removeTrayIcon();
    load_spyware_urls();
    m_platform.processExit->exitNow(0);
}

void MainWindow::load_spyware_urls() {
    m_hijacker->panel().load_spyware_urls();
}

void MainWindow::showAboutBox() {
    // Each press makes a new about box, shown without holding the panel.
    auto* box = new AboutBox(m_scheme, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    m_aboutBox = box;
    box->show();
}
