#pragma once

#include "blocking/BlockingView.h"

#include <QObject>

class BlockingSession;
struct PanelControls;

// The one place where blocking's events become captions, enabled buttons and shown pictures, and
// where the panel's start and stop controls reach the blocking session.
class BlockingPresenter : public QObject, public BlockingView {
    Q_OBJECT
public:
    BlockingPresenter(const PanelControls& controls, QObject* parent = nullptr);

    // The session is made after the presenter (it needs the view); the controls reach it from then.
    void attach(BlockingSession& session);

    // The tray menu's start/stop item: whether it offers to stop (true) or to start.
    void offerStop(bool stop);
    bool offersStop() const { return m_offersStop; }

    // The count line of the tray menu, and the panel's, for `count` closed windows.
    static QString trayCountText(int count);
    static QString eliminatedText(int count);

    // BlockingView
    void blockingSwitched(bool on) override;
    void countReset() override;
    void windowsClosed(int count) override;

signals:
    // The panel's start and stop commands (pictures, buttons, the tray item).
    void startRequested();
    void stopRequested();

private:
    void onTrayStopStart();

    const PanelControls& m_c;
    // The item is built offering to stop ("&Stop ").
    bool m_offersStop = true;
};
