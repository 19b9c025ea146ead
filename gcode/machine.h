#ifndef TAVO_GCODE_MACHINE_H
#define TAVO_GCODE_MACHINE_H

#include <QString>

// The machine every file is written for: its travel in X and in Y,
// centred on the origin where the writers put the picture's centre.
constexpr double machineRangeMm = 140.0;

// The size of a side of the picture on the machine: its pixels times the
// millimetres per pixel as the panel shows them, in single precision, so that
// 875 pixels at 0.16 mm make exactly 140. volatile keeps the product in single
// precision whatever the compiler would otherwise keep in registers.
inline float sizeOnMachineMm(int pixels, const QString& pixelSize)
{
    const volatile float size = float(pixels) * pixelSize.toFloat();
    return size;
}

#endif
