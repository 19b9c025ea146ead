// The gray-level rule over whole rows.
//
// grayLevel works in doubles, but 30 R + 59 G + 11 B + 10 (the rule times
// 100) is an exact small integer N. Wherever N is not a multiple of 100 the
// double result lies at least 0.01 from a whole number, far beyond its
// rounding error, so the rule gives exactly N / 100. Only where N is a
// multiple of 100 (about one colour in a hundred) do the roundings decide;
// those pixels go through grayLevel itself. The vector paths compute N in
// 16-bit lanes, eight pixels at a time.

#include "imaging/pixelrows.h"

#include "imaging/graylevel.h"
#include "imaging/imageprocessor.h"
#include "imaging/pixelbuffer.h"

#ifdef TAVO_HAVE_SSE2
#include <emmintrin.h>
#endif

bool preparePixels(QImage& image)
{
    if (image.width() <= 0 || image.height() <= 0)
        return false;
    if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32)
        image = ImageProcessor::toWorkingFormat(image);
    return image.depth() == 32 && ownPixels(image);
}

QImage workingPixels(const QImage& image)
{
    if (image.isNull() || image.format() == QImage::Format_RGB32 ||
        image.format() == QImage::Format_ARGB32)
        return image;
    return ImageProcessor::toWorkingFormat(image);
}

#ifdef TAVO_HAVE_SSE2
namespace {

// 30 R + 11 B and 59 G of four pixels, summed in 32-bit lanes. The words hold
// B, G, R, A from the lowest byte up: masking leaves 16-bit lanes (B, R),
// shifting them right by 8 leaves (G, A).
inline __m128i weightedSum4(__m128i pixels)
{
    const __m128i blueRed = _mm_and_si128(pixels, _mm_set1_epi32(0x00FF00FF));
    const __m128i greenAlpha = _mm_srli_epi16(pixels, 8);
    return _mm_add_epi32(_mm_madd_epi16(blueRed, _mm_set1_epi32(30 << 16 | 11)),
                         _mm_madd_epi16(greenAlpha, _mm_set1_epi32(59)));
}

// N = 30 R + 59 G + 11 B + 10 of eight pixels, one per 16-bit lane (at most
// 25510, so signed comparisons work too).
inline __m128i scaledGray8(const QRgb* pixels)
{
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + 4));
    return _mm_add_epi16(_mm_packs_epi32(weightedSum4(low), weightedSum4(high)),
                         _mm_set1_epi16(10));
}

// grayLevel of eight pixels, one per 16-bit lane.
inline __m128i grayLevels8(const QRgb* pixels)
{
    const __m128i scaled = scaledGray8(pixels);
    // N / 100 as (N * 41944) >> 22, exact for every N up to 25510.
    const __m128i quotient =
        _mm_srli_epi16(_mm_mulhi_epu16(scaled, _mm_set1_epi16(short(41944))), 6);
    const int whole =
        _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_mullo_epi16(quotient, _mm_set1_epi16(100)), scaled));
    if (Q_LIKELY(whole == 0))
        return quotient;
    alignas(16) quint16 lanes[8];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes), quotient);
    for (int i = 0; i < 8; ++i) {
        if (whole & (1 << (2 * i)))
            lanes[i] = quint16(grayLevel(pixels[i]));
    }
    return _mm_load_si128(reinterpret_cast<const __m128i*>(lanes));
}

} // namespace
#endif

void grayLevelsOfRow(const QRgb* line, int count, quint8* levels)
{
    int x = 0;
#ifdef TAVO_HAVE_SSE2
    for (; x + 8 <= count; x += 8) {
        const __m128i levels8 = grayLevels8(line + x);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(levels + x),
                         _mm_packus_epi16(levels8, levels8));
    }
#endif
    for (; x < count; ++x)
        levels[x] = quint8(grayLevel(line[x]));
}

qint64 grayLevelSum(const QRgb* line, int count)
{
    qint64 sum = 0;
    int x = 0;
#ifdef TAVO_HAVE_SSE2
    // Each 32-bit lane gains at most 510 per step: flush well before overflow.
    constexpr int chunk = 1 << 22;
    while (x + 8 <= count) {
        const int end = x + qMin(chunk, (count - x) & ~7);
        __m128i lanes = _mm_setzero_si128();
        for (; x < end; x += 8)
            lanes = _mm_add_epi32(lanes, _mm_madd_epi16(grayLevels8(line + x), _mm_set1_epi16(1)));
        alignas(16) qint32 parts[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(parts), lanes);
        sum += qint64(parts[0]) + parts[1] + parts[2] + parts[3];
    }
#endif
    for (; x < count; ++x)
        sum += grayLevel(line[x]);
    return sum;
}

void grayRow(QRgb* line, int count)
{
    int x = 0;
#ifdef TAVO_HAVE_SSE2
    const __m128i opaque = _mm_set1_epi16(short(0xFF00));
    for (; x + 8 <= count; x += 8) {
        const __m128i gray = grayLevels8(line + x);
        // 16-bit halves (G << 8 | B) and (A << 8 | R) of the gray pixels.
        const __m128i greenBlue = _mm_or_si128(gray, _mm_slli_epi16(gray, 8));
        const __m128i alphaRed = _mm_or_si128(gray, opaque);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(line + x),
                         _mm_unpacklo_epi16(greenBlue, alphaRed));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(line + x + 4),
                         _mm_unpackhi_epi16(greenBlue, alphaRed));
    }
#endif
    for (; x < count; ++x)
        line[x] = 0xFF000000u | quint32(grayLevel(line[x])) * 0x010101u;
}

void binaryRow(QRgb* line, int count, int threshold)
{
    constexpr QRgb white = 0xFFFFFFFFu;
    constexpr QRgb black = 0xFF000000u;
    int x = 0;
#ifdef TAVO_HAVE_SSE2
    // grayLevel > t means grayLevel >= t + 1, which holds for N > 100 (t + 1)
    // and fails for N < 100 (t + 1); only N == 100 (t + 1) needs the rule.
    // Thresholds outside 0..254 leave every pixel on one side and take the
    // plain loop, which needs no such reasoning.
    if (threshold >= 0 && threshold <= 254) {
        const __m128i boundary = _mm_set1_epi16(short(100 * (threshold + 1)));
        const __m128i opaque = _mm_set1_epi32(int(black));
        for (; x + 8 <= count; x += 8) {
            const __m128i scaled = scaledGray8(line + x);
            if (Q_UNLIKELY(_mm_movemask_epi8(_mm_cmpeq_epi16(scaled, boundary)))) {
                for (int i = x; i < x + 8; ++i)
                    line[i] = grayLevel(line[i]) > threshold ? white : black;
                continue;
            }
            const __m128i light = _mm_cmpgt_epi16(scaled, boundary);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(line + x),
                             _mm_or_si128(_mm_unpacklo_epi16(light, light), opaque));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(line + x + 4),
                             _mm_or_si128(_mm_unpackhi_epi16(light, light), opaque));
        }
    }
#endif
    for (; x < count; ++x)
        line[x] = grayLevel(line[x]) > threshold ? white : black;
}
