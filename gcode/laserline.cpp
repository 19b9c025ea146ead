// Laser Line: a serpentine scan of the rows that jumps over light stretches
// and engraves each dark run at the travel feed, the laser on at one power
// for the whole scan.
#include "gcode/gcodegenerator.h"
#include "gcode/gcodeoutput.h"

#include <QCoreApplication>

#include <cstdlib>

using namespace gcode;

bool GcodeGenerator::generateLaserLine(const QString& fileName)
{
    const char* failure = QT_TRANSLATE_NOOP("TavoMain", " cannot be written!");
    OutputFile file(fileName);
    if (!file.open())
        return reportWriteFailure(fileName, failure);

    const QByteArray travelText = paramValues[2].toUtf8();
    const QByteArray jumpText = paramValues[3].toUtf8();
    const int power = truncatedToInt(paramValues[1].toDouble() * 255 / 100);
    const double travelSpeed = paramValues[2].toDouble();
    const double jumpSpeed = paramValues[3].toDouble();

    writePrefix(file, "; <Tavo Laser Engraving>", "; Line Laser", paramNames, paramValues);
    file.line("; ****** Main G-code ******");
    file.line("M107");
    file.line("G28");
    file.line("G1 F2000");
    file.line("G4 P2000");
    file.line("G1 Z" + paramValues[4].toUtf8());
    file.line("M106 S2");
    file.line("G4 P9000");
    file.line("M106 S" + QByteArray::number(power));

    const QImage picture = m_image ? wordImage(*m_image) : QImage();
    const int width = picture.width();
    const int height = picture.height();
    const double precision = m_precision;
    // Columns -1 and W are where a run reaching the row's end is closed.
    const TextTable xs(width + 2, [&](int i) {
        return "G1 X" + coordinateText(machineX(width, i - 1, precision)).toLatin1();
    });
    const TextTable ys(height, [&](int r) {
        return " Y" + coordinateText(machineY(height, r, precision)).toLatin1();
    });
    enum Feed { Jump, Travel };
    const TextTable feeds(
        2, [&](int feed) { return " F" + (feed == Jump ? jumpText : travelText) + "\r\n"; });
    const std::size_t longestLine = xs.stride() + ys.stride() + feeds.stride();

    double time = m_processingTime;
    std::vector<unsigned char> grays;
    for (int r = 0; r < height && file.ok(); ++r) {
        rowGrayLevels(picture, r, grays);
        const bool even = r % 2 == 0;
        const int step = even ? 1 : -1;
        const int first = even ? 0 : width - 1;
        const int end = even ? width : -1;
        int last = first;
        const auto move = [&](int c, Feed feed, double speed) {
            char* to = file.reserve(longestLine);
            to = xs.copy(to, c + 1);
            to = ys.copy(to, r);
            to = feeds.copy(to, feed);
            file.advance(to);
            time += std::abs(c - last) * precision / speed;
            last = c;
        };

        int previous = 255;
        for (int c = first; c != end; c += step) {
            const int g = grays[std::size_t(c)];
            if (g <= 126 && previous >= 128)
                move(c, Jump, jumpSpeed);
            else if (g >= 128 && previous <= 126)
                move(c, Travel, travelSpeed);
            previous = g;
        }
        // A run that reaches the row's end is closed there, as if a light
        // pixel lay just past it; otherwise the machine would take the next
        // row's first jump from the run's start with the laser on.
        if (previous <= 126)
            move(end, Travel, travelSpeed);
    }

    file.line("; ****** G-code Postfix ******");
    file.line("M107");
    file.line("G1 F2000");
    file.line("G28");
    file.line("M107");
    file.line("M84");
    file.line("G1 F2000");
    if (!file.commit())
        return reportWriteFailure(fileName, failure);
    m_processingTime = time;
    return true;
}
