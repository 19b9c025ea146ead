#include "imaging/picturefile.h"

#include "dialogs/progress.h"
#include "imaging/imageprocessor.h"
#include "imaging/pixelbuffer.h"

#include "files/localfiles.h"

#include <QCoreApplication>
#include <QFile>
#include <QImageReader>

#include <cstdlib>

#include <unistd.h>

namespace {

// The picture as loaded, the working picture, and the one a command makes.
constexpr qint64 keptCopies = 3;
constexpr qint64 mebibyte = qint64(1) << 20;

QString tr(const char* text)
{
    return QCoreApplication::translate("TavoMain", text);
}

quint32 littleEndian(const QByteArray& bytes, int at, int size)
{
    quint32 value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | quint8(bytes[at + i]);
    return value;
}

// The bytes an uncompressed BMP must hold for the size its header claims:
// the pixel array's offset and its rows, padded to 4 bytes. 0 when the
// pixels are compressed or the header is not one this knows; the decoder
// judges those.
qint64 bmpBytesNeeded(const QByteArray& header)
{
    if (header.size() < 34 || !header.startsWith("BM") || littleEndian(header, 14, 4) < 40)
        return 0;
    const qint64 width = qint32(littleEndian(header, 18, 4));
    const qint64 height = std::abs(qint64(qint32(littleEndian(header, 22, 4))));
    const qint64 bits = littleEndian(header, 28, 2);
    const quint32 compression = littleEndian(header, 30, 4);
    const bool plain = compression == 0 || compression == 3 || compression == 6;
    if (!plain || width <= 0 || bits == 0)
        return 0;
    return qint64(littleEndian(header, 10, 4)) + (width * bits + 31) / 32 * 4 * height;
}

} // namespace

qint64 physicalMemory()
{
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    return pages > 0 && pageSize > 0 ? qint64(pages) * pageSize : 0;
}

QString pictureSizeProblem(const QSize& size, qint64 memoryBytes)
{
    const qint64 pixels = qint64(size.width()) * size.height();
    if (pixels > maxPicturePixels)
        return tr("It is %1 x %2 pixels; a picture may have at most %3 million pixels.")
            .arg(size.width())
            .arg(size.height())
            .arg(maxPicturePixels / 1000000);
    const qint64 copyBytes = pixels * qint64(sizeof(QRgb));
    if (memoryBytes > 0 && copyBytes * keptCopies > memoryBytes)
        return tr("It is %1 x %2 pixels; the %3 copies of %4 MiB that are kept of it do not "
                  "fit into this computer's %5 MiB of memory.")
            .arg(size.width())
            .arg(size.height())
            .arg(keptCopies)
            .arg(copyBytes / mebibyte)
            .arg(memoryBytes / mebibyte);
    return QString();
}

QImage readPictureFile(const QByteArray& path, QString* why, ProgressReport* progress)
{
    QFile file;
    qint64 fileBytes = 0;
    if (!openRegularFile(path, &file, &fileBytes))
        return QImage();
    const QByteArray header = file.peek(64);
    ProgressDevice counted(&file, fileBytes, progress);
    if (progress && !counted.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return QImage();
    QImageReader reader(progress ? static_cast<QIODevice*>(&counted) : &file);
    reader.setDecideFormatFromContent(true);
    const QSize claimed = reader.size();
    if (claimed.isValid()) {
        *why = pictureSizeProblem(claimed);
        if (why->isEmpty() && reader.format() == "bmp" && bmpBytesNeeded(header) > fileBytes)
            *why = tr("Its %1 bytes cannot hold the %2 x %3 pixels it claims.")
                       .arg(fileBytes)
                       .arg(claimed.width())
                       .arg(claimed.height());
        if (!why->isEmpty())
            return QImage();
    }
    // Some decoders stop at the end of a file cut short and still report
    // success. Decoding into a zero-filled picture of the claimed size, which
    // they fill in place, leaves the rows they never reached black instead of
    // whatever the memory held before. The decoders reuse a picture of the
    // right size and format, so a large one lands straight in huge-page
    // memory (see newPicture).
    QImage picture;
    if (claimed.isValid() && reader.imageFormat() != QImage::Format_Invalid) {
        picture = newPicture(claimed.width(), claimed.height(), reader.imageFormat());
        picture.fill(0);
    }
    if (!reader.read(&picture) || (progress && !progress->proceed(1.0)))
        return QImage();
    return ImageProcessor::toWorkingFormat(picture);
}
