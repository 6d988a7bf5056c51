#include "splash/SplashScreen.h"

#include "platform/FormTimer.h"
#include "platform/Waits.h"
#include "shell/ui/Artwork.h"
#include "shell/ui/FormStyle.h"

#include <QEvent>
#include <QLabel>
#include <QPainter>

SplashScreen::SplashScreen(const Clock& clock, QWidget* parent)
    // On top of every other window until it ends: the browser we launch opens its first window
    // while the splash is still up and would otherwise hide it.
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("the_splash"));
    setWindowIcon(QIcon(Artwork::resourcePicture(6033, QSize(32, 32))));
    setWindowTitle(QString());
    Wait::processPendingEvents();
    Wait::processPendingEvents();

    m_image1 = new QLabel(this);
    m_image1->setObjectName(QStringLiteral("Image1"));
    setPicture(Artwork::resourcePicture(6030));
    centreOnScreen(*this);

    m_timer1 = new FormTimer(QStringLiteral("Timer1"), 100, true, clock, this);
    m_timer2 = new FormTimer(QStringLiteral("Timer2"), 500, true, clock, this);
    connect(m_timer1, &FormTimer::tick, this, &SplashScreen::onTimer1);
    connect(m_timer2, &FormTimer::tick, this, &SplashScreen::onTimer2);
}

void SplashScreen::setPicture(const QPixmap& picture) {
    m_background = picture;
    m_image1->setPixmap(picture);
    m_pictureSize = picture.isNull() ? QSize(420, 240) : picture.deviceIndependentSize().toSize();
    m_image1->setGeometry(QRect(QPoint(0, 0), m_pictureSize));
    keepPictureSize();
}

void SplashScreen::keepPictureSize() {
    if (m_fixingSize || size() == m_pictureSize)
        return;
    m_fixingSize = true;
    resize(m_pictureSize);
    m_fixingSize = false;
}

void SplashScreen::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Activation: back to the normal state at the picture's size.
    setWindowState(Qt::WindowNoState);
    keepPictureSize();
}

void SplashScreen::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (!(windowState() & (Qt::WindowMinimized | Qt::WindowMaximized))) {
        Wait::processPendingEvents();
        keepPictureSize();
    }
}

void SplashScreen::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!m_background.isNull())
        painter.drawPixmap(0, 0, m_background);
}

void SplashScreen::onTimer1() {
    setWindowState(Qt::WindowNoState);
    // Current systems keep the splash where the user put it: it is centred once, at its load.
    if (!(windowState() & (Qt::WindowMinimized | Qt::WindowMaximized)))
        m_timer1->setInterval(200);
}

void SplashScreen::onTimer2() {
    if (windowState() & Qt::WindowMaximized)
        setWindowState(windowState() & ~Qt::WindowMaximized);
    if (windowState() & Qt::WindowMinimized)
        setWindowState(windowState() & ~Qt::WindowMinimized);
    keepPictureSize();
    m_timer2->setInterval(600);
}
