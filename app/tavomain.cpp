#include "tavomain.h"
#include "ui_tavomain.h"

#include "dialogs/dialogs.h"
#include "gcode/gcodegenerator.h"
#include "imaging/imageprocessor.h"

#include <QCloseEvent>
#include <QEvent>
#include <QMenuBar>

TavoMain::TavoMain(QWidget* parent)
    : QMainWindow(parent), ui(std::make_unique<Ui::TavoMain>()),
      imageProcessor(std::make_unique<ImageProcessor>()),
      gcodeGenerator(std::make_unique<GcodeGenerator>())
{
    ui->setupUi(this);
    setupPreview();

    // Nothing to work on until a picture has been opened.
    ui->controlWidget->setEnabled(false);
    ui->imageWidget->setEnabled(false);
    // Taken once from the form's own width, so the left column keeps its
    // proportion of the designed window however large the screen is.
    ui->settingWidget->setMaximumWidth(width() * 7 / 24);

    hoverButtons = {ui->btnOpen,      ui->btnReset,   ui->btnLaser,  ui->btnCnc,     ui->btnGcode,
                    ui->btnGray,      ui->btnBinary,  ui->btnDither, ui->btnInverse, ui->btnRelief,
                    ui->btnPulverize, ui->btnOutline, ui->btnSoften, ui->btnScale,   ui->btnFit,
                    ui->btnCrop,      ui->btnRotate};
    for (QPushButton* button : hoverButtons)
        button->installEventFilter(this);
    // Keys, the wheel and a press on the groove move the slider too: the box,
    // and with it the picture, follows, so the two never show different values.
    connect(ui->sldSize, &QSlider::valueChanged, ui->spbSize, &QSpinBox::setValue);
    setupMachineMenu();

    showMaximized();
}

TavoMain::~TavoMain() = default;

// The flat buttons show their frame only while the pointer is over them.
bool TavoMain::eventFilter(QObject* watched, QEvent* event)
{
    for (QPushButton* button : hoverButtons) {
        if (watched != button)
            continue;
        if (event->type() == QEvent::Enter)
            button->setFlat(false);
        else if (event->type() == QEvent::Leave)
            button->setFlat(true);
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TavoMain::closeEvent(QCloseEvent* event)
{
    // Long work is stopped with its own Cancel; the window waits for it.
    if (longWorkRunning()) {
        event->ignore();
        return;
    }
    const Dialogs::Button answer =
        Dialogs::instance().question(tr("Exit"), tr("Are you sure to exit TavoAssistant?"),
                                     Dialogs::Yes | Dialogs::Cancel, Dialogs::NoButton);
    if (answer == Dialogs::Yes)
        event->accept();
    else
        event->ignore();
}

void TavoMain::on_actionExit_triggered()
{
    close();
}

WorkEnd TavoMain::runLong(const QString& title, const QString& label,
                          const std::function<bool(ProgressReport&)>& work)
{
    return runLongWork(title, label, {centralWidget(), menuBar()}, work);
}
