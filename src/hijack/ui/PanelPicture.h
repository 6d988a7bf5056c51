#pragma once

#include "shell/ui/ClickablePicture.h"

// A small drawn picture that acts as a button on the anti-hijacker panel: the arrows that move
// addresses between the boxes, and the marks beside the panel's commands. We draw them here, all
// but the web-help globe, which is our own drawing among the resources.
class PanelPicture : public ClickablePicture {
    Q_OBJECT
public:
    enum class Glyph { Down, DownAll, Up, UpAll, Refresh, Plus, Minus, Tick, Cross, Home, WebHelp };

    PanelPicture(const char* name, Glyph glyph, const QString& tip, QWidget* parent);

    Glyph glyph() const { return m_glyph; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Glyph m_glyph;
};
