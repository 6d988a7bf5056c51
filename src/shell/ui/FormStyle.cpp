#include "shell/ui/FormStyle.h"

#include "platform/Waits.h"
#include "shell/ColourScheme.h"
#include "shell/ui/Artwork.h"
#include "shell/ui/PictureButton.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QWidget>

namespace {

const char* const pictureBoxProperty = "pagewardenPictureBox";

QColor toColor(const Rgb& rgb) {
    return QColor(rgb.red, rgb.green, rgb.blue);
}

void setBackColour(QWidget& control, const QColor& colour) {
    QPalette palette = control.palette();
    palette.setColor(QPalette::Window, colour);
    palette.setColor(QPalette::Button, colour);
    control.setPalette(palette);
    control.setAutoFillBackground(true);
}

void setStyleFont(QWidget& control, int pointSize, bool bold) {
    QFont font = control.font();
    // Tahoma where it is installed; its nearest relative otherwise.
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans")});
    font.setPointSize(pointSize);
    font.setBold(bold);
    control.setFont(font);
}

} // namespace

void markAsPictureBox(QWidget& control) {
    control.setProperty(pictureBoxProperty, true);
}

void centreOnScreen(QWidget& form) {
    QScreen* screen = form.screen() ? form.screen() : QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->geometry();
        const QSize frame = form.frameGeometry().size();
        form.move(area.left() + (area.width() - frame.width()) / 2,
                  area.top() + (area.height() - frame.height()) / 2);
    }
    Wait::processPendingEvents();
}

void ApplyFormStyle(QWidget& form, const ColourScheme& scheme) {
    form.setWindowIcon(Artwork::appIcon());
    centreOnScreen(form);

    const bool bold = scheme.styleBold == QLatin1String("true");
    bool sizeOk = false;
    int size = scheme.styleFontSize.toInt(&sizeOk);
    if (!sizeOk || size <= 0)
        size = 10;
    const QColor back = toColor(scheme.controlBackColor);
    const QPixmap buttonPicture = Artwork::renderSvg(scheme.buttonPicturePath, QSize(64, 24));

    const auto controls = form.findChildren<QWidget*>();
    for (QWidget* control : controls) {
        if (qobject_cast<PictureButton*>(control))
            continue; // images keep their own look
        if (auto* label = qobject_cast<QLabel*>(control)) {
            if (label->property(pictureBoxProperty).toBool()) {
                setBackColour(*label, back);
            } else {
                label->setAutoFillBackground(false); // transparent
                setStyleFont(*label, size, bold);
            }
        } else if (qobject_cast<QGroupBox*>(control) || qobject_cast<QRadioButton*>(control) ||
                   qobject_cast<QCheckBox*>(control)) {
            setBackColour(*control, back);
            setStyleFont(*control, size, bold);
        } else if (auto* button = qobject_cast<QPushButton*>(control)) {
            QPalette palette = button->palette();
            palette.setColor(QPalette::Button, back);
            if (!buttonPicture.isNull())
                palette.setBrush(QPalette::Button, QBrush(back, buttonPicture));
            button->setPalette(palette);
            button->setFlat(false);
            setStyleFont(*button, size, bold);
        } else if (qobject_cast<QComboBox*>(control) || qobject_cast<QLineEdit*>(control)) {
            setStyleFont(*control, size, bold);
        }
        // List boxes, images, timers and menus keep their own look.
    }
}
