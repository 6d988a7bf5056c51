#pragma once

#include "hijack/ui/AntiHijackerPanel.h"

#include <QObject>
#include <memory>

class FormTimer;
class RedirectPass;
struct BlockingContext;

// The home-page hijack protection on the control panel: the anti-hijacker panel behind Command14,
// and the periodic redirect pass on Timer7.
//
// The redirect pass runs only while the window has been hidden to the tray with blocking on (the
// stop picture, Image2, is shown then and hidden by a stop) and there is a pattern to look for, so
// Timer7 ticks only then; the rest of the time it does not wake the program at all.
class AntiHijacker : public QObject {
    Q_OBJECT
public:
    AntiHijacker(const BlockingContext& context, AntiHijackerPanel::Host host, FormTimer* timer7,
                 QWidget* image2);
    ~AntiHijacker() override;

    AntiHijackerPanel& panel() const { return *m_panel; }
    RedirectPass& redirectPass() const { return *m_pass; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Lets Timer7 tick while the pass has work, and stops it otherwise.
    void updateTimer();
    void updateTimer(bool image2Shown);
    void onTimer7Tick();

    std::unique_ptr<RedirectPass> m_pass;
    AntiHijackerPanel* m_panel = nullptr;
    FormTimer* m_timer7 = nullptr;
    QWidget* m_image2 = nullptr;
    const QStringList& m_patterns;
};
