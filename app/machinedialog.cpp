#include "machinedialog.h"

#include "dialogs/dialogs.h"
#include "gcode/grblwriters.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QSettings>

MachineDialog::MachineDialog(const FirmwareSettings& settings, QWidget* parent)
    : QDialog(parent), m_settings(settings), m_firmware(new QComboBox(this)),
      m_sMax(new QLineEdit(QString::number(settings.sMax), this)),
      m_overscan(new QLineEdit(QString::fromLatin1(gcode::grblNumber(settings.overscan)), this)),
      m_oneWay(new QCheckBox(tr("Scan every row left to right"), this))
{
    setWindowTitle(tr("Machine"));
    m_firmware->setObjectName(QStringLiteral("cmbFirmware"));
    m_sMax->setObjectName(QStringLiteral("txtSMax"));
    m_overscan->setObjectName(QStringLiteral("txtOverscan"));
    m_oneWay->setObjectName(QStringLiteral("ckbOneWay"));
    m_firmware->addItem(firmwareName(Firmware::Marlin));
    m_firmware->addItem(firmwareName(Firmware::Grbl));
    m_firmware->setCurrentIndex(settings.firmware == Firmware::Grbl ? 1 : 0);
    m_oneWay->setChecked(settings.oneWay);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &MachineDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &MachineDialog::reject);
    connect(m_firmware, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &MachineDialog::showFirmware);

    auto* form = new QFormLayout(this);
    form->addRow(tr("Firmware"), m_firmware);
    form->addRow(tr("S-max ($30)"), m_sMax);
    form->addRow(tr("Overscan (mm)"), m_overscan);
    form->addRow(QString(), m_oneWay);
    form->addRow(buttons);
    showFirmware();
}

// The GRBL settings mean nothing to a Marlin file.
void MachineDialog::showFirmware()
{
    const bool grbl = m_firmware->currentIndex() == 1;
    for (QWidget* field : {static_cast<QWidget*>(m_sMax), static_cast<QWidget*>(m_overscan),
                           static_cast<QWidget*>(m_oneWay)})
        field->setEnabled(grbl);
}

void MachineDialog::accept()
{
    FirmwareSettings chosen;
    chosen.firmware = m_firmware->currentIndex() == 1 ? Firmware::Grbl : Firmware::Marlin;
    chosen.oneWay = m_oneWay->isChecked();
    QString error;
    if (!readSMax(m_sMax->text(), &chosen.sMax, &error) ||
        !readOverscan(m_overscan->text(), &chosen.overscan, &error)) {
        Dialogs::instance().critical(tr("Machine"), error);
        return;
    }
    m_settings = chosen;
    QDialog::accept();
}

FirmwareSettings loadFirmwareSettings()
{
    QSettings store(QStringLiteral("TavoAssistant"), QStringLiteral("TavoAssistant"));
    FirmwareSettings settings;
    QString ignored;
    if (store.value(QStringLiteral("machine/firmware")).toString() == QLatin1String("grbl"))
        settings.firmware = Firmware::Grbl;
    // A value edited out of range outside the program gives way to the default.
    readSMax(store.value(QStringLiteral("machine/sMax"), settings.sMax).toString(), &settings.sMax,
             &ignored);
    readOverscan(store.value(QStringLiteral("machine/overscan"), settings.overscan).toString(),
                 &settings.overscan, &ignored);
    settings.oneWay = store.value(QStringLiteral("machine/oneWay"), false).toBool();
    return settings;
}

void saveFirmwareSettings(const FirmwareSettings& settings)
{
    QSettings store(QStringLiteral("TavoAssistant"), QStringLiteral("TavoAssistant"));
    store.setValue(QStringLiteral("machine/firmware"), settings.firmware == Firmware::Grbl
                                                           ? QStringLiteral("grbl")
                                                           : QStringLiteral("marlin"));
    store.setValue(QStringLiteral("machine/sMax"), settings.sMax);
    store.setValue(QStringLiteral("machine/overscan"), settings.overscan);
    store.setValue(QStringLiteral("machine/oneWay"), settings.oneWay);
}
