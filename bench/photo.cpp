#include "photo.h"

#include <cmath>
#include <cstdint>

QImage photoLikePicture(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    std::uint32_t noise = 2463534242u;
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            noise ^= noise << 13;
            noise ^= noise >> 17;
            noise ^= noise << 5;
            const int grain = int(noise & 31) - 16;
            const double u = double(x) / width, v = double(y) / height;
            const double wave = 0.5 + 0.5 * std::sin(u * 9.0 + v * 5.0) * std::cos(v * 7.0 - u * 3.0);
            const auto channel = [grain](double value) {
                const int c = int(value * 255.0) + grain;
                return c < 0 ? 0 : (c > 255 ? 255 : c);
            };
            line[x] = qRgb(channel(wave * (1.0 - 0.4 * v)), channel(0.3 + 0.6 * wave * u),
                           channel(1.0 - wave * 0.8));
        }
    }
    return image;
}
