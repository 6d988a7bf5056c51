#pragma once

#include <QRect>
#include <QtMath>

// Window sizes and positions of the control panel are given in twips: 15 twips to a pixel at
// 96 DPI. Qt's device-independent pixels already follow the screen's device pixel ratio, so one
// conversion serves every screen.
namespace Twips {
constexpr int perPixel = 15;
inline int toPixels(int twips) {
    return qRound(twips / double(perPixel));
}
inline int fromPixels(int pixels) {
    return pixels * perPixel;
}
inline QRect rect(int left, int top, int width, int height) {
    return QRect(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}
} // namespace Twips
