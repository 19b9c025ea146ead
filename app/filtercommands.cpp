// The eight picture filters and the threshold controls. Each filter runs on
// the working image in place; the view is refreshed afterwards.
#include "imaging/filters.h"
#include "imaging/imageprocessor.h"
#include "tavomain.h"
#include "ui_tavomain.h"

void TavoMain::runFilter(Filter filter)
{
    (imageProcessor.get()->*filterEntry(filter).apply)();
    updateImageView();
}

void TavoMain::on_actionGray_triggered()
{
    runFilter(Filter::Gray);
}

void TavoMain::on_actionBinary_triggered()
{
    runFilter(Filter::Binary);
}

void TavoMain::on_actionDither_triggered()
{
    runFilter(Filter::Dither);
}

void TavoMain::on_actionInverse_triggered()
{
    runFilter(Filter::Inverse);
}

void TavoMain::on_actionRelief_triggered()
{
    runFilter(Filter::Relief);
}

void TavoMain::on_actionPulverize_triggered()
{
    runFilter(Filter::Pulverize);
}

void TavoMain::on_actionOutline_triggered()
{
    runFilter(Filter::Outline);
}

void TavoMain::on_actionSoften_triggered()
{
    runFilter(Filter::Soften);
}

void TavoMain::on_btnGray_clicked()
{
    on_actionGray_triggered();
}

void TavoMain::on_btnBinary_clicked()
{
    on_actionBinary_triggered();
}

void TavoMain::on_btnDither_clicked()
{
    on_actionDither_triggered();
}

void TavoMain::on_btnInverse_clicked()
{
    on_actionInverse_triggered();
}

void TavoMain::on_btnRelief_clicked()
{
    on_actionRelief_triggered();
}

void TavoMain::on_btnPulverize_clicked()
{
    on_actionPulverize_triggered();
}

void TavoMain::on_btnOutline_clicked()
{
    on_actionOutline_triggered();
}

void TavoMain::on_btnSoften_clicked()
{
    on_actionSoften_triggered();
}

void TavoMain::on_ckbThreshold_toggled(bool checked)
{
    imageProcessor->setManualThreshold(checked);
    ui->txtThreshold->setEnabled(checked);
}

// The typed value counts only once editing finishes; text that is not a whole
// number reads as 0, and no range is imposed (Binary then turns the picture
// all white or all black, which is what the user asked for).
void TavoMain::on_txtThreshold_editingFinished()
{
    imageProcessor->setThreshold(ui->txtThreshold->text().toInt());
}
