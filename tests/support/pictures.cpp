#include "pictures.h"

#include <QFile>

#include <cstring>

namespace pictures {

QImage randomImage(int width, int height, std::uint64_t seed, bool withAlpha)
{
    QImage image(width, height, withAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    Random random(seed);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const auto bits = static_cast<QRgb>(random.next());
            line[x] = withAlpha ? bits : (bits | 0xFF000000u);
        }
    }
    return image;
}

QImage grayRows(std::initializer_list<std::initializer_list<int>> rows)
{
    const int height = int(rows.size());
    const int width = height ? int(rows.begin()->size()) : 0;
    QImage image(width, height, QImage::Format_RGB32);
    int y = 0;
    for (const auto& row : rows) {
        int x = 0;
        for (int v : row)
            image.setPixel(x++, y, qRgb(v, v, v));
        ++y;
    }
    return image;
}

QImage filled(int width, int height, QRgb colour, QImage::Format format)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(colour);
    return format == QImage::Format_ARGB32 ? image : image.convertToFormat(format);
}

QImage goldenPicture(int type)
{
    return type == 0   ? grayRows({{255, 0, 0, 255}, {255, 0, 255, 255}})
           : type == 1 ? grayRows({{255, 0, 128, 255}, {100, 200, 255, 0}})
                       : grayRows({{255, 0, 0, 255}, {128, 128, 255, 0}});
}

bool sameWords(const QImage& a, const QImage& b)
{
    if (a.size() != b.size() || a.format() != b.format())
        return false;
    for (int y = 0; y < a.height(); ++y)
        if (std::memcmp(a.constScanLine(y), b.constScanLine(y), std::size_t(a.width()) * 4) != 0)
            return false;
    return true;
}

QList<QImage::Format> decoderFormats()
{
    return {QImage::Format_Indexed8, QImage::Format_Grayscale8, QImage::Format_Mono,
            QImage::Format_MonoLSB,  QImage::Format_RGB888,     QImage::Format_RGB16,
            QImage::Format_RGBX64,   QImage::Format_RGBA64,     QImage::Format_ARGB32_Premultiplied,
            QImage::Format_RGBA8888, QImage::Format_RGB32,      QImage::Format_ARGB32};
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace pictures
