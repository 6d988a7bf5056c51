#include "shell/ui/PictureButton.h"

#include "shell/ui/Artwork.h"

#include <QMouseEvent>
#include <QPainter>

PictureButton::PictureButton(const QString& name, const QString& word, QWidget* parent, bool accent)
    : QWidget(parent), m_word(word), m_accent(accent) {
    setObjectName(name);
    setAccessibleName(word);
    setToolTip(QString());
}

void PictureButton::setHandCursor(bool on) {
    if (on)
        setCursor(Qt::PointingHandCursor);
    else
        unsetCursor();
}

void PictureButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPixmap face = Artwork::pictureButtonFace(m_word, size(), m_accent);
    painter.drawPixmap(0, m_pressed ? 1 : 0, face);
}

void PictureButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_pressed = true;
        update();
    }
}

void PictureButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_pressed)
        return;
    m_pressed = false;
    update();
    if (rect().contains(event->position().toPoint()))
        emit clicked();
}
