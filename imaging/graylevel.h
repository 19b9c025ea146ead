#ifndef TAVO_IMAGING_GRAYLEVEL_H
#define TAVO_IMAGING_GRAYLEVEL_H

#include <QRgb>

// Brightness 0 (black) to 255 (white) of one pixel; alpha is ignored.
//
// Binary, Outline, the mean gray level and all three G-code writers share
// this rule, so it must be evaluated in doubles in exactly this order: where
// 0.3 R + 0.59 G + 0.11 B + 0.1 is a whole number, the roundings decide the
// result (grayLevel of (0, 10, 0) is 5, not 6).
inline int grayLevel(QRgb pixel)
{
    const double s = qRed(pixel) * 0.3 + qGreen(pixel) * 0.59;
    const double v = (qBlue(pixel) * 0.11 + s) + 0.1;
    return static_cast<int>(v);
}

#endif
