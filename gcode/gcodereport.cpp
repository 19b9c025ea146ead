#include "gcode/gcodereport.h"

#include "gcode/machine.h"

#include <QCoreApplication>

#include <limits>

bool engravingOutOfRange(int width, int height, const QString& pitchText)
{
    const float range = float(machineRangeMm);
    return sizeOnMachineMm(width, pitchText) >= range ||
           sizeOnMachineMm(height, pitchText) >= range;
}

QString gcodeReport(const QString& path, int travelLength, double processingTime, int width,
                    int height, const QString& pitchText)
{
    qint64 minutes = 0;
    if (processingTime >= double(std::numeric_limits<qint64>::max()))
        minutes = std::numeric_limits<qint64>::max();
    else if (processingTime <= double(std::numeric_limits<qint64>::min()))
        minutes = std::numeric_limits<qint64>::min();
    else if (processingTime == processingTime)
        minutes = static_cast<qint64>(processingTime);

    QString report = path;
    report += QCoreApplication::translate("TavoMain", "\nHas been successfully generated!\n\n");
    report += QCoreApplication::translate("TavoMain", "Estimated travel length (mm): %1\n\n")
                  .arg(travelLength);
    report += QCoreApplication::translate("TavoMain", "Estimated processing time (min): %1\n\n")
                  .arg(minutes);
    if (engravingOutOfRange(width, height, pitchText))
        report += QCoreApplication::translate(
            "TavoMain", "The engraving path will be out of the max available range!\n"
                        "You may have to modify the size of picture or the precision.\n");
    return report;
}
