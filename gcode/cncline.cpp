// CNC Line: a serpentine scan that changes the tool's depth wherever the gray
// level changes, from Min Depth for white to Max Depth for black.
#include "gcode/gcodegenerator.h"
#include "gcode/gcodeoutput.h"

#include <QCoreApplication>

#include <cmath>

using namespace gcode;

namespace {

// At most six significant digits, no trailing zeros: 102, 20.4235.
QByteArray zText(double z)
{
    return QString(QStringLiteral("%1")).arg(z).toUtf8();
}

} // namespace

bool GcodeGenerator::generateCncLine(const QString& fileName)
{
    // This writer has always worded its message so; the window relies on it.
    const char* failure = QT_TRANSLATE_NOOP("TavoMain", " cannot be writed!");
    OutputFile file(fileName, "\r\n", m_progress);
    if (!file.open())
        return reportWriteFailure(file, fileName, failure);

    const double safeHeight = paramValues[1].toDouble() + 2.0;
    const double topHeight = safeHeight + 10.0;

    writePrefix(file, "; <Tavo CNC Milling>", "; Line CNC", paramNames, paramValues);
    file.line("; ****** Main G-code ******");
    file.line("M107");
    file.line("G28");
    file.line("G4 P2000");
    file.line("G1 F1000");
    file.line("G1 Z" + zText(topHeight));
    file.line("G1 Z" + zText(safeHeight));
    file.line("G4 P10000");
    file.line("M106 S255");
    file.line("G4 P3000");
    file.line("G1 Z" + zText(safeHeight));
    file.line("G1 F" + paramValues[4].toUtf8());
    file.line("G1 " + formatPosition(0, 0).toLatin1() + " Z" + zText(safeHeight));

    const double maxDepth = paramValues[2].toDouble();
    const double minDepth = paramValues[3].toDouble();
    const double depthStep = (maxDepth - minDepth) / 255.0;
    const double speed = paramValues[4].toDouble();
    std::array<double, 256> depths;
    for (int g = 0; g < 256; ++g)
        depths[std::size_t(g)] = (255 - g) * depthStep + minDepth;

    const QImage picture = m_image ? wordImage(*m_image) : QImage();
    const int width = picture.width();
    const int height = picture.height();
    const double precision = m_precision;
    const TextTable xs = columnMoves(width, precision, 0, width);
    // A change is two lines: the move, then the new depth.
    const TextTable ys = rowTexts(height, precision, "\r\nG1 Z");
    const TextTable zs(256, [&](int g) { return zText(depths[std::size_t(g)]) + "\r\n"; });
    const std::size_t longestChange = xs.stride() + ys.stride() + zs.stride();

    const StepTimes times(256, 1.0, speed);

    double time = m_processingTime;
    double previousDepth = maxDepth;
    SerpentineRows rows(picture, 127);
    for (int r = 0; r < height && file.proceed(r, height); ++r) {
        rows.load(r);
        const unsigned char* grays = rows.grays();
        int previous = 255;
        for (int base = 0; base < width; base += 64) {
            // Room for a whole block, so that the inner loop calls nothing
            // and its running values stay in registers.
            char* to = file.reserve(64 * longestChange);
            double sum = time;
            double depthBefore = previousDepth;
            const int blockEnd = qMin(base + 64, width);
            for (int i = base; i < blockEnd; ++i) {
                const int g = grays[i];
                if (g == previous)
                    continue;
                previous = g;
                const double depth = depths[std::size_t(g)];
                // Whole millimetres only: a change under 1 mm costs no time.
                const double change = depthBefore - depth;
                sum += std::fabs(change) < 2147483647.0 ? times(std::abs(int(change)))
                                                        : std::fabs(std::trunc(change)) / speed;
                depthBefore = depth;
                to = xs.copy(to, rows.column(i));
                to = ys.copy(to, r);
                to = zs.copy(to, g);
            }
            time = sum;
            previousDepth = depthBefore;
            file.advance(to);
        }
    }

    file.line("; ****** G-code Postfix ******");
    file.line("M107");
    file.line("G28");
    file.line("M107");
    file.line("M84");
    file.line("G1 F2000");
    if (!file.commit())
        return reportWriteFailure(file, fileName, failure);
    m_processingTime = time + m_travelLength / speed;
    return true;
}
