#pragma once

#include <QObject>
#include <QString>

class MainWindow;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class SettingsStore;
class StartWithLogin;
class MessageBoxes;
struct ProgramState;

// The options panel of the main window: six check boxes in "Popup blocking options" and two
// editable combo boxes. The controls are the live option values; they reach the settings store
// when a box that stores at once is clicked, on reset, on the first start and at exit.
class OptionsPanel : public QObject {
    Q_OBJECT
public:
    struct Services {
        SettingsStore* store = nullptr;
        StartWithLogin* startWithLogin = nullptr;
        MessageBoxes* messages = nullptr;
        ProgramState* state = nullptr;
        QString applicationTitle;
        QString executablePath;
    };

    OptionsPanel(MainWindow& window, Services services);

    // The steps of filling the panel, in the places the main window's load calls them.
    void fillPickLists();     // the two lists, before any stored value
    void applyFirstStart();   // the very first start: start with login on
    void loadStoredOptions(); // first-run defaults when needed, then the stored values

    void reset_options();
    void save_all_options();
    void set_run_at_startup(bool force);

    // Command4: shows the panel and widens the window, or hides it and restores the window.
    void toggleOptions();

    bool runAtStartupWanted() const { return m_runAtStartupWanted; }

    QGroupBox* frame5() const { return m_frame5; }
    QCheckBox* killPopups() const { return m_killPopups; }
    QCheckBox* killBrowsers() const { return m_killBrowsers; }
    QCheckBox* killAllBrowsers() const { return m_killAllBrowsers; }
    QCheckBox* beep() const { return m_beep; }
    QCheckBox* hideOnStart() const { return m_hideOnStart; }
    QCheckBox* startUp() const { return m_startUp; }
    QComboBox* popupKillSpeed() const { return m_popupKillSpeed; }
    QComboBox* secsBeforeMin() const { return m_secsBeforeMin; }
    QPushButton* command4() const { return m_command4; }
    QPushButton* command8() const { return m_command8; }

    // A box's state as stored: "0", "1" (checked) or "2" (greyed).
    static QString boxValue(const QCheckBox& box);
    // Gives the box a stored value; anything but "0", "1" or "2" counts as the default "0".
    static void setBoxValue(QCheckBox& box, const QString& stored);

private:
    void buildControls();
    void applyDefaults(const QString& secondsBeforeStart);
    void storeAllInResetOrder();
    void onStartUpClicked();

    MainWindow& m_window;
    Services m_s;
    bool m_runAtStartupWanted = false;
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
