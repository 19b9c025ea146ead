// Laser Line: a serpentine scan of the rows that jumps over light stretches
// and engraves each dark run at the travel feed, the laser on at one power
// for the whole scan.
#include "gcode/gcodegenerator.h"
#include "gcode/gcodeoutput.h"

#include <QCoreApplication>
#include <QtAlgorithms>

#include <cstdlib>

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

using namespace gcode;

namespace {

// Bit k of dark (light) is set when level k of the 64 is at most 126 (at
// least 128).
inline void classify(const unsigned char* grays, std::uint64_t& dark, std::uint64_t& light)
{
    dark = 0;
    light = 0;
#if defined(__SSE2__)
    const __m128i darkest = _mm_set1_epi8(char(126));
    const __m128i lightest = _mm_set1_epi8(char(128));
    for (int k = 0; k < 4; ++k) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(grays + 16 * k));
        const int d = _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(v, darkest), v));
        const int l = _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(v, lightest), v));
        dark |= std::uint64_t(unsigned(d)) << (16 * k);
        light |= std::uint64_t(unsigned(l)) << (16 * k);
    }
#else
    for (int k = 0; k < 64; ++k) {
        dark |= std::uint64_t(grays[k] <= 126) << k;
        light |= std::uint64_t(grays[k] >= 128) << k;
    }
#endif
}

} // namespace

bool GcodeGenerator::generateLaserLine(const QString& fileName)
{
    const char* failure = QT_TRANSLATE_NOOP("TavoMain", " cannot be written!");
    OutputFile file(fileName, "\r\n", m_progress);
    if (!file.open())
        return reportWriteFailure(file, fileName, failure);

    const QByteArray travelText = paramValues[2].toUtf8();
    const QByteArray jumpText = paramValues[3].toUtf8();
    const int power = truncatedToInt(paramValues[1].toDouble() * 255 / 100);
    const double travelSpeed = paramValues[2].toDouble();
    const double jumpSpeed = paramValues[3].toDouble();

    writePrefix(file, "; <Tavo Laser Engraving>", "; Line Laser", paramNames, paramValues);
    writeLaserSetup(file, "G1 F2000", paramValues[4], "G4 P9000", QByteArray::number(power));

    const QImage picture = m_image ? wordImage(*m_image) : QImage();
    const int width = picture.width();
    const int height = picture.height();
    const double precision = m_precision;
    // Columns -1 and W are where a run reaching the row's end is closed.
    const TextTable xs = columnMoves(width, precision, -1, width + 2);
    const TextTable ys = rowTexts(height, precision);
    enum Feed { Jump, Travel };
    const TextTable feeds(
        2, [&](int feed) { return " F" + (feed == Jump ? jumpText : travelText) + "\r\n"; });
    const std::size_t longestLine = xs.stride() + ys.stride() + feeds.stride();

    const StepTimes jumpTimes(width + 2, precision, jumpSpeed);
    const StepTimes travelTimes(width + 2, precision, travelSpeed);

    double time = m_processingTime;
    // A run that reaches the row's end is closed there, as if a light pixel
    // lay just past it; otherwise the machine would take the next row's first
    // jump from the run's start with the laser on.
    SerpentineRows rows(picture, 255);
    for (int r = 0; r < height && file.proceed(r, height); ++r) {
        rows.load(r);
        const unsigned char* grays = rows.grays();
        int last = rows.column(0);
        // A run starts where a dark pixel follows a light one and ends where a
        // light pixel follows a dark one; gray 127 is neither. Found 64
        // pixels at a time as bit masks, so the scan does not branch on
        // every pixel of a dithered picture.
        std::uint64_t darkBefore = 0;
        std::uint64_t lightBefore = 1; // as if a light pixel lay before the row
        for (int base = 0; base <= width; base += 64) {
            std::uint64_t dark, light;
            classify(grays + base, dark, light);
            std::uint64_t changes =
                (dark & ((light << 1) | lightBefore)) | (light & ((dark << 1) | darkBefore));
            darkBefore = dark >> 63;
            lightBefore = light >> 63;
            if (!changes)
                continue;
            char* to = file.reserve(64 * longestLine);
            do {
                const int k = int(qCountTrailingZeroBits(changes));
                changes &= changes - 1;
                const int c = rows.column(base + k);
                const bool starts = (dark >> k) & 1;
                to = xs.copy(to, c + 1);
                to = ys.copy(to, r);
                to = feeds.copy(to, starts ? Jump : Travel);
                time += (starts ? jumpTimes : travelTimes)(std::abs(c - last));
                last = c;
            } while (changes);
            file.advance(to);
        }
    }

    file.line("; ****** G-code Postfix ******");
    file.line("M107");
    file.line("G1 F2000");
    file.line("G28");
    file.line("M107");
    file.line("M84");
    file.line("G1 F2000");
    if (!file.commit())
        return reportWriteFailure(file, fileName, failure);
    m_processingTime = time;
    return true;
}
