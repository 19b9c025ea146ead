#include "imaging/pixelbuffer.h"

#include <QPixelFormat>

#include <cstdlib>
#include <cstring>
#include <limits>

#if defined(Q_OS_LINUX)
#include <sys/mman.h>
#endif

#if defined(__SANITIZE_ADDRESS__)
#define TAVO_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TAVO_ADDRESS_SANITIZER 1
#endif
#endif

#if defined(TAVO_ADDRESS_SANITIZER)
#include <sanitizer/asan_interface.h>
#endif

namespace {

constexpr std::size_t hugePageBytes = std::size_t(2) << 20;

#if defined(Q_OS_LINUX) && defined(MADV_HUGEPAGE)
void freeBuffer(void* data)
{
    std::free(data);
}

// Aligned and whole huge pages, so the advice takes effect before the first
// touch; a refusal only costs speed.
QImage hugePagePicture(int width, int height, int bytesPerLine, QImage::Format format)
{
    const std::size_t bytes = std::size_t(bytesPerLine) * std::size_t(height);
    const std::size_t capacity = (bytes + hugePageBytes - 1) / hugePageBytes * hugePageBytes;
    auto* data = static_cast<uchar*>(std::aligned_alloc(hugePageBytes, capacity));
    if (!data)
        return QImage();
    madvise(data, capacity, MADV_HUGEPAGE);
#if defined(TAVO_ADDRESS_SANITIZER)
    // The rounded-up tail belongs to no pixel: overruns into it are errors.
    ASAN_POISON_MEMORY_REGION(data + bytes, capacity - bytes);
#endif
    QImage picture(data, width, height, bytesPerLine, format, freeBuffer, data);
    // Qt calls the cleanup only for a picture it accepted.
    if (picture.isNull())
        std::free(data);
    return picture;
}
#endif

} // namespace

QImage newPicture(int width, int height, QImage::Format format)
{
    if (width <= 0 || height <= 0 || format == QImage::Format_Invalid)
        return QImage();
    const int depth = QImage::toPixelFormat(format).bitsPerPixel();
    const qint64 bytesPerLine = (qint64(width) * depth + 31) / 32 * 4;
    if (bytesPerLine > std::numeric_limits<int>::max())
        return QImage();
#if defined(Q_OS_LINUX) && defined(MADV_HUGEPAGE)
    // Below one huge page there is little to gain; Qt's own allocation serves.
    if (bytesPerLine * height >= qint64(hugePageBytes))
        return hugePagePicture(width, height, int(bytesPerLine), format);
#endif
    return QImage(width, height, format); // null when Qt cannot allocate it
}

bool ownPixels(QImage& image)
{
    if (image.isNull() || image.isDetached())
        return !image.isNull();
    QImage own = newPicture(image.width(), image.height(), image.format());
    if (own.isNull()) {
        image = QImage();
        return false;
    }
    own.setColorTable(image.colorTable());
    own.setDotsPerMeterX(image.dotsPerMeterX());
    own.setDotsPerMeterY(image.dotsPerMeterY());
    const qsizetype rowBytes = qsizetype(image.width()) * image.depth() / 8;
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(own.scanLine(y), image.constScanLine(y), size_t(rowBytes));
    image = own;
    return true;
}
