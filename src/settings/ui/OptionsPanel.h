#pragma once

#include "settings/LiveOptions.h"

#include <QObject>
#include <QString>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class SettingsStore;
class StartWithLogin;
class MessageBoxes;
class QWidget;

// The options panel of the main window: six check boxes in "Popup blocking options" and two
// editable combo boxes. The controls are the live option values (blocking reads them through
// LiveOptions at the moment it needs one); they reach the settings store when a box that stores at
// once is clicked, on reset, on the first start and at exit.
class OptionsPanel : public QObject, public LiveOptions {
    Q_OBJECT
public:
    struct Services {
        SettingsStore* store = nullptr;
        StartWithLogin* startWithLogin = nullptr;
        MessageBoxes* messages = nullptr;
        QString applicationTitle;
        QString executablePath;
    };

    // The controls are made on `window`, in the part of it that only the widened window shows.
    OptionsPanel(QWidget& window, Services services);

    // The steps of filling the panel, in the places the main window's load calls them.
    void fillPickLists();     // the two lists, before any stored value
    void applyFirstStart();   // the very first start: start with login on
    void loadStoredOptions(); // first-run defaults when needed, then the stored values

    void reset_options();
    void save_all_options();
    void set_run_at_startup(bool force);

    // Command4: shows the panel and widens the window, or hides it and restores the window.
    void toggleOptions();
    bool isShown() const { return m_shown; }

    // LiveOptions: read from the controls at the moment of asking.
    bool killPopups() const override;
    bool killBrowsers() const override;
    bool killAllBrowsers() const override;
    bool beepOnKill() const override;
    bool hideOnStartChecked() const override;
    bool startUpChecked() const override;
    QString popupKillSpeedText() const override;
    QString secondsBeforeStartText() const override;

    bool runAtStartupWanted() const { return m_runAtStartupWanted; }

    QGroupBox* frame5() const { return m_frame5; }
    QCheckBox* startUpBox() const { return m_startUp; }
    QPushButton* command4() const { return m_command4; }
    QPushButton* command8() const { return m_command8; }

    // A box's state as stored: "0", "1" (checked) or "2" (greyed).
    static QString boxValue(const QCheckBox& box);
    // Gives the box a stored value; anything but "0", "1" or "2" counts as the default "0".
    static void setBoxValue(QCheckBox& box, const QString& stored);

signals:
    // "Kill all browser windows" changed: the waiting pass should look at once.
    void killAllBrowsersChanged();
    // The panel is about to open (the countdown should stop and the window stay).
    void aboutToShow();
    // The panel closed; the window goes back to its normal size.
    void closed();

private:
    void buildControls();
    void applyDefaults(const QString& secondsBeforeStart);
    void storeAllInResetOrder();
    void onStartUpClicked();

    QWidget& m_window;
    Services m_s;
    bool m_runAtStartupWanted = false;
    bool m_shown = false;
    int m_widthBeforeOptions = 0; // pixels

    QGroupBox* m_frame5 = nullptr;
    QGroupBox* m_speedGroup = nullptr;
    QGroupBox* m_secondsGroup = nullptr;
    QCheckBox* m_killPopups = nullptr;
    QCheckBox* m_killBrowsers = nullptr;
    QCheckBox* m_killAllBrowsers = nullptr;
    QCheckBox* m_beep = nullptr;
    QCheckBox* m_hideOnStart = nullptr;
    QCheckBox* m_startUp = nullptr;
    QComboBox* m_popupKillSpeed = nullptr;
    QComboBox* m_secsBeforeMin = nullptr;
    QLabel* m_secondsUnit = nullptr;
    QPushButton* m_command4 = nullptr;
    QPushButton* m_command8 = nullptr;
};
