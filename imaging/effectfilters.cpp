// Effect filters: each written pixel comes from a small neighbourhood of the
// picture as it was before the filter started.
//
// No filter copies the picture for that. Relief, Soften and Pulverize read
// only pixels at or after the one they write (in row order), which are still
// unchanged, so they run in place; Outline keeps the gray levels of the
// original rows above, at and below the current one.

#include "imaging/imageprocessor.h"
#include "imaging/pixelrows.h"
#include "imaging/randomdraws.h"

#include <vector>

#ifdef TAVO_HAVE_SSE2
#include <emmintrin.h>
#endif

namespace {

#ifdef TAVO_HAVE_SSE2
inline __m128i load4(const QRgb* words)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(words));
}
inline void store4(QRgb* words, __m128i value)
{
    _mm_storeu_si128(reinterpret_cast<__m128i*>(words), value);
}
#endif

constexpr QRgb opaqueBlack = 0xFF000000u;
constexpr QRgb opaqueWhite = 0xFFFFFFFFu;

// One channel of Relief: |a - b + 128|, at most 255.
inline QRgb reliefChannel(int a, int b)
{
    return QRgb(qMin(qAbs(a - b + 128), 255));
}

// Relief of one row: pixel x from itself and the pixel below and right.
void reliefRow(QRgb* line, const QRgb* below, int count)
{
    int x = 0;
#ifdef TAVO_HAVE_SSE2
    // With d+ = a -sat b and d- = b -sat a (one of them 0):
    // a >= b gives 128 +sat d+, a < b gives |128 - d-| = (128 -sat d-) | (d- -sat 128);
    // each formula yields exactly 128 in the other case, so their sum less
    // 128 is the channel in both.
    const __m128i middle = _mm_set1_epi8(char(128));
    const __m128i opaque = _mm_set1_epi32(int(opaqueBlack));
    for (; x + 4 <= count; x += 4) {
        const __m128i a = load4(line + x);
        const __m128i b = load4(below + x + 1);
        const __m128i up = _mm_subs_epu8(a, b);
        const __m128i down = _mm_subs_epu8(b, a);
        const __m128i brighter = _mm_adds_epu8(up, middle);
        const __m128i darker =
            _mm_or_si128(_mm_subs_epu8(middle, down), _mm_subs_epu8(down, middle));
        store4(line + x,
               _mm_or_si128(_mm_sub_epi8(_mm_add_epi8(brighter, darker), middle), opaque));
    }
#endif
    for (; x < count; ++x) {
        const QRgb a = line[x];
        const QRgb b = below[x + 1];
        line[x] = opaqueBlack | reliefChannel(qRed(a), qRed(b)) << 16 |
                  reliefChannel(qGreen(a), qGreen(b)) << 8 | reliefChannel(qBlue(a), qBlue(b));
    }
}

// Soften's vertical pass: per pixel and byte (blue, green, red, alpha from
// the lowest up), top + 2 middle + bottom.
void softenColumns(const QRgb* top, const QRgb* middle, const QRgb* bottom, int count,
                   quint16* sums)
{
    int x = 0;
#ifdef TAVO_HAVE_SSE2
    const __m128i zero = _mm_setzero_si128();
    for (; x + 4 <= count; x += 4) {
        const __m128i a = load4(top + x);
        const __m128i b = load4(middle + x);
        const __m128i c = load4(bottom + x);
        const auto column = [](__m128i p, __m128i q, __m128i r) {
            return _mm_add_epi16(_mm_add_epi16(p, r), _mm_add_epi16(q, q));
        };
        __m128i* out = reinterpret_cast<__m128i*>(sums + 4 * x);
        _mm_storeu_si128(out, column(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero),
                                     _mm_unpacklo_epi8(c, zero)));
        _mm_storeu_si128(out + 1, column(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero),
                                         _mm_unpackhi_epi8(c, zero)));
    }
#endif
    for (; x < count; ++x) {
        for (int byte = 0; byte < 4; ++byte) {
            const int shift = 8 * byte;
            sums[4 * x + byte] =
                quint16(((top[x] >> shift) & 0xFF) + 2 * ((middle[x] >> shift) & 0xFF) +
                        ((bottom[x] >> shift) & 0xFF));
        }
    }
}

// Soften's horizontal pass: pixel x from the column sums x, x + 1, x + 2,
// weighted 1, 2, 1; the weights total 16.
void softenRow(QRgb* line, const quint16* sums, int count)
{
    int x = 0;
#ifdef TAVO_HAVE_SSE2
    const __m128i opaque = _mm_set1_epi32(int(opaqueBlack));
    const auto twoPixels = [sums](int first) {
        const auto load = [sums](int pixel) {
            return _mm_loadu_si128(reinterpret_cast<const __m128i*>(sums + 4 * pixel));
        };
        const __m128i middle = load(first + 1);
        const __m128i total = _mm_add_epi16(_mm_add_epi16(load(first), load(first + 2)),
                                            _mm_add_epi16(middle, middle));
        return _mm_srli_epi16(total, 4);
    };
    for (; x + 4 <= count; x += 4)
        store4(line + x, _mm_or_si128(_mm_packus_epi16(twoPixels(x), twoPixels(x + 2)), opaque));
#endif
    for (; x < count; ++x) {
        const auto channel = [sums, x](int byte) {
            const int i = 4 * x + byte;
            return QRgb((sums[i] + 2 * sums[i + 4] + sums[i + 8]) / 16) << (8 * byte);
        };
        line[x] = opaqueBlack | channel(2) | channel(1) | channel(0);
    }
}

// Outline of one row's inner pixels from the gray levels of the original
// rows above, at and below it: a light pixel, or a dark one whose four
// neighbours are all darker than the threshold, becomes white; the others
// (edges) keep their colour.
void outlineRow(QRgb* line, const quint8* above, const quint8* here, const quint8* below, int width,
                int threshold)
{
    int x = 1;
#ifdef TAVO_HAVE_SSE2
    if (threshold >= 0 && threshold <= 255) {
        const __m128i t = _mm_set1_epi8(char(threshold));
        const __m128i zero = _mm_setzero_si128();
        const auto load16 = [](const quint8* levels) {
            return _mm_loadu_si128(reinterpret_cast<const __m128i*>(levels));
        };
        // Unsigned bytes: g > t exactly where g -sat t is not zero, g < t
        // where t -sat g is not zero.
        const auto notAbove = [&](__m128i g) { return _mm_cmpeq_epi8(_mm_subs_epu8(g, t), zero); };
        const auto notBelow = [&](__m128i g) { return _mm_cmpeq_epi8(_mm_subs_epu8(t, g), zero); };
        for (; x + 16 <= width - 1; x += 16) {
            const __m128i edgeNear = _mm_or_si128(
                _mm_or_si128(notBelow(load16(here + x - 1)), notBelow(load16(above + x))),
                _mm_or_si128(notBelow(load16(here + x + 1)), notBelow(load16(below + x))));
            const __m128i keep = _mm_and_si128(notAbove(load16(here + x)), edgeNear);
            // White is all ones: or-ing the negated keep mask paints it.
            const __m128i paint = _mm_cmpeq_epi8(keep, zero);
            const __m128i low = _mm_unpacklo_epi8(paint, paint);
            const __m128i high = _mm_unpackhi_epi8(paint, paint);
            const __m128i masks[4] = {_mm_unpacklo_epi16(low, low), _mm_unpackhi_epi16(low, low),
                                      _mm_unpacklo_epi16(high, high),
                                      _mm_unpackhi_epi16(high, high)};
            for (int i = 0; i < 4; ++i)
                store4(line + x + 4 * i, _mm_or_si128(load4(line + x + 4 * i), masks[i]));
        }
    }
#endif
    for (; x < width - 1; ++x) {
        const bool light = here[x] > threshold;
        const bool inside = here[x - 1] < threshold && above[x] < threshold &&
                            here[x + 1] < threshold && below[x] < threshold;
        if (light || inside)
            line[x] = opaqueWhite;
    }
}

// The processor's random state is the splitmix64 counter (n + 1) x step of
// the next draw n, so a fresh processor starts at draw 0 and the seed is the
// number of the first draw. The step is odd, hence invertible.
constexpr std::uint64_t inverseOf(std::uint64_t odd)
{
    std::uint64_t inverse = odd; // right in the lowest 3 bits; each round doubles them
    for (int round = 0; round < 5; ++round)
        inverse *= 2 - odd * inverse;
    return inverse;
}
constexpr std::uint64_t inverseStep = inverseOf(randomdraws::step);
static_assert(randomdraws::step * inverseStep == 1, "the step must be inverted exactly");

constexpr std::uint64_t stateAt(std::uint64_t position)
{
    return (position + 1) * randomdraws::step;
}
constexpr std::uint64_t positionOf(std::uint64_t state)
{
    return state * inverseStep - 1;
}

// Pulverize's offsets, one word per pixel: the horizontal one in the upper
// and the vertical one in the lower 16 bits, each a draw mod 19.
class PulverizeOffsets
{
public:
    explicit PulverizeOffsets(int width) : m_words(size_t(width)) {}

    // The draws of the pixels 1 .. width - 2 of row y. Pixel (x, y) is number
    // i = (x - 1) (height - 2) + y - 1 in the column-by-column order and takes
    // draws first + 2 i and first + 2 i + 1: one pair when first is even,
    // whose counter then grows by a fixed amount from one column to the next.
    void draw(std::uint64_t first, int y, int height)
    {
        const std::uint64_t column = std::uint64_t(height - 2);
        std::uint64_t i = std::uint64_t(y - 1);
        quint32* words = m_words.data();
        const int last = int(m_words.size()) - 2;
        if (first % 2 == 0) {
            std::uint64_t counter = (first + 2 * i + 1) * randomdraws::step;
            const std::uint64_t counterStep = 2 * column * randomdraws::step;
            for (int x = 1; x <= last; ++x, counter += counterStep)
                words[x] = randomdraws::pairFromCounter(counter);
        } else {
            for (int x = 1; x <= last; ++x, i += column)
                words[x] = randomdraws::drawAt(first + 2 * i) << 16 |
                           randomdraws::drawAt(first + 2 * i + 1);
        }
        reduce(words + 1, last);
    }

    quint32 operator[](int x) const { return m_words[size_t(x)]; }

private:
    // Each 16-bit draw mod 19, as d - 19 ((d x 55189) >> 20), exact for 16 bits.
    static void reduce(quint32* words, int count)
    {
        int x = 0;
#ifdef TAVO_HAVE_SSE2
        for (; x + 4 <= count; x += 4) {
            const __m128i draws = load4(words + x);
            const __m128i quotients =
                _mm_srli_epi16(_mm_mulhi_epu16(draws, _mm_set1_epi16(short(55189))), 4);
            store4(words + x, _mm_sub_epi16(draws, _mm_mullo_epi16(quotients, _mm_set1_epi16(19))));
        }
#endif
        for (; x < count; ++x)
            words[x] = (words[x] >> 16) % 19 << 16 | (words[x] & 0xFFFF) % 19;
    }

    std::vector<quint32> m_words;
};

} // namespace

void ImageProcessor::seedRandom(std::uint64_t seed)
{
    m_randomState = stateAt(seed);
}

std::uint32_t ImageProcessor::nextRandom()
{
    const std::uint64_t n = positionOf(m_randomState);
    m_randomState = stateAt(n + 1);
    return randomdraws::drawAt(n);
}

void ImageProcessor::reliefImage()
{
    if (!preparePixels(m_workingImage))
        return;
    const PixelRows rows(m_workingImage);
    if (rows.width() < 2 || rows.height() < 2)
        return;
    for (int y = 0; y + 1 < rows.height(); ++y)
        reliefRow(rows[y], rows[y + 1], rows.width() - 1);
}

void ImageProcessor::pulverizeImage()
{
    if (!preparePixels(m_workingImage))
        return;
    const PixelRows rows(m_workingImage);
    const int width = rows.width();
    const int height = rows.height();
    if (width < 3 || height < 3)
        return;

    const std::uint64_t first = positionOf(m_randomState);
    PulverizeOffsets offsets(width);
    // Offsets of up to 18 need no limiting away from the last 18 columns and rows.
    qsizetype rowOffset[19];
    for (int d = 0; d < 19; ++d)
        rowOffset[d] = d < height ? rows[d] - rows[0] : 0;
    // Row order reads only pixels not yet written: they lie right of or
    // below the current one.
    for (int y = 1; y + 1 < height; ++y) {
        offsets.draw(first, y, height);
        QRgb* line = rows[y];
        int x = 1;
        if (y + 18 < height) {
            for (; x + 19 <= width; ++x)
                line[x] = line[x + int(offsets[x] >> 16) + rowOffset[offsets[x] & 0xFFFF]];
        }
        for (; x + 1 < width; ++x) {
            const int sx = qMin(x + int(offsets[x] >> 16), width - 1);
            const int sy = qMin(y + int(offsets[x] & 0xFFFF), height - 1);
            line[x] = rows[sy][sx];
        }
    }
    m_randomState = stateAt(first + 2 * std::uint64_t(width - 2) * std::uint64_t(height - 2));
}

void ImageProcessor::outlineImage()
{
    if (!preparePixels(m_workingImage))
        return;
    const int threshold = effectiveThreshold();
    const PixelRows rows(m_workingImage);
    const int width = rows.width();
    const int height = rows.height();
    if (width < 3 || height < 3)
        return;

    std::vector<quint8> levels(3 * size_t(width));
    quint8* above = levels.data();
    quint8* here = above + width;
    quint8* below = here + width;
    grayLevelsOfRow(rows[0], width, above);
    grayLevelsOfRow(rows[1], width, here);
    for (int y = 1; y + 1 < height; ++y) {
        grayLevelsOfRow(rows[y + 1], width, below);
        outlineRow(rows[y], above, here, below, width, threshold);
        quint8* done = above;
        above = here;
        here = below;
        below = done;
    }
}

void ImageProcessor::softenImage()
{
    if (!preparePixels(m_workingImage))
        return;
    const PixelRows rows(m_workingImage);
    const int width = rows.width();
    const int height = rows.height();
    if (width < 3 || height < 3)
        return;

    // The kernel 1 2 1 / 2 4 2 / 1 2 1 is the column 1 2 1 times the row
    // 1 2 1; integer sums make the two passes exact. The window's result goes
    // to its top-left pixel, which no later window reads.
    std::vector<quint16> sums(4 * size_t(width));
    for (int y = 0; y + 2 < height; ++y) {
        softenColumns(rows[y], rows[y + 1], rows[y + 2], width, sums.data());
        softenRow(rows[y], sums.data(), width - 2);
    }
}
