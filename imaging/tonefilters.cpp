// Tone filters: each pixel's new colour comes from its own colour (and, for
// Dither, from what the pixels before it passed on). All of them work in
// place on the working image's scan lines and write opaque pixels.

#include "imaging/imageprocessor.h"
#include "imaging/pixelrows.h"

#include <vector>

#ifdef TAVO_HAVE_SSE2
#include <emmintrin.h>
#endif

int ImageProcessor::meanGrayLevel() const
{
    const QImage image = workingPixels(m_workingImage);
    const int width = image.width();
    const int height = image.height();
    if (width <= 0 || height <= 0)
        return 0;
    // Whole gray levels add up exactly, so an integer sum equals the double
    // sum taken pixel by pixel.
    qint64 sum = 0;
    for (int y = 0; y < height; ++y)
        sum += grayLevelSum(reinterpret_cast<const QRgb*>(image.constScanLine(y)), width);
    return int(double(sum) / double(qint64(width) * height) + 0.1);
}

int ImageProcessor::effectiveThreshold() const
{
    return m_autoThreshold ? meanGrayLevel() : m_threshold;
}

void ImageProcessor::grayImage()
{
    if (!preparePixels(m_workingImage))
        return;
    const PixelRows rows(m_workingImage);
    for (int y = 0; y < rows.height(); ++y)
        grayRow(rows[y], rows.width());
}

void ImageProcessor::binaryImage()
{
    if (!preparePixels(m_workingImage))
        return;
    const int threshold = effectiveThreshold();
    const PixelRows rows(m_workingImage);
    for (int y = 0; y < rows.height(); ++y)
        binaryRow(rows[y], rows.width(), threshold);
}

void ImageProcessor::inverseImage()
{
    if (!preparePixels(m_workingImage))
        return;
    const PixelRows rows(m_workingImage);
    for (int y = 0; y < rows.height(); ++y) {
        QRgb* line = rows[y];
        for (int x = 0; x < rows.width(); ++x)
            line[x] = (line[x] ^ 0x00FFFFFFu) | 0xFF000000u;
    }
}

QRgb ImageProcessor::ditherNeighbour(const QColor& current, const QColor& thresholdColour,
                                     const QColor& neighbour, double weight)
{
    const auto channel = [weight](int currentValue, int thresholdValue, int neighbourValue) {
        const double k = thresholdValue < currentValue ? 0.0 : 255.0;
        // Limiting before the conversion keeps any weight from overflowing
        // the int; truncating a value in 0..255 gives the same channel.
        return int(qBound(0.0, neighbourValue + k * weight, 255.0));
    };
    return qRgb(channel(current.red(), thresholdColour.red(), neighbour.red()),
                channel(current.green(), thresholdColour.green(), neighbour.green()),
                channel(current.blue(), thresholdColour.blue(), neighbour.blue()));
}

namespace {

// What ditherNeighbour adds to a channel at or below the threshold colour's:
// 255 x weight truncated, the same in every colour byte of a word.
constexpr QRgb ditherIncrement(double weight)
{
    return QRgb(255.0 * weight) * 0x010101u;
}
constexpr QRgb rightIncrement = ditherIncrement(7.0 / 16);     // 111
constexpr QRgb belowLeftIncrement = ditherIncrement(5.0 / 16); // 79
constexpr QRgb belowIncrement = ditherIncrement(3.0 / 8);      // 95
constexpr QRgb belowRightIncrement = ditherIncrement(1.0 / 8); // 31
static_assert((belowLeftIncrement & 0xFF) + (belowIncrement & 0xFF) +
                      (belowRightIncrement & 0xFF) <=
                  255,
              "the increments a pixel receives from one row add up without carrying between bytes");

constexpr QRgb opaque = 0xFF000000u;

// Channel-wise a + b limited to 255, opaque; b's alpha byte is zero.
inline QRgb addLimited(QRgb a, QRgb b)
{
    const QRgb red = QRgb(qMin(qRed(a) + qRed(b), 255));
    const QRgb green = QRgb(qMin(qGreen(a) + qGreen(b), 255));
    const QRgb blue = QRgb(qMin(qBlue(a) + qBlue(b), 255));
    return opaque | red << 16 | green << 8 | blue;
}

// 0xFF in each colour byte whose channel is at or below the threshold
// colour's, 0 elsewhere and in the alpha byte.
inline QRgb atOrBelow(QRgb pixel, QRgb threshold)
{
    return (qRed(pixel) <= qRed(threshold) ? 0xFF0000u : 0u) |
           (qGreen(pixel) <= qGreen(threshold) ? 0xFF00u : 0u) |
           (qBlue(pixel) <= qBlue(threshold) ? 0xFFu : 0u);
}

#ifdef TAVO_HAVE_SSE2
inline __m128i load4(const QRgb* words)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(words));
}
inline void store4(QRgb* words, __m128i value)
{
    _mm_storeu_si128(reinterpret_cast<__m128i*>(words), value);
}
inline __m128i splat(QRgb word)
{
    return _mm_set1_epi32(int(word));
}
inline __m128i atOrBelow4(__m128i pixels, __m128i threshold)
{
    return _mm_and_si128(_mm_cmpeq_epi8(_mm_min_epu8(pixels, threshold), pixels),
                         splat(0x00FFFFFFu));
}
#endif

// Per-channel means of the picture plus 0.1, truncated.
QRgb meanColour(const PixelRows& rows)
{
    quint64 red = 0, green = 0, blue = 0;
    for (int y = 0; y < rows.height(); ++y) {
        const QRgb* line = rows[y];
        int x = 0;
#ifdef TAVO_HAVE_SSE2
        // Byte sums of the masked channel, 64-bit lanes.
        __m128i redSum = _mm_setzero_si128(), greenSum = redSum, blueSum = redSum;
        for (; x + 4 <= rows.width(); x += 4) {
            const __m128i pixels = load4(line + x);
            const auto channelSum = [&pixels](QRgb mask) {
                return _mm_sad_epu8(_mm_and_si128(pixels, splat(mask)), _mm_setzero_si128());
            };
            redSum = _mm_add_epi64(redSum, channelSum(0x00FF0000u));
            greenSum = _mm_add_epi64(greenSum, channelSum(0x0000FF00u));
            blueSum = _mm_add_epi64(blueSum, channelSum(0x000000FFu));
        }
        alignas(16) quint64 lanes[2];
        const auto total = [&lanes](__m128i sum) {
            _mm_store_si128(reinterpret_cast<__m128i*>(lanes), sum);
            return lanes[0] + lanes[1];
        };
        red += total(redSum);
        green += total(greenSum);
        blue += total(blueSum);
#endif
        for (; x < rows.width(); ++x) {
            red += qRed(line[x]);
            green += qGreen(line[x]);
            blue += qBlue(line[x]);
        }
    }
    // Whole channel values add up exactly, as a double sum would.
    const double count = double(qint64(rows.width()) * rows.height());
    return qRgb(int(double(red) / count + 0.1), int(double(green) / count + 0.1),
                int(double(blue) / count + 0.1));
}

// One row's diffusion works in three steps. Only the right neighbour feeds a
// later current pixel of the same row, and it either receives the right
// increment in a channel or not, so the channel masks of a whole row follow
// from two masks per pixel worked out beforehand:
//   plain:  channels at or below the threshold as the pixel stands;
//   lifted: those of them that the right increment lifts above it.
// The mask of current pixel x is then plain ^ (mask of x - 1 & lifted), a
// walk of two operations per pixel; the increments are added afterwards, all
// at once (limited additions of non-negative amounts commute).
class DitherRow
{
public:
    DitherRow(int width, QRgb threshold)
        : m_width(width), m_threshold(threshold), m_plain(size_t(width)), m_lifted(size_t(width)),
          m_marks(size_t(width) + 2, 0u)
    {
    }

    void diffuse(QRgb* line, QRgb* below)
    {
        findCandidates(line);
        // m_marks[x + 1] is the mask of current pixel x; the last pixel of
        // the row is never current, so m_marks[0] and m_marks[width] stay 0.
        QRgb mark = m_plain[0];
        m_marks[1] = mark;
        for (int x = 1; x + 1 < m_width; ++x) {
            mark = m_plain[size_t(x)] ^ (mark & m_lifted[size_t(x)]);
            m_marks[size_t(x) + 1] = mark;
        }
        passRight(line);
        passBelow(below);
    }

private:
    void findCandidates(const QRgb* line)
    {
        int x = 0;
#ifdef TAVO_HAVE_SSE2
        const __m128i threshold = splat(m_threshold);
        for (; x + 4 <= m_width; x += 4) {
            const __m128i pixels = load4(line + x);
            const __m128i plain = atOrBelow4(pixels, threshold);
            const __m128i raised = _mm_adds_epu8(pixels, splat(rightIncrement));
            store4(&m_plain[size_t(x)], plain);
            store4(&m_lifted[size_t(x)], _mm_andnot_si128(atOrBelow4(raised, threshold), plain));
        }
#endif
        for (; x < m_width; ++x) {
            const QRgb plain = atOrBelow(line[x], m_threshold);
            m_plain[size_t(x)] = plain;
            m_lifted[size_t(x)] =
                plain & ~atOrBelow(addLimited(line[x], rightIncrement), m_threshold);
        }
    }

    // Pixel x >= 1 receives from current pixel x - 1.
    void passRight(QRgb* line) const
    {
        const QRgb* marks = m_marks.data();
        int x = 1;
#ifdef TAVO_HAVE_SSE2
        for (; x + 4 <= m_width; x += 4) {
            const __m128i increment = _mm_and_si128(load4(marks + x), splat(rightIncrement));
            store4(line + x,
                   _mm_or_si128(_mm_adds_epu8(load4(line + x), increment), splat(opaque)));
        }
#endif
        for (; x < m_width; ++x)
            line[x] = addLimited(line[x], marks[x] & rightIncrement);
    }

    // Pixel x of the row below receives from current pixels x + 1 (below
    // left), x (below) and x - 1 (below right).
    void passBelow(QRgb* below) const
    {
        const QRgb* marks = m_marks.data();
        int x = 0;
#ifdef TAVO_HAVE_SSE2
        for (; x + 4 <= m_width; x += 4) {
            const __m128i increment = _mm_add_epi8(
                _mm_add_epi8(_mm_and_si128(load4(marks + x + 2), splat(belowLeftIncrement)),
                             _mm_and_si128(load4(marks + x + 1), splat(belowIncrement))),
                _mm_and_si128(load4(marks + x), splat(belowRightIncrement)));
            store4(below + x,
                   _mm_or_si128(_mm_adds_epu8(load4(below + x), increment), splat(opaque)));
        }
#endif
        for (; x < m_width; ++x) {
            const QRgb increment = (marks[x + 2] & belowLeftIncrement) +
                                   (marks[x + 1] & belowIncrement) +
                                   (marks[x] & belowRightIncrement);
            below[x] = addLimited(below[x], increment);
        }
    }

    int m_width;
    QRgb m_threshold;
    std::vector<QRgb> m_plain;
    std::vector<QRgb> m_lifted;
    std::vector<QRgb> m_marks;
};

} // namespace

void ImageProcessor::ditherImage()
{
    if (!preparePixels(m_workingImage))
        return;
    const PixelRows rows(m_workingImage);
    if (rows.width() < 2 || rows.height() < 2)
        return;

    // A manual threshold outside 0..255 is no valid colour and reads as black.
    QRgb threshold = qRgb(0, 0, 0);
    if (m_autoThreshold)
        threshold = meanColour(rows);
    else if (m_threshold >= 0 && m_threshold <= 255)
        threshold = qRgb(m_threshold, m_threshold, m_threshold);

    DitherRow row(rows.width(), threshold);
    for (int y = 0; y + 1 < rows.height(); ++y)
        row.diffuse(rows[y], rows[y + 1]);
}
