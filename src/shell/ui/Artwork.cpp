#include "shell/ui/Artwork.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QSvgRenderer>

namespace Artwork {

namespace {
qreal pixelRatio() {
    return qApp ? qApp->devicePixelRatio() : 1.0;
}
} // namespace

QPixmap renderSvg(const QString& path, QSize size) {
    QSvgRenderer renderer(path);
    if (!renderer.isValid())
        return QPixmap();
    if (size.isEmpty())
        size = renderer.defaultSize();
    const qreal ratio = pixelRatio();
    QPixmap pixmap(size * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return pixmap;
}

QIcon appIcon() {
    QIcon icon;
    for (int side : {16, 22, 24, 32, 48, 64, 128})
        icon.addPixmap(renderSvg(QStringLiteral(":/pictures/pagewarden.svg"), QSize(side, side)));
    return icon;
}

QPixmap resourcePicture(int id, QSize size) {
    switch (id) {
    case 6030:
        return renderSvg(QStringLiteral(":/pictures/splash.svg"), size);
    case 6033:
    case 6042:
        return renderSvg(QStringLiteral(":/pictures/pagewarden.svg"), size);
    case 6036:
        return renderSvg(QStringLiteral(":/pictures/banner.svg"), size);
    default:
        return QPixmap();
    }
}

QPixmap pictureButtonFace(const QString& text, QSize size, bool accent) {
    const qreal ratio = pixelRatio();
    QPixmap pixmap(size * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    const QRectF plate = QRectF(0.5, 0.5, size.width() - 1.0, size.height() - 1.0);
    const qreal radius = plate.height() / 2.0;
    QLinearGradient shade(plate.topLeft(), plate.bottomLeft());
    if (accent) {
        shade.setColorAt(0, QColor(0x4f, 0x9b, 0xe0));
        shade.setColorAt(1, QColor(0x23, 0x5d, 0xa0));
    } else {
        shade.setColorAt(0, QColor(0xff, 0xff, 0xff));
        shade.setColorAt(1, QColor(0xdd, 0xe9, 0xf2));
    }
    QPainterPath path;
    path.addRoundedRect(plate, radius, radius);
    p.fillPath(path, shade);
    p.setPen(QPen(accent ? QColor(0x1d, 0x4f, 0x8c) : QColor(0x7d, 0xa2, 0xc0), 1.0));
    p.drawPath(path);

    // The largest font up to 9 pixels whose word fits inside the plate's rounded ends.
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    const qreal room = plate.width() - radius;
    for (qreal px = 9.0; px >= 6.0; px -= 0.5) {
        font.setPixelSize(qRound(px));
        if (QFontMetricsF(font).horizontalAdvance(text) <= room)
            break;
    }
    p.setFont(font);
    p.setPen(accent ? Qt::white : QColor(0x1d, 0x3f, 0x66));
    p.drawText(plate, Qt::AlignCenter, text);
    return pixmap;
}

} // namespace Artwork
