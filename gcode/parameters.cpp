#include "gcode/parameters.h"

#include "gcode/gcodegenerator.h"

#include <QCoreApplication>

namespace {

struct PanelTexts
{
    const char* heading;
    const char* labels[5];
    const char* defaults[4];
};

const PanelTexts laserLinePanel = {
    QT_TRANSLATE_NOOP("TavoMain", "Gcode = Laser Line"),
    {QT_TRANSLATE_NOOP("TavoMain", "Laser Beam (mm)"),
     QT_TRANSLATE_NOOP("TavoMain", "Laser Power (%)"),
     QT_TRANSLATE_NOOP("TavoMain", "Travel Speed (mm/min)"),
     QT_TRANSLATE_NOOP("TavoMain", "Jump Speed (mm/min)"),
     QT_TRANSLATE_NOOP("TavoMain", "Start Height (mm)")},
    {"100", "500", "1000", "20"},
};

const PanelTexts laserDotsPanel = {
    QT_TRANSLATE_NOOP("TavoMain", "Gcode = Laser Dots"),
    {QT_TRANSLATE_NOOP("TavoMain", "Laser Beam (mm)"),
     QT_TRANSLATE_NOOP("TavoMain", "Ignored Threshold"),
     QT_TRANSLATE_NOOP("TavoMain", "Power Index"),
     QT_TRANSLATE_NOOP("TavoMain", "Travel Speed (mm/min)"),
     QT_TRANSLATE_NOOP("TavoMain", "Start Height (mm)")},
    {"15", "0.4", "100", "20"},
};

const PanelTexts cncLinePanel = {
    QT_TRANSLATE_NOOP("TavoMain", "Gcode = CNC Line"),
    {QT_TRANSLATE_NOOP("TavoMain", "CNC Precision (mm)"),
     QT_TRANSLATE_NOOP("TavoMain", "Sheet Thickness (mm)"),
     QT_TRANSLATE_NOOP("TavoMain", "Max Depth (mm)"),
     QT_TRANSLATE_NOOP("TavoMain", "Min Depth (mm)"),
     QT_TRANSLATE_NOOP("TavoMain", "Travel Speed (mm/min)")},
    {"100", "40", "1", "500"},
};

const PanelTexts& panelFor(int type)
{
    switch (type) {
    case LaserLine:
        return laserLinePanel;
    case LaserDots:
        return laserDotsPanel;
    default:
        return cncLinePanel;
    }
}

QString translated(const char* text)
{
    return QCoreApplication::translate("TavoMain", text);
}

} // namespace

GcodeParameters gcodeParameters(int type)
{
    const PanelTexts& panel = panelFor(type);
    GcodeParameters parameters;
    parameters.heading = translated(panel.heading);
    for (std::size_t i = 0; i < parameters.labels.size(); ++i)
        parameters.labels[i] = translated(panel.labels[i]);
    // Numbers, not words: they reach the file as they are.
    for (std::size_t i = 0; i < parameters.defaults.size(); ++i)
        parameters.defaults[i] = QString::fromLatin1(panel.defaults[i]);
    return parameters;
}

QStringList pixelSizeChoices()
{
    QStringList choices;
    for (int i = 1; i <= 38; ++i) {
        const double millimetres = i <= 30 ? i * 0.02 : (i - 30) * 0.05 + 0.6;
        choices << QString("%1").arg(millimetres);
    }
    return choices;
}
