#include "settings/ui/OptionsPanel.h"

#include "platform/MessageBoxes.h"
#include "platform/StartWithLogin.h"
#include "settings/SettingsStore.h"
#include "shell/ui/Twips.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QCheckBox* makeBox(QWidget* parent, const char* name, const QString& caption,
                   const QString& tip = QString()) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(QLatin1String(name));
    box->setToolTip(tip);
    return box;
}

QComboBox* makeCombo(QWidget* parent, const char* name) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QLatin1String(name));
    combo->setEditable(true);
    // Typed text stays text: never replaced by a list entry, never added to the list.
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setDuplicatesEnabled(true);
    combo->lineEdit()->setMaxLength(64);
    return combo;
}

void setComboText(QComboBox& combo, const QString& text) {
    // Setting the edit text directly keeps ".2" as ".2" even though ".20" is in the list.
    combo.setEditText(text);
}

} // namespace

OptionsPanel::OptionsPanel(QWidget& window, Services services)
    : QObject(&window), m_window(window), m_s(std::move(services)) {
    setObjectName(QStringLiteral("optionsPanel"));
    buildControls();
}

void OptionsPanel::buildControls() {
    QWidget* parent = &m_window;

    m_frame5 = new QGroupBox(QStringLiteral("Popup blocking options"), parent);
    m_frame5->setObjectName(QStringLiteral("Frame5"));
    auto* boxes = new QVBoxLayout(m_frame5);
    boxes->setContentsMargins(8, 2, 8, 4);
    boxes->setSpacing(0);
    m_killPopups = makeBox(m_frame5, "kill_popups", QStringLiteral("Kill popups"),
                           QStringLiteral("Kill any popup window without an address bar"));
    m_killBrowsers =
        makeBox(m_frame5, "kill_browsers", QStringLiteral("Kill new browsers"),
                QStringLiteral("Any new browsers you open will be closed. Kills any new browser "
                               "windows which have an address bar."));
    m_killAllBrowsers =
        makeBox(m_frame5, "killallbrowsers", QStringLiteral("Kill all browser windows"),
                QStringLiteral("Kills all browser windows, whether open before starting the "
                               "program or not"));
    m_beep = makeBox(m_frame5, "chkbeep", QStringLiteral("Make sound when blocked"),
                     QStringLiteral("The program will make a beep sound on each popup kill if "
                                    "checked"));
    m_hideOnStart =
        makeBox(m_frame5, "chkHideOnStart", QStringLiteral("Don't show main screen when starting"));
    m_startUp = makeBox(m_frame5, "chkStartUp", QStringLiteral("Start when I log in"));
    for (QCheckBox* box :
         {m_killPopups, m_killBrowsers, m_killAllBrowsers, m_beep, m_hideOnStart, m_startUp})
        boxes->addWidget(box);

    m_speedGroup = new QGroupBox(QStringLiteral("Popup kill speed"), parent);
    m_speedGroup->setObjectName(QStringLiteral("speedGroup"));
    m_popupKillSpeed = makeCombo(m_speedGroup, "popupkillspeed");
    m_popupKillSpeed->setToolTip(QStringLiteral("Delay between killing popups"));
    m_secondsUnit = new QLabel(QStringLiteral("Seconds"), m_speedGroup);
    m_secondsUnit->setObjectName(QStringLiteral("secondsUnit"));
    auto* speed = new QHBoxLayout(m_speedGroup);
    speed->setContentsMargins(8, 2, 8, 6);
    speed->addWidget(m_popupKillSpeed, 1);
    speed->addWidget(m_secondsUnit);

    m_secondsGroup = new QGroupBox(QStringLiteral("Seconds before starting"), parent);
    m_secondsGroup->setObjectName(QStringLiteral("secondsGroup"));
    m_secsBeforeMin = makeCombo(m_secondsGroup, "secsbeforemin");
    auto* seconds = new QHBoxLayout(m_secondsGroup);
    seconds->setContentsMargins(8, 2, 8, 6);
    seconds->addWidget(m_secsBeforeMin);

    // The panel lies in the part of the window that only the widened window shows.
    m_frame5->setGeometry(Twips::rect(6780, 45, 5160, 2070));
    m_speedGroup->setGeometry(Twips::rect(12030, 45, 2700, 990));
    m_secondsGroup->setGeometry(Twips::rect(12030, 1125, 2700, 990));
    // The three show together, so that no box of a closed panel can be reached with Tab.
    for (QGroupBox* part : {m_frame5, m_speedGroup, m_secondsGroup})
        part->setVisible(false);

    m_command4 = new QPushButton(QStringLiteral("Options"), parent);
    m_command4->setObjectName(QStringLiteral("Command4"));
    m_command4->setToolTip(QStringLiteral("Change popup blocking options"));
    m_command8 = new QPushButton(QStringLiteral("Reset"), parent);
    m_command8->setObjectName(QStringLiteral("Command8"));
    m_command8->setToolTip(QStringLiteral("Reset default values for program"));

    // Boxes report every change of state, by the user or by the program, like a click.
    connect(m_beep, &QCheckBox::stateChanged, this,
            [this] { m_s.store->put_option(boxValue(*m_beep), SettingsKeys::beep); });
    connect(m_hideOnStart, &QCheckBox::stateChanged, this,
            [this] { m_s.store->put_option(boxValue(*m_hideOnStart), SettingsKeys::hideOnStart); });
    connect(m_startUp, &QCheckBox::stateChanged, this, &OptionsPanel::onStartUpClicked);
    connect(m_killAllBrowsers, &QCheckBox::stateChanged, this, [this] {
        // The waiting survey pass runs at once with the new choice.
        emit killAllBrowsersChanged();
    });
    connect(m_command4, &QPushButton::clicked, this, &OptionsPanel::toggleOptions);
    connect(m_command8, &QPushButton::clicked, this, &OptionsPanel::reset_options);
}

QString OptionsPanel::boxValue(const QCheckBox& box) {
    switch (box.checkState()) {
    case Qt::Checked:
        return QStringLiteral("1");
    case Qt::PartiallyChecked:
        return QStringLiteral("2");
    default:
        return QStringLiteral("0");
    }
}

void OptionsPanel::setBoxValue(QCheckBox& box, const QString& stored) {
    bool ok = false;
    const int value = stored.toInt(&ok);
    if (!ok || value < 0 || value > 2) {
        box.setCheckState(Qt::Unchecked);
        return;
    }
    box.setCheckState(value == 1 ? Qt::Checked : value == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
}

void OptionsPanel::fillPickLists() {
    m_secsBeforeMin->clear();
    for (int i = 1; i <= 10; ++i)
        m_secsBeforeMin->addItem(QString::number(i));
    m_popupKillSpeed->clear();
    m_popupKillSpeed->addItems({".05", ".10", ".20", ".25", ".30", ".40", ".50", ".60", ".70",
                                ".80", ".90", "1.00", "1.50", "2.00", "3.00", "4.00", "5.00"});
    // Filling a list must not pick an entry: the stored text is applied afterwards.
    m_secsBeforeMin->setEditText(QString());
    m_popupKillSpeed->setEditText(QString());
}

void OptionsPanel::applyFirstStart() {
    if (m_s.store->wasFirstTime == QLatin1String("false"))
        return;
    m_startUp->setCheckState(Qt::Checked);
    m_s.store->wasFirstTime = QStringLiteral("false");
    m_s.store->save_state();
}

void OptionsPanel::applyDefaults(const QString& secondsBeforeStart) {
    setComboText(*m_secsBeforeMin, secondsBeforeStart);
    setComboText(*m_popupKillSpeed, QStringLiteral(".2"));
    m_hideOnStart->setCheckState(Qt::Unchecked);
    m_killBrowsers->setCheckState(Qt::Unchecked);
    m_killPopups->setCheckState(Qt::Checked);
    m_startUp->setCheckState(Qt::Checked);
    m_killAllBrowsers->setCheckState(Qt::Unchecked);
    m_beep->setCheckState(Qt::Unchecked);
}

void OptionsPanel::storeAllInResetOrder() {
    SettingsStore& store = *m_s.store;
    store.put_option(m_secsBeforeMin->currentText(), SettingsKeys::secondsBeforeMinimize);
    store.put_option(m_popupKillSpeed->currentText(), SettingsKeys::popupKillSpeed);
    store.put_option(boxValue(*m_hideOnStart), SettingsKeys::hideOnStart);
    store.put_option(boxValue(*m_killBrowsers), SettingsKeys::killBrowsers);
    store.put_option(boxValue(*m_killPopups), SettingsKeys::killPopups);
    store.put_option(boxValue(*m_startUp), SettingsKeys::startUp);
    store.put_option(boxValue(*m_killAllBrowsers), SettingsKeys::killAllBrowsers);
    store.put_option(boxValue(*m_beep), SettingsKeys::beep);
    store.put_option(QStringLiteral("done"), SettingsKeys::firstTime);
}

void OptionsPanel::loadStoredOptions() {
    SettingsStore& store = *m_s.store;
    const QString zero = QStringLiteral("0");
    if (store.getOption(SettingsKeys::firstTime, zero) != QLatin1String("done")) {
        applyDefaults(QStringLiteral("7"));
        storeAllInResetOrder();
    }

    setComboText(*m_secsBeforeMin, store.getOption(SettingsKeys::secondsBeforeMinimize, zero));
    setComboText(*m_popupKillSpeed, store.getOption(SettingsKeys::popupKillSpeed, zero));
    if (m_secsBeforeMin->currentText().isEmpty())
        setComboText(*m_secsBeforeMin, QStringLiteral("10"));
    if (m_popupKillSpeed->currentText().isEmpty())
        setComboText(*m_popupKillSpeed, QStringLiteral(".2"));

    setBoxValue(*m_killPopups, store.getOption(SettingsKeys::killPopups, zero));
    setBoxValue(*m_killBrowsers, store.getOption(SettingsKeys::killBrowsers, zero));
    setBoxValue(*m_beep, store.getOption(SettingsKeys::beep, zero));
    setBoxValue(*m_startUp, store.getOption(SettingsKeys::startUp, zero));
    setBoxValue(*m_hideOnStart, store.getOption(SettingsKeys::hideOnStart, zero));
    setBoxValue(*m_killAllBrowsers, store.getOption(SettingsKeys::killAllBrowsers, zero));
}

void OptionsPanel::reset_options() {
    applyDefaults(QStringLiteral("5"));
    storeAllInResetOrder();
    m_s.messages->information(
        m_s.applicationTitle,
        QStringLiteral("Options have been reset to original default settings"));
}

void OptionsPanel::save_all_options() {
    SettingsStore& store = *m_s.store;
    store.put_option(boxValue(*m_killBrowsers), SettingsKeys::killBrowsers);
    store.put_option(boxValue(*m_killPopups), SettingsKeys::killPopups);
    store.put_option(boxValue(*m_beep), SettingsKeys::beep);
    store.put_option(boxValue(*m_startUp), SettingsKeys::startUp);
    store.put_option(boxValue(*m_hideOnStart), SettingsKeys::hideOnStart);
    store.put_option(m_secsBeforeMin->currentText(), SettingsKeys::secondsBeforeMinimize);
    store.put_option(boxValue(*m_killAllBrowsers), SettingsKeys::killAllBrowsers);
    store.put_option(m_popupKillSpeed->currentText(), SettingsKeys::popupKillSpeed);
}

void OptionsPanel::onStartUpClicked() {
    m_runAtStartupWanted = m_startUp->checkState() == Qt::Checked;
    set_run_at_startup(m_s.store->wasFirstTime != QLatin1String("false"));
    m_s.store->put_option(boxValue(*m_startUp), SettingsKeys::startUp);
}

void OptionsPanel::set_run_at_startup(bool force) {
    if (!m_s.startWithLogin)
        return;
    if (force || m_runAtStartupWanted)
        m_s.startWithLogin->setEntry(m_s.applicationTitle, m_s.executablePath);
    else
        m_s.startWithLogin->removeEntry(m_s.applicationTitle);
}

void OptionsPanel::toggleOptions() {
    if (!m_shown) {
        emit aboutToShow();
        for (QGroupBox* part : {m_frame5, m_speedGroup, m_secondsGroup})
            part->setVisible(true);
        m_widthBeforeOptions = m_window.width();
        m_window.resize(qRound(m_widthBeforeOptions * 2.25), m_window.height());
        m_command4->setText(QStringLiteral("Hide Options"));
        m_shown = true;
    } else {
        for (QGroupBox* part : {m_frame5, m_speedGroup, m_secondsGroup})
            part->setVisible(false);
        m_window.resize(m_widthBeforeOptions, m_window.height());
        m_command4->setText(QStringLiteral("Options"));
        m_shown = false;
        emit closed();
    }
}

bool OptionsPanel::killPopups() const {
    return m_killPopups->checkState() == Qt::Checked;
}
bool OptionsPanel::killBrowsers() const {
    return m_killBrowsers->checkState() == Qt::Checked;
}
bool OptionsPanel::killAllBrowsers() const {
    return m_killAllBrowsers->checkState() == Qt::Checked;
}
bool OptionsPanel::beepOnKill() const {
    return m_beep->checkState() == Qt::Checked;
}
bool OptionsPanel::hideOnStartChecked() const {
    return m_hideOnStart->checkState() == Qt::Checked;
}
bool OptionsPanel::startUpChecked() const {
    return m_startUp->checkState() == Qt::Checked;
}
QString OptionsPanel::popupKillSpeedText() const {
    return m_popupKillSpeed->currentText();
}
QString OptionsPanel::secondsBeforeStartText() const {
    return m_secsBeforeMin->currentText();
}
