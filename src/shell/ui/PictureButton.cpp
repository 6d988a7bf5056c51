#include "shell/ui/PictureButton.h"

#include "shell/ui/Artwork.h"

#include <QPainter>

PictureButton::PictureButton(const QString& name, const QString& word, QWidget* parent, bool accent)
    : ClickablePicture(parent), m_word(word), m_accent(accent) {
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
    painter.drawPixmap(0, isPressed() ? 1 : 0, face);
}
