#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>

class BlockedLog;
class DocumentOpener;
class FormTimer;
class LogViewerForm;
class MessageBoxes;
class QListWidgetItem;
struct ColourScheme;
struct ProgramState;

// Shows the blocked-ads log in its viewer (LogViewerForm). While the viewer is loaded
// logViewerOpen is set, so the passes neither close, redirect nor log anything and the start-up
// chain holds at Timer8; the viewer restarts Timer8 on closing when it found it waiting.
class LogViewer : public QObject {
    Q_OBJECT
public:
    struct Services {
        BlockedLog& log;
        ProgramState& state;
        DocumentOpener& documents;
        MessageBoxes& messages;
        const ColourScheme& scheme;
        FormTimer* startTimer; // Timer8 of the control panel; may be missing
        QString applicationTitle;
    };
    explicit LogViewer(Services services, QObject* parent = nullptr);
    ~LogViewer() override;

    // Loads a fresh viewer, lists the first lines of the log and shows it modally; returns when it
    // is closed, or at once (with a message) when there is no log.
    void ShowBlockedLog();

    // The viewer while it is loaded, else null.
    LogViewerForm* form() const;

    // "Always allow this site": allows the site of the selected record and gives what to say.
    // Without it the button is not shown.
    std::function<QString(const QString& address)> allowSite;

private:
    void load();
    void unload();
    void browseList();
    void emptyList();
    void openEntry(QListWidgetItem* item);
    void allowSelected();

    Services m_s;
    QPointer<LogViewerForm> m_form;
    // Whether Timer8 was waiting when the viewer loaded.
    bool m_startWasPending = false;
};
