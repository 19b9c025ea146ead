#ifndef TAVO_TESTS_PICTURES_H
#define TAVO_TESTS_PICTURES_H

#include <QImage>
#include <QList>
#include <QRgb>

#include <cstdint>
#include <initializer_list>

namespace pictures {

// Deterministic pseudo-random numbers for test pictures (splitmix64).
class Random
{
public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int bounded(int limit) { return limit > 0 ? int(next() % std::uint64_t(limit)) : 0; }

private:
    std::uint64_t m_state;
};

// A w x h picture of random ARGB32 pixels; opaque unless withAlpha.
QImage randomImage(int width, int height, std::uint64_t seed, bool withAlpha = false);

// A picture whose rows are given as gray values (red = green = blue).
QImage grayRows(std::initializer_list<std::initializer_list<int>> rows);

// One colour everywhere.
QImage filled(int width, int height, QRgb colour, QImage::Format format = QImage::Format_RGB32);

// The golden cases' 4 x 2 gray pictures, one for each G-code type
// (0 Laser Line, 1 Laser Dots, 2 CNC Line).
QImage goldenPicture(int type);

// Same size, format and every 32-bit word, alpha included (QImage's own
// comparison ignores the unused byte of RGB32).
bool sameWords(const QImage& a, const QImage& b);

// A file's bytes; empty when it cannot be read.
QByteArray fileBytes(const QString& path);

// The formats an image decoder may deliver: palette, gray, 1-bit, 16 bits
// per channel, 24-bit, premultiplied and the two working formats.
QList<QImage::Format> decoderFormats();

} // namespace pictures

#endif
