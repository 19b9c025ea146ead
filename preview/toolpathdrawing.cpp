// A G-code file read and drawn: the one path from file to picture and report.
#include "preview/toolpathdrawing.h"

#include "gcode/machine.h"
#include "preview/sheet.h"

#include <QCoreApplication>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("TavoMain", text);
}

QString mm(double value)
{
    return QString::number(value, 'f', 2);
}

QImage renderSheet(const Sheet& sheet, const ToolpathReport& report)
{
    const bool cnc = report.machine == Machine::Cnc;
    const double white = report.whiteDepth;
    const double span = report.blackDepth - report.whiteDepth;
    return sheet.render([&](float value) {
        // Shallow cuts light, deep ones dark; one depth only is black.
        const double darkness = !cnc ? value : span > 0 ? (value - white) / span * 255.0 : 255.0;
        return int(std::floor(darkness + 0.5));
    });
}

} // namespace

bool drawToolpath(QIODevice& device, const DrawOptions& options, ToolpathDrawing* drawing,
                  QString* error)
{
    std::unique_ptr<Sheet> sheet;
    if (options.pixelsPerMm > 0) {
        drawing->pixelsPerMm =
            std::min(options.pixelsPerMm, Sheet::largestScale(previewPixelBudget));
        sheet = std::make_unique<Sheet>(drawing->pixelsPerMm, previewPixelBudget);
    }
    ToolpathReader reader(options.machine, sheet.get());
    if (options.progress) {
        ProgressDevice watched(&device, device.size(), options.progress);
        if (!watched.open(device.openMode() | QIODevice::Unbuffered) ||
            !reader.read(watched, error))
            return false;
    } else if (!reader.read(device, error)) {
        return false;
    }
    reader.finish();
    drawing->report = reader.report();
    drawing->complete = !sheet || sheet->complete();
    if (sheet && drawing->complete)
        drawing->image = renderSheet(*sheet, drawing->report);
    return true;
}

QString previewReport(const QString& fileName, const ToolpathReport& report)
{
    const bool cnc = report.machine == Machine::Cnc;
    QString text;
    text += tr("%1: %2, %3 lines, %4 moves\n")
                .arg(fileName, cnc ? tr("CNC milling") : tr("laser engraving"))
                .arg(report.lines)
                .arg(report.moves);
    if (report.grbl)
        text += tr("Firmware: GRBL 1.1, S-max %1\n").arg(report.sMax);
    if (report.hasBounds) {
        text += tr("Bounds: X %1 to %2 mm, Y %3 to %4 mm, Z %5 to %6 mm\n")
                    .arg(mm(report.minX), mm(report.maxX), mm(report.minY), mm(report.maxY),
                         mm(report.minZ), mm(report.maxZ));
        text += tr("Size: %1 x %2 mm, %3 the machine's %4 mm range\n")
                    .arg(mm(report.maxX - report.minX), mm(report.maxY - report.minY),
                         report.insideRange() ? tr("inside") : tr("beyond"),
                         QString::number(machineRangeMm));
    } else {
        text += tr("Bounds: no move\n");
    }
    text += (cnc ? tr("Cutting: %1 mm\n") : tr("Laser on: %1 mm\n")).arg(mm(report.workLength));
    text += (cnc ? tr("Travel: %1 mm\n") : tr("Laser off: %1 mm\n")).arg(mm(report.idleLength));
    const double total = report.moveMinutes + report.dwellMinutes;
    text += tr("Time: %1 min (%2), moves %3 min, dwells %4 min\n")
                .arg(mm(total), clockText(total), mm(report.moveMinutes), mm(report.dwellMinutes));
    if (report.untimedMoves > 0)
        text += tr("Moves before any feed rate, not timed: %1\n").arg(report.untimedMoves);
    QStringList unknown;
    for (const auto& command : report.unknownCommands)
        unknown << tr("%1 (%2)").arg(command.first).arg(command.second);
    text += tr("Unknown commands, skipped: %1\n")
                .arg(unknown.isEmpty() ? tr("none") : unknown.join(QLatin1String(", ")));
    return text;
}
