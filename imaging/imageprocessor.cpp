#include "imaging/imageprocessor.h"

#include "dialogs/dialogs.h"
#include "dialogs/progress.h"
#include "files/localfiles.h"
#include "imaging/picturefile.h"
#include "imaging/pixelbuffer.h"
#include "imaging/pngwriter.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>
#include <QSize>

#include <algorithm>
#include <cstring>

namespace {

// Square tiles keep both the rows read and the rows written of a transpose in
// the cache; 64 x 64 words measured fastest here.
constexpr int transposeTile = 64;

void transpose(const QImage& from, QImage& to)
{
    const int width = from.width();
    const int height = from.height();
    const qsizetype fromStride = from.bytesPerLine() / qsizetype(sizeof(QRgb));
    const auto* source = reinterpret_cast<const QRgb*>(from.constBits());
    for (int top = 0; top < height; top += transposeTile) {
        const int bottom = std::min(height, top + transposeTile);
        for (int left = 0; left < width; left += transposeTile) {
            const int right = std::min(width, left + transposeTile);
            // Column x of the tile becomes part of row x of the result.
            for (int x = left; x < right; ++x) {
                auto* line = reinterpret_cast<QRgb*>(to.scanLine(x));
                const QRgb* column = source + x;
                for (int y = top; y < bottom; ++y)
                    line[y] = column[y * fromStride];
            }
        }
    }
}

// Null, with the size it would have had in *refused, when that size cannot
// be held.
QImage scaledPicture(const QImage& image, const QSize& box, Qt::AspectRatioMode mode,
                     QSize* refused)
{
    if (image.isNull() || box.isEmpty())
        return QImage();
    const QSize target = image.size().scaled(box, mode);
    QImage scaled;
    if (pictureSizeProblem(target).isEmpty())
        scaled = ImageProcessor::toWorkingFormat(image.scaled(box, mode, Qt::FastTransformation));
    if (scaled.isNull())
        *refused = target;
    return scaled;
}

} // namespace

ImageProcessor::ImageProcessor() = default;

ImageProcessor::~ImageProcessor() = default;

bool ImageProcessor::loadImage(const QString& fileName, ProgressReport* progress)
{
    QString why;
    const QImage picture = readPictureFile(fileNameBytes(fileName), &why, progress);
    if (progress && progress->stopped())
        return false;
    m_refusedSize = QSize();
    if (picture.isNull()) {
        QString text = QCoreApplication::translate("TavoMain", "Failed to load ") +
                       readableFileName(fileName) +
                       QCoreApplication::translate("TavoMain", ", please try again later!");
        if (!why.isEmpty())
            text += QLatin1Char(' ') + why;
        Dialogs::instance().critical(QCoreApplication::translate("TavoMain", "Critical Error"),
                                     text);
        m_workingImage = QImage();
        m_sourceImage = QImage();
        return false;
    }
    m_sourceImage = picture;
    m_workingImage = picture;
    return true;
}

bool ImageProcessor::saveImage(const QString& fileName, ProgressReport* progress) const
{
    if (m_workingImage.isNull())
        return false;
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray format = QFileInfo(fileName).suffix().toLower().toLatin1();
    if (format == "png")
        return png::write(m_workingImage, &file, progress) && file.commit();
    // Only a BMP's size is known beforehand: three bytes a pixel, rows padded.
    const qint64 expected =
        format == "bmp" ? (qint64(m_workingImage.width()) * 3 + 3) / 4 * 4 * m_workingImage.height()
                        : 0;
    ProgressDevice counted(&file, expected, progress);
    if (progress && !counted.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    QImageWriter writer(progress ? static_cast<QIODevice*>(&counted) : &file, format);
    // An uncommitted file is removed, and an older one stays as it was.
    return writer.write(m_workingImage) && !(progress && progress->stopped()) && file.commit();
}

void ImageProcessor::adoptImage(const QImage& image)
{
    m_sourceImage = toWorkingFormat(image);
    m_workingImage = m_sourceImage;
}

QImage ImageProcessor::toWorkingFormat(const QImage& image)
{
    if (image.isNull())
        return QImage();
    const QImage::Format wanted =
        image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32;
    if (image.format() == wanted)
        return image;
    return image.convertToFormat(wanted);
}

void ImageProcessor::resetImage()
{
    m_workingImage = m_sourceImage;
}

void ImageProcessor::cropImage(int width, int height)
{
    // Anyone holding the working image may have put another format in it; the
    // copy below moves 32-bit words only.
    m_refusedSize = QSize();
    const QImage from = toWorkingFormat(m_workingImage);
    const int w = std::min(width, from.width());
    const int h = std::min(height, from.height());
    if (w <= 0 || h <= 0) {
        m_workingImage = QImage();
        return;
    }
    if (w == from.width() && h == from.height()) {
        m_workingImage = from;
        return;
    }
    QImage cropped = newPicture(w, h, from.format());
    if (!cropped.isNull()) {
        const std::size_t rowBytes = std::size_t(w) * sizeof(QRgb);
        for (int y = 0; y < h; ++y)
            std::memcpy(cropped.scanLine(y), from.constScanLine(y), rowBytes);
    } else {
        m_refusedSize = QSize(w, h);
    }
    m_workingImage = cropped;
}

void ImageProcessor::rotateImage()
{
    m_refusedSize = QSize();
    const QImage from = toWorkingFormat(m_workingImage);
    QImage rotated = newPicture(from.height(), from.width(), from.format());
    if (!rotated.isNull())
        transpose(from, rotated);
    else if (!from.isNull())
        m_refusedSize = from.size().transposed();
    m_workingImage = rotated;
}

void ImageProcessor::scaleKeepAspect(int width, int height)
{
    m_refusedSize = QSize();
    m_workingImage =
        scaledPicture(m_workingImage, QSize(width, height), Qt::KeepAspectRatio, &m_refusedSize);
}

void ImageProcessor::zoomFromSource(int percent, bool transposed)
{
    const double factor = percent / 100.0;
    const int width = int(factor * sourceWidth());
    const int height = int(factor * sourceHeight());
    resetImage();
    if (transposed) {
        rotateImage();
        if (m_refusedSize.isValid())
            return;
    }
    scaleKeepAspect(width, height);
}

void ImageProcessor::scaleIgnoreAspect(int width, int height)
{
    m_refusedSize = QSize();
    m_workingImage =
        scaledPicture(m_workingImage, QSize(width, height), Qt::IgnoreAspectRatio, &m_refusedSize);
}

void ImageProcessor::setThreshold(int value)
{
    if (!m_autoThreshold)
        m_threshold = value;
}

void ImageProcessor::setManualThreshold(bool manual)
{
    m_autoThreshold = !manual;
}
