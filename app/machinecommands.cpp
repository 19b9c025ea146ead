// Settings > Machine and the panel's line naming the firmware.
#include "machinedialog.h"
#include "tavomain.h"
#include "ui_tavomain.h"

#include "gcode/gcodegenerator.h"

#include <QHBoxLayout>
#include <QMenuBar>

void TavoMain::setupMachineMenu()
{
    QMenu* menu = menuBar()->addMenu(tr("Settings"));
    menu->setObjectName(QStringLiteral("menuSettings"));
    QAction* machine = menu->addAction(tr("Machine..."));
    machine->setObjectName(QStringLiteral("actionMachine"));
    connect(machine, &QAction::triggered, this, &TavoMain::openMachineDialog);

    // Beside the type's heading, so the firmware is seen with the type.
    firmwareLabel = new QLabel(ui->controlWidget);
    firmwareLabel->setObjectName(QStringLiteral("lblFirmware"));
    ui->horizontalLayout_2->addWidget(firmwareLabel);
    setFirmwareSettings(gcodeGenerator->firmware);
}

void TavoMain::setFirmwareSettings(const FirmwareSettings& settings)
{
    gcodeGenerator->firmware = settings;
    const bool grbl = settings.firmware == Firmware::Grbl;
    firmwareLabel->setText(grbl ? tr("for GRBL 1.1") : tr("for Marlin"));
    firmwareLabel->setToolTip(firmwareName(settings.firmware));
}

void TavoMain::openMachineDialog()
{
    auto* dialog = new MachineDialog(gcodeGenerator->firmware, this);
    dialog->setObjectName(QStringLiteral("machineDialog"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        setFirmwareSettings(dialog->settings());
        saveFirmwareSettings(dialog->settings());
    });
    dialog->open();
}
