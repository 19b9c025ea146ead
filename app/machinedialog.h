#ifndef TAVO_APP_MACHINEDIALOG_H
#define TAVO_APP_MACHINEDIALOG_H

#include "gcode/firmware.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;

// Settings > Machine: the firmware the files are written for and the
// GRBL settings. OK checks the fields and keeps the dialog open, with a
// message naming the value, while one is refused.
class MachineDialog : public QDialog
{
    Q_OBJECT

public:
    explicit MachineDialog(const FirmwareSettings& settings, QWidget* parent = nullptr);

    // What was accepted; the settings given until then.
    const FirmwareSettings& settings() const { return m_settings; }

    void accept() override;

private:
    void showFirmware();

    FirmwareSettings m_settings;
    QComboBox* m_firmware;
    QLineEdit* m_sMax;
    QLineEdit* m_overscan;
    QCheckBox* m_oneWay;
};

// Kept between runs in the program's QSettings.
FirmwareSettings loadFirmwareSettings();
void saveFirmwareSettings(const FirmwareSettings& settings);

#endif
