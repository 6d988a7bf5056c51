#include "app/FeatureWiring.h"

#include "app/AboutBox.h"
#include "app/MainWindow.h"
#include "app/PanelCommands.h"
#include "app/Platform.h"
#include "blocking/BlockingSession.h"
#include "blocking/ui/LogViewer.h"
#include "hijack/ui/AntiHijacker.h"
#include "platform/Paths.h"
#include "settings/ProductInfo.h"
#include "shell/DocumentOpener.h"

#include <QChildEvent>

namespace {

// Connects each about box's version line to the update check once the box is made.
class AboutBoxWatch : public QObject {
public:
    AboutBoxWatch(QWidget& window, UpdateCommands& commands)
        : QObject(&commands), m_commands(commands) {
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::ChildPolished) {
            if (auto* box = qobject_cast<AboutBox*>(static_cast<QChildEvent*>(event)->child()))
                connect(box, &AboutBox::updateCheckRequested, &m_commands,
                        &UpdateCommands::manualCheck, Qt::UniqueConnection);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    UpdateCommands& m_commands;
};

} // namespace

std::unique_ptr<LogViewer> connectLogViewer(MainWindow& window, DocumentOpener& documents) {
    BlockingSession& session = window.session();
    auto viewer = std::make_unique<LogViewer>(LogViewer::Services{
        session.log(), session.context().state, documents, *window.platform().messages,
        window.scheme(), window.controls().timer("Timer8"), ProductInfo::applicationTitle()});
    LogViewer* v = viewer.get();
    QObject::connect(&window.commands(), &PanelCommands::showBlockedLog, v,
                     [v] { v->ShowBlockedLog(); });
    const auto webHelp = [&session, &documents](const QString& anchor) {
        documents.openWebHelp(anchor);
        // The help window just opened counts as one that was already open, so "Kill new
        // browsers" leaves it alone.
        session.snapshotExistingWindows();
    };
    QObject::connect(&window.commands(), &PanelCommands::openWebHelp, v,
                     [webHelp] { webHelp(QString()); });
    QObject::connect(&window.hijacker().panel(), &AntiHijackerPanel::webHelpRequested, v,
                     [webHelp] { webHelp(QStringLiteral("#antihijackerhelp")); });
    session.log().onFailure = [&window](const QString& text) { window.showBrowserStatus(text); };
    return viewer;
}

UpdateCommands* connectUpdateCommands(MainWindow& window, UpdateCommands::Setup setup) {
    Platform& platform = window.platform();
    setup.window = &window;
    setup.clock = platform.clock;
    setup.store = &window.store();
    setup.messages = platform.messages;
    setup.busyPointer = platform.busyPointer;
    setup.processExit = platform.processExit;
    setup.scheme = &window.scheme();
    setup.timer2 = window.controls().timer("Timer2");
    if (!setup.downloads)
        setup.downloads = platform.desktopPages;
    if (setup.settingsFile.isEmpty())
        setup.settingsFile = Paths::settingsFile(ProductInfo::applicationTitle());
    const BlockingSession& session = window.session();
    setup.blockingStopped = [&session] { return session.stopped(); };
    auto* commands = new UpdateCommands(std::move(setup));
    // "Check for update" has already switched the automatic check off when this runs.
    QObject::connect(&window.commands(), &PanelCommands::checkForUpdate, commands,
                     &UpdateCommands::manualCheck);
    new AboutBoxWatch(window, *commands);
    return commands;
}
