#ifndef TAVO_GCODE_PARAMETERS_H
#define TAVO_GCODE_PARAMETERS_H

#include <QString>
#include <QStringList>

#include <array>

// What the parameter panel offers for each G-code type: its heading, the five
// labels and the default texts of slots 2 to 5 (slot 1, the pitch, keeps its
// choice). The window fills its panel from here and the command-line tool
// takes its defaults and comment labels from here, so both write the same
// file for the same picture. Texts are translated in the context "TavoMain".
struct GcodeParameters
{
    QString heading;
    std::array<QString, 5> labels;
    std::array<QString, 4> defaults;
};

// Any type other than the two laser ones is milled (CNC Line).
GcodeParameters gcodeParameters(int type);

// The millimetres-per-pixel choices: 0.02 to 0.6 in steps of 0.02, then 0.65
// to 1 in steps of 0.05, written as the panel shows them ("0.1", "1").
QStringList pixelSizeChoices();

// The choice selected after a picture is opened: "0.16".
constexpr int defaultPixelSizeIndex = 7;

#endif
