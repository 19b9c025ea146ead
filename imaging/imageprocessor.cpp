#include "imaging/imageprocessor.h"

#include "core/dialogs.h"
#include "imaging/pixelbuffer.h"
#include "imaging/pngwriter.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>
#include <QSize>

#include <algorithm>
#include <cstring>

namespace {

// Square tiles keep both the rows read and the rows written of a transpose in
// the cache; 64 x 64 words measured fastest here.
constexpr int transposeTile = 64;

// Decodes the file once, with the format taken from its content, refusing a
// header that claims more pixels than the workspace takes on before any
// memory is spent on it.
QImage readPicture(const QString& fileName)
{
    QImageReader reader(fileName);
    reader.setDecideFormatFromContent(true);
    const QSize claimed = reader.size();
    if (claimed.isValid() && qint64(claimed.width()) * claimed.height() > maxPicturePixels)
        return QImage();
    // Some decoders (BMP) stop at the end of a file cut short and still report
    // success. Decoding into a zero-filled picture of the claimed size, which
    // they fill in place, leaves the rows they never reached black instead of
    // whatever the memory held before.
    // The decoders reuse a picture of the right size and format, so a large
    // one lands straight in huge-page memory (see newPicture).
    QImage picture;
    if (claimed.isValid() && reader.imageFormat() != QImage::Format_Invalid) {
        picture = newPicture(claimed.width(), claimed.height(), reader.imageFormat());
        picture.fill(0);
    }
    if (!reader.read(&picture))
        return QImage();
    return ImageProcessor::toWorkingFormat(picture);
}

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

QImage scaledPicture(const QImage& image, const QSize& box, Qt::AspectRatioMode mode)
{
    if (image.isNull() || box.isEmpty())
        return QImage();
    const QSize target = image.size().scaled(box, mode);
    if (qint64(target.width()) * target.height() > maxPicturePixels)
        return QImage();
    return ImageProcessor::toWorkingFormat(image.scaled(box, mode, Qt::FastTransformation));
}

} // namespace

ImageProcessor::ImageProcessor() = default;

ImageProcessor::~ImageProcessor() = default;

bool ImageProcessor::loadImage(const QString& fileName)
{
    const QImage picture = readPicture(fileName);
    if (picture.isNull()) {
        Dialogs::instance().critical(
            QCoreApplication::translate("TavoMain", "Critical Error"),
            QCoreApplication::translate("TavoMain", "Failed to load ") + fileName +
                QCoreApplication::translate("TavoMain", ", please try again later!"));
        m_workingImage = QImage();
        m_sourceImage = QImage();
        return false;
    }
    m_sourceImage = picture;
    m_workingImage = picture;
    return true;
}

bool ImageProcessor::saveImage(const QString& fileName) const
{
    if (m_workingImage.isNull())
        return false;
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray format = QFileInfo(fileName).suffix().toLower().toLatin1();
    if (format == "png")
        return png::write(m_workingImage, &file) && file.commit();
    QImageWriter writer(&file, format);
    return writer.write(m_workingImage) && file.commit();
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
    }
    m_workingImage = cropped;
}

void ImageProcessor::rotateImage()
{
    const QImage from = toWorkingFormat(m_workingImage);
    QImage rotated = newPicture(from.height(), from.width(), from.format());
    if (!rotated.isNull())
        transpose(from, rotated);
    m_workingImage = rotated;
}

void ImageProcessor::scaleKeepAspect(int width, int height)
{
    m_workingImage = scaledPicture(m_workingImage, QSize(width, height), Qt::KeepAspectRatio);
}

void ImageProcessor::zoomFromSource(int percent, bool transposed)
{
    const double factor = percent / 100.0;
    const int width = int(factor * sourceWidth());
    const int height = int(factor * sourceHeight());
    resetImage();
    if (transposed)
        rotateImage();
    scaleKeepAspect(width, height);
}

void ImageProcessor::scaleIgnoreAspect(int width, int height)
{
    m_workingImage = scaledPicture(m_workingImage, QSize(width, height), Qt::IgnoreAspectRatio);
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
