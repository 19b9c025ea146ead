// The machine and G-code type choice, and the parameter panel it fills.

#include "tavomain.h"
#include "ui_tavomain.h"

#include "gcode/gcodegenerator.h"
#include "gcode/parameters.h"

void TavoMain::setupParameterPanel()
{
    const GcodeParameters panel = gcodeParameters(gcodeType);
    ui->lblCmd->setText(panel.heading);

    QLabel* const labels[] = {ui->lblParam1, ui->lblParam2, ui->lblParam3, ui->lblParam4,
                              ui->lblParam5};
    // Screen readers name each field after the label beside it.
    QWidget* const fields[] = {ui->cmbParam1, ui->txtParam2, ui->txtParam3, ui->txtParam4,
                               ui->txtParam5};
    for (std::size_t i = 0; i < panel.labels.size(); ++i) {
        labels[i]->setText(panel.labels[i]);
        fields[i]->setAccessibleName(panel.labels[i]);
    }

    // Whatever was typed gives way to the type's defaults.
    QLineEdit* const values[] = {ui->txtParam2, ui->txtParam3, ui->txtParam4, ui->txtParam5};
    for (std::size_t i = 0; i < panel.defaults.size(); ++i)
        values[i]->setText(panel.defaults[i]);
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
