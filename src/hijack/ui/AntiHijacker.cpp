#include "hijack/ui/AntiHijacker.h"

#include "app/FormTimer.h"
#include "blocking/BlockingContext.h"
#include "hijack/RedirectPass.h"
#include "settings/SettingsStore.h"

#include <QEvent>

AntiHijacker::AntiHijacker(const BlockingContext& context, AntiHijackerPanel::Host host,
                           FormTimer* timer7, QWidget* image2)
    : QObject(host.window), m_pass(std::make_unique<RedirectPass>(context)),
      m_panel(new AntiHijackerPanel(std::move(host))), m_timer7(timer7), m_image2(image2),
      m_patterns(context.settings.hijackPatterns) {
    connect(m_timer7, &FormTimer::tick, this, &AntiHijacker::onTimer7Tick);
    connect(m_panel, &AntiHijackerPanel::patternsStored, this, [this] { updateTimer(); });
    m_image2->installEventFilter(this);
    updateTimer();
}

AntiHijacker::~AntiHijacker() = default;

bool AntiHijacker::eventFilter(QObject* watched, QEvent* event) {
    // Image2's own shown state (not whether the hidden window shows it) is what counts.
    if (watched == m_image2 && event->type() == QEvent::ShowToParent)
        updateTimer(true);
    else if (watched == m_image2 && event->type() == QEvent::HideToParent)
        updateTimer(false);
    return QObject::eventFilter(watched, event);
}

void AntiHijacker::updateTimer() {
    updateTimer(!m_image2->isHidden());
}

void AntiHijacker::updateTimer(bool image2Shown) {
    const bool work = image2Shown && !m_patterns.isEmpty();
    if (m_timer7->isEnabled() != work)
        m_timer7->setEnabled(work);
}

void AntiHijacker::onTimer7Tick() {
    if (m_image2->isHidden())
        return;
    // A tick that comes while a pass still waits is skipped by the pass itself.
    m_pass->run();
}
