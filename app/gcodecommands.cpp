// The Gcode button: validate the panel, ask for a file, write it and report.
#include "tavomain.h"
#include "ui_tavomain.h"

#include "dialogs/dialogs.h"
#include "gcode/gcodegenerator.h"
#include "gcode/gcodereport.h"
#include "imaging/imageprocessor.h"

#include <QLineEdit>

// The generator gets the texts as typed; some of them reach the file
// character for character.
void TavoMain::copyPanelIntoGenerator()
{
    const QLabel* labels[] = {ui->lblParam1, ui->lblParam2, ui->lblParam3, ui->lblParam4,
                              ui->lblParam5};
    const QLineEdit* fields[] = {ui->txtParam2, ui->txtParam3, ui->txtParam4, ui->txtParam5};
    for (int i = 0; i < 5; ++i)
        gcodeGenerator->paramNames[i] = labels[i]->text();
    gcodeGenerator->paramValues[0] = ui->cmbParam1->currentText();
    for (int i = 0; i < 4; ++i)
        gcodeGenerator->paramValues[i + 1] = fields[i]->text();
}

void TavoMain::on_btnGcode_clicked()
{
    copyPanelIntoGenerator();
    if (!gcodeGenerator->validate(gcodeType))
        return;

    const QString path =
        Dialogs::instance().getSaveFileName(tr("Save Gcode"), QString(), tr("GCode(*.gcode)"));
    if (path.isEmpty())
        return;

    // Laser Line engraves black runs only, so the picture is made black and
    // white with the threshold in force; the change stays like any filter.
    if (ui->lblCmd->text().contains(QLatin1String("Laser Line")))
        imageProcessor->binaryImage();

    gcodeGenerator->setImage(imageProcessor->workingImage());
    const WorkEnd end = runLong(tr("Save Gcode"), tr("Writing %1…").arg(shownName(path)),
                                [&](ProgressReport& progress) {
                                    return gcodeGenerator->generate(gcodeType, path, &progress);
                                });
    if (end != WorkEnd::Done)
        return; // a failure the writer has told the user of; the last report stays

    const QImage& picture = *imageProcessor->workingImage();
    ui->txtGcode->setPlainText(gcodeReport(path, gcodeGenerator->travelLength(),
                                           gcodeGenerator->processingTime(), picture.width(),
                                           picture.height(), ui->cmbParam1->currentText()));
    // Read back from disk: what the preview shows is what the machine gets.
    showPreview(path);
}
