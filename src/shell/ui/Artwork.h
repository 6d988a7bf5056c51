#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>

// The program's pictures. All of them are our own: SVG files in the resources, or drawn here.
namespace Artwork {

// The program's icon (window icons, the tray).
QIcon appIcon();

// A picture by the number the window designs use: 6030 the splash picture, 6033 the splash
// window's icon, 6036 the banner beside the countdown, 6042 the icon picture of the control panel.
// `size` in device-independent pixels; an empty size gives the picture's own size.
QPixmap resourcePicture(int id, QSize size = QSize());

// An SVG from the resources rendered at `size` for the screen's pixel ratio.
QPixmap renderSvg(const QString& path, QSize size);

// The face of a picture button: a rounded, softly shaded plate with its word on it.
QPixmap pictureButtonFace(const QString& text, QSize size, bool accent = false);

} // namespace Artwork
