#include "hijack/ui/PanelPicture.h"

#include <QPainter>
#include <QPainterPath>
#include <QSvgRenderer>

namespace {

// An arrow pointing down (or up) inside `box`, as a filled shape.
QPainterPath arrow(const QRectF& box, bool down) {
    const double midX = box.center().x();
    const double shaft = box.width() * 0.16;
    const double head = box.height() * 0.5;
    QPainterPath path;
    if (down) {
        const double tip = box.bottom();
        const double neck = tip - head;
        path.moveTo(midX - shaft, box.top());
        path.lineTo(midX + shaft, box.top());
        path.lineTo(midX + shaft, neck);
        path.lineTo(box.right(), neck);
        path.lineTo(midX, tip);
        path.lineTo(box.left(), neck);
        path.lineTo(midX - shaft, neck);
    } else {
        const double tip = box.top();
        const double neck = tip + head;
        path.moveTo(midX - shaft, box.bottom());
        path.lineTo(midX + shaft, box.bottom());
        path.lineTo(midX + shaft, neck);
        path.lineTo(box.right(), neck);
        path.lineTo(midX, tip);
        path.lineTo(box.left(), neck);
        path.lineTo(midX - shaft, neck);
    }
    path.closeSubpath();
    return path;
}

} // namespace

PanelPicture::PanelPicture(const char* name, Glyph glyph, const QString& tip, QWidget* parent)
    : ClickablePicture(parent), m_glyph(glyph) {
    setObjectName(QLatin1String(name));
    setToolTip(tip);
    setAccessibleName(tip.isEmpty() ? QLatin1String(name) : tip);
    setCursor(Qt::PointingHandCursor);
}

void PanelPicture::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF plate = QRectF(rect()).adjusted(0.5, isPressed() ? 1.5 : 0.5, -0.5, -0.5);
    QLinearGradient shade(plate.topLeft(), plate.bottomLeft());
    shade.setColorAt(0, QColor(250, 252, 255));
    shade.setColorAt(1, QColor(196, 214, 232));
    p.setPen(QPen(QColor(70, 100, 140), 1));
    p.setBrush(shade);
    p.drawRoundedRect(plate, 4, 4);

    const double side = std::min(plate.width(), plate.height()) * 0.62;
    QRectF box(0, 0, side, side);
    box.moveCenter(plate.center());
    const QColor ink(30, 70, 130);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    QPen line(ink, std::max(2.0, side / 7), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);

    switch (m_glyph) {
    case Glyph::Down:
    case Glyph::Up:
        p.drawPath(arrow(box, m_glyph == Glyph::Down));
        break;
    case Glyph::DownAll:
    case Glyph::UpAll: {
        // Two arrows side by side: everything moves.
        const bool down = m_glyph == Glyph::DownAll;
        QRectF left = box;
        left.setWidth(box.width() * 0.55);
        left.moveLeft(box.left() - box.width() * 0.2);
        QRectF right = left;
        right.moveRight(box.right() + box.width() * 0.2);
        p.drawPath(arrow(left, down));
        p.drawPath(arrow(right, down));
        break;
    }
    case Glyph::Refresh: {
        p.setPen(line);
        p.setBrush(Qt::NoBrush);
        const QRectF ring = box.adjusted(side * 0.1, side * 0.1, -side * 0.1, -side * 0.1);
        p.drawArc(ring, 60 * 16, 290 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        const QPointF end(ring.center().x() + ring.width() / 2 * 0.5,
                          ring.top() + ring.height() * 0.07);
        QPainterPath head;
        head.moveTo(end + QPointF(side * 0.25, -side * 0.02));
        head.lineTo(end + QPointF(-side * 0.08, -side * 0.22));
        head.lineTo(end + QPointF(-side * 0.02, side * 0.2));
        head.closeSubpath();
        p.drawPath(head);
        break;
    }
    case Glyph::Plus:
    case Glyph::Minus:
        p.setPen(line);
        p.drawLine(QPointF(box.left(), box.center().y()), QPointF(box.right(), box.center().y()));
        if (m_glyph == Glyph::Plus)
            p.drawLine(QPointF(box.center().x(), box.top()),
                       QPointF(box.center().x(), box.bottom()));
        break;
    case Glyph::Tick:
        p.setPen(line);
        p.drawPolyline(QPolygonF{QPointF(box.left(), box.center().y()),
                                 QPointF(box.left() + side * 0.38, box.bottom() - side * 0.1),
                                 QPointF(box.right(), box.top() + side * 0.1)});
        break;
    case Glyph::Cross:
        p.setPen(line);
        p.drawLine(box.topLeft(), box.bottomRight());
        p.drawLine(box.topRight(), box.bottomLeft());
        break;
    case Glyph::Home: {
        QPainterPath house;
        house.moveTo(box.center().x(), box.top());
        house.lineTo(box.right(), box.top() + side * 0.45);
        house.lineTo(box.right() - side * 0.15, box.top() + side * 0.45);
        house.lineTo(box.right() - side * 0.15, box.bottom());
        house.lineTo(box.left() + side * 0.15, box.bottom());
        house.lineTo(box.left() + side * 0.15, box.top() + side * 0.45);
        house.lineTo(box.left(), box.top() + side * 0.45);
        house.closeSubpath();
        p.drawPath(house);
        p.setBrush(QColor(250, 252, 255));
        p.drawRect(QRectF(box.center().x() - side * 0.1, box.bottom() - side * 0.32, side * 0.2,
                          side * 0.32));
        break;
    }
    case Glyph::WebHelp:
        QSvgRenderer(QStringLiteral(":/pictures/webhelp.svg"))
            .render(&p, box.adjusted(-side * 0.15, -side * 0.15, side * 0.15, side * 0.15));
        break;
    }
}
