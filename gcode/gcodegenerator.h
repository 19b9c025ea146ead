#ifndef TAVO_GCODE_GCODEGENERATOR_H
#define TAVO_GCODE_GCODEGENERATOR_H

#include "gcode/firmware.h"

#include <QImage>
#include <QString>

#include <array>

class ProgressReport;

// The G-code types; any other value (the window starts with -1) is CNC Line.
enum GcodeType : int {
    LaserLine = 0,
    LaserDots = 1,
    CncLine = 2,
};

// Carries the panel's parameters into a G-code file.
//
// The parameters live as the texts the user typed: validate() parses them for
// checking only, and the writers parse them again and copy some of them into
// the file character for character.
//
// The writers stream: each column's X text and each row's Y text is formatted
// once per file, lines are assembled in a byte buffer and written in large
// chunks through QSaveFile. A file that cannot be written completely is
// reported through the dialog seam ("Save Gcode"), gives false and leaves no
// partial file behind; an older file of that name stays as it was.
class GcodeGenerator
{
public:
    explicit GcodeGenerator(QImage* image = nullptr);

    // Borrows the picture to convert; a null pointer keeps the previous one.
    void setImage(QImage* image);
    QImage* image() const { return m_image; }

    // Checks slots 2 to 5 for the type; the first refused one is reported as
    // "Invalid Parameters" through the dialog seam and gives false.
    bool validate(int type) const;

    // Sets precision, travel length and processing time, then writes the file
    // with the type's writer. False, silently, without a picture. Progress
    // is reported row by row; a stop asked through it leaves no file, shows
    // nothing and gives false.
    bool generate(int type, const QString& fileName, ProgressReport* progress = nullptr);
    // "X<x> Y<y>": the machine position of the pixel corner (row, column),
    // the picture centred on the origin, two decimals.
    QString formatPosition(int row, int column) const;
    bool generateLaserLine(const QString& fileName);
    bool generateLaserDots(const QString& fileName);
    bool generateCncLine(const QString& fileName);

    double precision() const { return m_precision; }
    int travelLength() const { return m_travelLength; }
    double processingTime() const { return m_processingTime; }

    // Marlin unless set otherwise; the GRBL writers take the rest of it.
    FirmwareSettings firmware;

    // The labels lblParam1..5 and the texts of cmbParam1, txtParam2..5.
    std::array<QString, 5> paramNames;
    std::array<QString, 5> paramValues;

private:
    bool write(int type, const QString& fileName);
    bool generateGrbl(int type, const QString& fileName);

    QImage* m_image = nullptr;
    ProgressReport* m_progress = nullptr;
    double m_precision = 0.0;
    int m_travelLength = 0;
    double m_processingTime = 0.0;
};

#endif
