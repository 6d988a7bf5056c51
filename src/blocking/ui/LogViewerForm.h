#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;

// The log viewer's window, `chkdb1`: the list of logged lines, the counts line, the note that
// blocking rests while it is open, and the buttons "Browse list", "Empty list" and "Close". It
// only lays its controls out; LogViewer gives them their work.
class LogViewerForm : public QDialog {
    Q_OBJECT
public:
    explicit LogViewerForm(QWidget* parent = nullptr);

    // The title bar's text.
    static QString title();

    QPushButton* Command1 = nullptr; // "Close"
    QPushButton* Command2 = nullptr; // "Browse list"
    QPushButton* Command3 = nullptr; // "Empty list"
    QPushButton* Command4 = nullptr; // "Always allow this site"
    QListWidget* List1 = nullptr;
    QLabel* Label1 = nullptr; // the rule under the list
    QLabel* Label2 = nullptr; // the counts line
    QLabel* Label3 = nullptr; // the note
    QLabel* imgIcon = nullptr;
    QLabel* Picture1 = nullptr; // the strip under the list that holds the rest
    QCheckBox* Check1 = nullptr;

protected:
    void resizeEvent(QResizeEvent* event) override;
};
