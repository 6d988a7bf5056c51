#pragma once

#include <QPixmap>
#include <QWidget>

class Clock;
class FormTimer;
class QLabel;

// The picture window shown while the program starts. It keeps itself at the size of its picture
// and in the normal state: a minimised or maximised splash comes back within one tick of its
// second timer, and a resized one snaps back at once.
class SplashScreen : public QWidget {
    Q_OBJECT
public:
    explicit SplashScreen(const Clock& clock, QWidget* parent = nullptr);

    // Puts the picture into the background and into Image1, and takes its size.
    void setPicture(const QPixmap& picture);
    QSize pictureSize() const { return m_pictureSize; }

    QLabel* image1() const { return m_image1; }

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void keepPictureSize();
    void onTimer1();
    void onTimer2();

    QLabel* m_image1 = nullptr;
    QPixmap m_background;
    QSize m_pictureSize;
    FormTimer* m_timer1 = nullptr;
    FormTimer* m_timer2 = nullptr;
    bool m_fixingSize = false;
};
