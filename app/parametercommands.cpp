// The machine and G-code type choice, and the parameter panel it fills.

#include "tavomain.h"
#include "ui_tavomain.h"

#include "gcode/gcodegenerator.h"

namespace {

struct PanelTexts
{
    const char* heading;
    const char* labels[5];
    const char* defaults[4]; // txtParam2 to txtParam5; the pitch keeps its choice
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

// Any type other than the two laser ones is milled.
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

} // namespace

void TavoMain::setupParameterPanel()
{
    const PanelTexts& panel = panelFor(gcodeType);
    ui->lblCmd->setText(tr(panel.heading));

    QLabel* const labels[] = {ui->lblParam1, ui->lblParam2, ui->lblParam3, ui->lblParam4,
                              ui->lblParam5};
    for (int i = 0; i < 5; ++i)
        labels[i]->setText(tr(panel.labels[i]));

    // Whatever was typed gives way to the type's defaults.
    QLineEdit* const values[] = {ui->txtParam2, ui->txtParam3, ui->txtParam4, ui->txtParam5};
    for (int i = 0; i < 4; ++i)
        values[i]->setText(QString::fromLatin1(panel.defaults[i]));
}

void TavoMain::on_btnLaser_clicked()
{
    ui->cmbType->setEnabled(true);
    gcodeType = ui->cmbType->currentIndex();
    setupParameterPanel();
}

void TavoMain::on_btnCnc_clicked()
{
    // The mill has one G-code type only.
    ui->cmbType->setEnabled(false);
    gcodeType = CncLine;
    setupParameterPanel();
}

void TavoMain::on_cmbType_currentIndexChanged(int index)
{
    gcodeType = index;
    setupParameterPanel();
}
