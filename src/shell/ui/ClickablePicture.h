#pragma once

#include <QWidget>

// A picture that acts as a button: it looks pressed while the left button is down on it, and a
// release over it is a click. The pictures of the panels draw themselves on top of this.
class ClickablePicture : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;

    void click() { emit clicked(); }

signals:
    void clicked();

protected:
    bool isPressed() const { return m_pressed; }
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool m_pressed = false;
};
