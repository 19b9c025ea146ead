#ifndef TAVO_GCODE_GCODEREPORT_H
#define TAVO_GCODE_GCODEREPORT_H

#include <QString>

// True when the engraving reaches 140 mm or more in either direction. The
// pitch is the millimetres-per-pixel text read in single precision, and each
// product is rounded to single precision before the comparison, like the size
// read-out: 875 pixels at "0.16" are 140 mm.
bool engravingOutOfRange(int width, int height, const QString& pitchText);

// The text shown after a file was written: the path, the travel length, the
// processing time in whole minutes (truncated) and, when the engraving is out
// of range, the warning. Shared by every front end.
QString gcodeReport(const QString& path, int travelLength, double processingTime, int width,
                    int height, const QString& pitchText);

#endif
