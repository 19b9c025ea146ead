// The picture commands of the window: open, save, the view with its size
// read-out, zoom, Scale, Fit, Crop, Rotate and Reset.

#include "tavomain.h"
#include "ui_tavomain.h"

#include "dialogs/dialogs.h"
#include "gcode/gcodegenerator.h"
#include "gcode/machine.h"
#include "gcode/parameters.h"
#include "imaging/imageprocessor.h"

#include <QPalette>
#include <QPixmap>
#include <QStringList>

namespace {

const char pictureFilter[] = QT_TRANSLATE_NOOP("TavoMain", "JPEG(*.jpg);;PNG(*.png);;BMP(*.bmp)");

// A crop, rotation, scaling or zoom whose result could not be held leaves
// the view empty; the user is told why rather than shown nothing.
void reportRefusedPicture(const ImageProcessor& processor)
{
    const QSize size = processor.refusedSize();
    if (!size.isValid())
        return;
    Dialogs::instance().critical(
        TavoMain::tr("Critical Error"),
        TavoMain::tr("The picture would be %1 x %2 pixels, too large to hold.")
            .arg(size.width())
            .arg(size.height()));
}

} // namespace

void TavoMain::on_actionOpen_triggered()
{
    openImage();
}

void TavoMain::on_btnOpen_clicked()
{
    openImage();
}

void TavoMain::openImage()
{
    const QString fileName =
        Dialogs::instance().getOpenFileName(tr("Open Image"), QString(), tr(pictureFilter));
    if (fileName.isEmpty())
        return;

    // A picture that fails to load has been reported already and leaves an
    // empty workspace; the panels are set up all the same. A cancelled load
    // leaves everything as it was.
    const WorkEnd end = runLong(
        tr("Open Image"), tr("Opening %1…").arg(shownName(fileName)),
        [&](ProgressReport& progress) { return imageProcessor->loadImage(fileName, &progress); });
    if (end == WorkEnd::Cancelled)
        return;
    ui->txtFile->setPlainText(fileName);
    const QImage& picture = *imageProcessor->workingImage();
    ui->lblInfo->setText(
        tr("Image Information: %1 X %2").arg(picture.width()).arg(picture.height()));
    updateImageView();

    ui->controlWidget->setEnabled(true);
    ui->imageWidget->setEnabled(true);
    ui->cmbParam1->clear();
    ui->cmbParam1->addItems(pixelSizeChoices());
    ui->cmbParam1->setCurrentIndex(defaultPixelSizeIndex);

    gcodeType = LaserLine;
    setupParameterPanel();
    updateImageView();
}

void TavoMain::on_actionSave_triggered()
{
    const QString fileName =
        Dialogs::instance().getSaveFileName(tr("Save Image"), QString(), tr(pictureFilter));
    if (fileName.isEmpty())
        return;

    if (imageProcessor->workingImage()->isNull())
        return; // nothing to save yet
    const WorkEnd end = runLong(
        tr("Save Image"), tr("Saving %1…").arg(shownName(fileName)),
        [&](ProgressReport& progress) { return imageProcessor->saveImage(fileName, &progress); });
    if (end == WorkEnd::Done)
        Dialogs::instance().information(tr("Save Image"),
                                        fileName + tr(" has been successfully saved!"));
    else if (end == WorkEnd::Failed)
        Dialogs::instance().critical(tr("Save Image"), fileName + tr(" cannot be saved!"));
}

void TavoMain::updateImageView()
{
    ui->lblImage->setPixmap(QPixmap::fromImage(*imageProcessor->workingImage()));
    updateSizeReadout(ui->cmbParam1->currentText());
}

void TavoMain::on_cmbParam1_currentIndexChanged(const QString& arg1)
{
    updateSizeReadout(arg1);
}

// The size the picture will have on the machine, red once it leaves the bed.
void TavoMain::updateSizeReadout(const QString& pixelSize)
{
    const QImage& picture = *imageProcessor->workingImage();
    const float x = sizeOnMachineMm(picture.width(), pixelSize);
    const float y = sizeOnMachineMm(picture.height(), pixelSize);
    ui->lblSize->setText(tr("Size = X: ") + QString::number(x, 'F', 2) + tr(" * Y: ") +
                         QString::number(y, 'F', 2));

    const QColor colour =
        x > machineRangeMm || y > machineRangeMm ? QColor(255, 0, 0) : QColor(0, 0, 255);
    QPalette palette;
    palette.setBrush(QPalette::All, QPalette::WindowText, QBrush(colour, Qt::SolidPattern));
    ui->lblSize->setPalette(palette);
}

void TavoMain::on_sldSize_sliderMoved(int position)
{
    // The spin box clamps to its range and runs the zoom when its value changes.
    ui->spbSize->setValue(position);
}

// Every zoom starts again from the loaded picture, so repeated steps never
// lose detail; filters and crops applied since are dropped, the rotation is
// kept.
void TavoMain::on_spbSize_valueChanged(int arg1)
{
    imageProcessor->zoomFromSource(ui->spbSize->value(), rotated);
    updateImageView();
    reportRefusedPicture(*imageProcessor);

    ui->sldSize->setValue(arg1);
    ui->sldSize->update();
}

QSize TavoMain::viewAreaSize() const
{
    return QSize(ui->lblWidth->width() - 20,
                 ui->lblHeight->height() - ui->btnReset->height() - ui->spbSize->height() - 20);
}

void TavoMain::on_btnScale_clicked()
{
    const QSize area = viewAreaSize();
    imageProcessor->scaleKeepAspect(area.width(), area.height());
    updateImageView();
    reportRefusedPicture(*imageProcessor);
}

void TavoMain::on_btnFit_clicked()
{
    const QSize area = viewAreaSize();
    imageProcessor->scaleIgnoreAspect(area.width(), area.height());
    updateImageView();
    reportRefusedPicture(*imageProcessor);
}

void TavoMain::on_btnCrop_clicked()
{
    const QSize area = viewAreaSize();
    imageProcessor->cropImage(area.width(), area.height());
    updateImageView();
    reportRefusedPicture(*imageProcessor);
}

// A transpose, not a quarter-turn. A wide picture usually fits the bed better
// as it is, so the user is asked first.
void TavoMain::on_btnRotate_clicked()
{
    const QImage& picture = *imageProcessor->workingImage();
    if (picture.height() < picture.width()) {
        const Dialogs::Button answer = Dialogs::instance().question(
            tr("Rotate Image"),
            tr("Currently the width of image is larger than height, it fits better than that "
               "after rotated. Do you still want to rotate it?"),
            Dialogs::Ok | Dialogs::Cancel, Dialogs::Cancel);
        if (answer != Dialogs::Ok)
            return;
    }
    imageProcessor->rotateImage();
    rotated = !rotated;
    updateImageView();
    reportRefusedPicture(*imageProcessor);
}

// Back to the picture as loaded, at 100 %. When the zoom was elsewhere, moving
// it to 100 runs a zoom step, which applies the rotation again; at 100
// already, the unrotated picture stays until the next zoom change.
void TavoMain::on_btnReset_clicked()
{
    imageProcessor->resetImage();
    ui->sldSize->setValue(100);
    ui->spbSize->setValue(100);
    updateImageView();
}
