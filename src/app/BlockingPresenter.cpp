#include "app/BlockingPresenter.h"

#include "app/PanelControls.h"
#include "blocking/BlockingSession.h"
#include "platform/FormTimer.h"
#include "platform/Waits.h"
#include "shell/ui/PictureButton.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>

namespace {
const QString stopCaption = QStringLiteral("Stop blocking popup ads");
const QString startCaption = QStringLiteral("Start blocking popup ads");
} // namespace

BlockingPresenter::BlockingPresenter(const PanelControls& controls, QObject* parent)
    : QObject(parent), m_c(controls) {
    connect(m_c.picture("Image1"), &PictureButton::clicked, this,
            &BlockingPresenter::startRequested);
    connect(m_c.picture("Image2"), &PictureButton::clicked, this,
            &BlockingPresenter::stopRequested);
    connect(m_c.command("stop"), &QPushButton::clicked, this, &BlockingPresenter::stopRequested);
    for (int index = 0; index < 2; ++index) {
        QPushButton* button = m_c.command5.at(index);
        connect(button, &QPushButton::clicked, this, [this, button, index] {
            button->setEnabled(false);
            if (index == 0)
                emit startRequested();
            else
                emit stopRequested();
        });
    }
    connect(m_c.stop_start, &QAction::triggered, this, &BlockingPresenter::onTrayStopStart);
}

void BlockingPresenter::attach(BlockingSession& session) {
    connect(this, &BlockingPresenter::startRequested, this, [&session] { session.start(); });
    connect(this, &BlockingPresenter::stopRequested, this, [&session] { session.stop(); });
}

QString BlockingPresenter::trayCountText(int count) {
    return QString::number(count) + (count == 1 ? QStringLiteral(" Popup terminated")
                                                : QStringLiteral(" Popups terminated"));
}

QString BlockingPresenter::eliminatedText(int count) {
    return QString::number(count) + (count == 1 ? QStringLiteral(" popup window eliminated")
                                                : QStringLiteral(" popup windows eliminated"));
}

void BlockingPresenter::offerStop(bool stop) {
    m_offersStop = stop;
    m_c.stop_start->setText(stop ? stopCaption : startCaption);
}

void BlockingPresenter::blockingSwitched(bool on) {
    offerStop(on);
    if (!on) {
        m_c.picture("Image2")->setVisible(false);
        m_c.picture("Image10")->setVisible(false);
        m_c.picture("Image6")->setVisible(true);
    }
    m_c.command("go")->setEnabled(!on);
    m_c.command("stop")->setEnabled(on);
}

void BlockingPresenter::countReset() {
    m_c.label28->clear();
}

void BlockingPresenter::windowsClosed(int count) {
    m_c.msg1->setText(trayCountText(count));
    // One line beside the first row of buttons; the line below is the countdown's.
    m_c.label28->setText(eliminatedText(count));
}

void BlockingPresenter::onTrayStopStart() {
    if (m_offersStop) {
        offerStop(false);
        emit stopRequested();
    } else {
        // Timer6 restores the window and presses its start button.
        m_c.timer("Timer6")->setEnabled(true);
        offerStop(true);
    }
    Wait::processPendingEvents();
}
