#ifndef TAVO_GCODE_FIRMWARE_H
#define TAVO_GCODE_FIRMWARE_H

#include <QString>

// The firmware a file is written for. Marlin files drive the laser from the
// fan output; GRBL 1.1 files use the spindle output, laser mode's dynamic
// power (M4) for the laser types and M3 for the mill.
enum class Firmware { Marlin, Grbl };

struct FirmwareSettings
{
    Firmware firmware = Firmware::Marlin;
    // The firmware's $30: the S that means full power or full speed.
    int sMax = 1000;
    // Millimetres run with the laser off before and after each engraved row.
    double overscan = 0.0;
    // Every row left to right, for machines whose backlash blurs the rows
    // scanned backwards.
    bool oneWay = false;
};

constexpr int sMaxLow = 1;
constexpr int sMaxHigh = 100000;
constexpr double overscanHigh = 50.0;

// Read the texts a user typed; false with a message naming the text when
// it is not a value in range.
bool readSMax(const QString& text, int* value, QString* error);
// Rounded to a thousandth of a millimetre, the resolution of the files.
bool readOverscan(const QString& text, double* value, QString* error);

// "GRBL 1.1" or "Marlin (laser on the fan output)".
QString firmwareName(Firmware firmware);

#endif
