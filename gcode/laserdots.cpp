// Laser Dots: a serpentine scan that visits every pixel whose gray level lies
// inside the band of the Ignored Threshold and sets the power from its
// darkness.
#include "gcode/gcodegenerator.h"
#include "gcode/gcodeoutput.h"

#include <QCoreApplication>

#include <cstdlib>

using namespace gcode;

bool GcodeGenerator::generateLaserDots(const QString& fileName)
{
    const char* failure = QT_TRANSLATE_NOOP("TavoMain", " cannot be written!");
    OutputFile file(fileName, "\r\n", m_progress);
    if (!file.open())
        return reportWriteFailure(file, fileName, failure);

    writePrefix(file, "; <Tavo Laser Engraving>", "; Dots Laser", paramNames, paramValues);
    writeLaserSetup(file, "G1 F1000", paramValues[4], "G4 P10000", "2");

    const int ignored = paramValues[1].toInt(nullptr, 10);
    // The index stays in single precision; each product with it is exact in
    // double, so 0.7 at gray 245 gives 6 (0.7f lies just below 0.7).
    const float powerIndex = paramValues[2].toFloat();
    const double speed = paramValues[3].toDouble();
    const QByteArray speedText = paramValues[3].toUtf8();

    const QImage picture = m_image ? wordImage(*m_image) : QImage();
    const int width = picture.width();
    const int height = picture.height();
    const double precision = m_precision;
    const TextTable xs = columnMoves(width, precision, 0, width);
    const TextTable ys = rowTexts(height, precision);
    // The rest of a dot's two lines depends on its gray level alone.
    const TextTable tails(256, [&](int g) {
        const int power = truncatedToInt((255 - g) * double(powerIndex));
        return " F" + speedText + "\r\nM106 S" + QByteArray::number(power) + "\r\n";
    });
    const std::size_t longestDot = xs.stride() + ys.stride() + tails.stride();

    const StepTimes times(width, precision, speed);

    double time = m_processingTime;
    SerpentineRows rows(picture, 127);
    for (int r = 0; r < height && file.proceed(r, height); ++r) {
        rows.load(r);
        const unsigned char* grays = rows.grays();
        int last = rows.column(0);
        for (int i = 0; i < width; ++i) {
            const int g = grays[i];
            if (g < ignored || g > 255 - ignored)
                continue;
            const int c = rows.column(i);
            char* to = file.reserve(longestDot);
            to = xs.copy(to, c);
            to = ys.copy(to, r);
            to = tails.copy(to, g);
            file.advance(to);
            time += times(std::abs(c - last));
            last = c;
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
    m_processingTime = time;
    return true;
}
