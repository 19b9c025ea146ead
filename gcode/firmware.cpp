#include "gcode/firmware.h"

#include <QCoreApplication>

#include <cmath>

bool readSMax(const QString& text, int* value, QString* error)
{
    bool ok = false;
    const int number = text.trimmed().toInt(&ok, 10);
    if (ok && number >= sMaxLow && number <= sMaxHigh) {
        *value = number;
        return true;
    }
    *error = QCoreApplication::translate(
                 "TavoMain", "S-max must be a whole number within (1 - 100000), not \"%1\"")
                 .arg(text);
    return false;
}

bool readOverscan(const QString& text, double* value, QString* error)
{
    bool ok = false;
    const double number = text.trimmed().toDouble(&ok);
    // Written this way round, NaN fails too.
    if (ok && number >= 0.0 && number <= overscanHigh) {
        *value = std::round(number * 1000.0) / 1000.0;
        return true;
    }
    *error =
        QCoreApplication::translate("TavoMain", "Overscan must be within (0 - 50) mm, not \"%1\"")
            .arg(text);
    return false;
}

QString firmwareName(Firmware firmware)
{
    return firmware == Firmware::Grbl
               ? QCoreApplication::translate("TavoMain", "GRBL 1.1")
               : QCoreApplication::translate("TavoMain", "Marlin (laser on the fan output)");
}
