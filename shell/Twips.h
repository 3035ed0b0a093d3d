#pragma once

#include <QRect>
#include <cmath>

namespace velmora {

// Window measures are kept in twips, 1/1440 inch, as the windows were drawn; at the usual
// 96 dpi a logical pixel is 15 twips.
inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kTwipsPerPixel = 15;

// The nearest whole logical pixel of a length in twips.
inline int TwipsToPixels(double twips) {
    return static_cast<int>(std::lround(twips / kTwipsPerPixel));
}

// A control's place given in twips, in logical pixels.
inline QRect RectFromTwips(int left, int top, int width, int height) {
    return {TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width), TwipsToPixels(height)};
}

}  // namespace velmora
