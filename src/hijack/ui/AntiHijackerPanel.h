#pragma once

#include <QGroupBox>
#include <functional>

class BrowserWindows;
class MessageBoxes;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class SettingsStore;
struct ProgramState;

// The anti-hijacker panel (Frame2): Box 1 lists the pages open now, Box 2 is the hijack list, Box 3
// the home page. Addresses move between Box 1 and Box 2 with the arrow pictures, patterns can be
// typed, and every change of Box 2 becomes the hijack patterns and is saved at once.
//
// The panel lies below the control panel's normal height; Command14 opens it by making the window
// taller, and Help makes the window taller still to show the help text at the panel's foot.
class AntiHijackerPanel : public QGroupBox {
    Q_OBJECT
public:
    // What the panel needs of the window it lies in.
    struct Host {
        QWidget* window = nullptr;
        std::function<int()> widthTwips;
        std::function<int()> heightTwips;
        std::function<void(int)> setWidthTwips;
        std::function<void(int)> setHeightTwips;
        // Stops the start-up countdown and keeps the window on the screen.
        std::function<void()> keepWindowVisible;
        QPushButton* command14 = nullptr;
        BrowserWindows* browser = nullptr; // the guarded browser; may be missing
        SettingsStore* store = nullptr;
        ProgramState* state = nullptr;
        MessageBoxes* messages = nullptr;
        QString applicationTitle;
    };

    explicit AntiHijackerPanel(Host host);

    // The window's load: Box 2 and Box 3 from the stored state, Box 1 from the open pages.
    void load();
    // Rebuilds the hijack patterns and their stored text from Box 2, and saves.
    void load_spyware_urls();

    // Open pages, then Box 1 refilled from them.
    void ListOpenPages();
    void fillOpenPagesBox();

    // The commands.
    void command14Clicked();      // open or close the panel
    void command16Clicked(int k); // 0 add selected, 1 add all, 2 remove all, 3 remove selected
    void command15Clicked();      // Close
    void command17Clicked();      // home page from Box 1
    void command18Clicked();      // Help
    void command19Clicked();      // Apply
    void addTypedPattern();       // Image23
    void removeTypedPattern();    // Image24

    QListWidget* lstSourcefields = nullptr;
    QListWidget* lstDestinationfields = nullptr;
    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;

signals:
    // The hijack patterns were rebuilt from Box 2.
    void patternsStored();
    // The web-help picture (Image16) asks for the manual's page about the anti-hijacker.
    void webHelpRequested();

private:
    void buildControls();
    QPushButton* command(const char* name, const QString& caption, const QString& tip, int left,
                         int top, int width, bool shown);
    // Box 3 becomes the home page when it holds a complete address (Apply, the house, or leaving
    // the box); until then the last good home page stays.
    bool takeHomePage();
    // The same, then a word on what the home page is now.
    void applyHomePage();
    // Normalises Text1 and gives the text to add or remove, or nothing.
    bool normaliseTyped(QString& text);
    void centre();
    // Sizes the help text so that all of it shows in the expanded window.
    void fitHelpText();

    Host m_host;
    int m_savedWidth = 0;  // twips, noted when the panel opens
    int m_savedHeight = 0; // twips, noted when the panel opens
    QLabel* m_helpText = nullptr;
    bool m_helpExpanded = false;
    int m_heightBeforeHelp = 0;
};
