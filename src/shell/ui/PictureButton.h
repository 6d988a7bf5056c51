#pragma once

#include "shell/ui/ClickablePicture.h"

// A picture with no caption that acts as a button: the control panel's commands are these. A
// click either does its work or presses one of the command buttons behind the panel.
class PictureButton : public ClickablePicture {
    Q_OBJECT
public:
    PictureButton(const QString& name, const QString& word, QWidget* parent, bool accent = false);

    QString word() const { return m_word; }
    // Shows the platform's hand pointer while the mouse is over the picture.
    void setHandCursor(bool on);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_word;
    bool m_accent;
};
