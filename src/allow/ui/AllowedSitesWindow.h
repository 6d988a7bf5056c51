#pragma once

#include "allow/AllowedSites.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class SettingsStore;

// The allowed sites window: the list of allowed sites, a box to type a host name into with the
// choice of what it allows (popups to the site, or popups the site opens), and Add and Remove.
// Every change is saved at once, and the next survey pass goes by it. A line under the list says
// what the last command did, or why a typed name was not taken.
class AllowedSitesWindow : public QDialog {
    Q_OBJECT
public:
    explicit AllowedSitesWindow(SettingsStore& store, QWidget* parent = nullptr);

    // Reads the list again from the store (the log viewer may have added to it).
    void reload();
    // Adds what the user typed in `hostBox` with the choice in `matchBox`; Remove removes the
    // selected entry.
    void addTyped();
    void removeSelected();

    QListWidget* list = nullptr;
    QLineEdit* hostBox = nullptr;
    QComboBox* matchBox = nullptr; // popups to the site, popups the site opens
    QPushButton* addButton = nullptr;
    QPushButton* removeButton = nullptr;
    QPushButton* closeButton = nullptr;
    QLabel* word = nullptr;

private:
    void save(const QString& done);

    SettingsStore& m_store;
    AllowedSites m_sites;
};
