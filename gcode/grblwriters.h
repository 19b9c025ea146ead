#ifndef TAVO_GCODE_GRBLWRITERS_H
#define TAVO_GCODE_GRBLWRITERS_H

// The three G-code types for GRBL 1.1. Unlike the Marlin files, X grows
// towards the picture's right, each pixel is burned or cut over exactly its
// own interval whichever way its row is scanned, and the laser is on only
// over engraved pixels. The files stream like the Marlin ones: one row of
// values at a time, the texts of every column edge and row formatted once.

#include "gcode/firmware.h"

#include <QImage>
#include <QString>

#include <array>

class ProgressReport;

namespace gcode {

struct GrblJob
{
    const QImage* picture = nullptr;
    double precision = 0.0;
    std::array<QString, 5> names;
    std::array<QString, 5> values;
    FirmwareSettings settings;
    ProgressReport* progress = nullptr; // asked before each row, see OutputFile
};

// Each writes the file and gives the minutes the moves and dwells take at
// the file's feeds; false, with the same message as the Marlin writer, when
// the file cannot be written completely.
bool writeGrblLaserLine(const GrblJob& job, const QString& fileName, double* minutes);
bool writeGrblLaserDots(const GrblJob& job, const QString& fileName, double* minutes);
bool writeGrblCncLine(const GrblJob& job, const QString& fileName, double* minutes);

// A length in millimetres as the GRBL files write it: up to three decimals,
// no trailing zeros ("-1.6", "0.325", "12").
QByteArray grblNumber(double millimetres);

} // namespace gcode

#endif
