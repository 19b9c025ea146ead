#ifndef TAVO_IMAGING_PIXELROWS_H
#define TAVO_IMAGING_PIXELROWS_H

// Row kernels shared by the filters. Every kernel gives exactly the result of
// applying the per-pixel rule (grayLevel and friends) to each pixel; the
// vector paths are only a faster way to the same bits.

#include <QImage>
#include <QRgb>
#include <QtGlobal>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define TAVO_HAVE_SSE2 1
#endif

// The rows of a 32-bit picture as QRgb words. Taking the bits once detaches
// a shared picture up front, so the loops write without further checks.
class PixelRows
{
public:
    explicit PixelRows(QImage& image)
        : m_bits(image.bits()), m_stride(image.bytesPerLine()), m_width(image.width()),
          m_height(image.height())
    {
    }
    QRgb* operator[](int y) const
    {
        return reinterpret_cast<QRgb*>(m_bits + qsizetype(y) * m_stride);
    }
    int width() const { return m_width; }
    int height() const { return m_height; }

private:
    uchar* m_bits;
    qsizetype m_stride;
    int m_width;
    int m_height;
};

// The workspace keeps its pictures 32-bit; these guard the filters should a
// picture in another format ever reach them.
// True when the picture has pixels; converts it to a working format first.
bool preparePixels(QImage& image);
// The picture itself when it is in a working format, else a converted copy.
QImage workingPixels(const QImage& image);

// grayLevel of each of the count pixels of line, into levels.
void grayLevelsOfRow(const QRgb* line, int count, quint8* levels);
// The sum of grayLevel over the count pixels of line.
qint64 grayLevelSum(const QRgb* line, int count);
// Every pixel becomes opaque gray of its own grayLevel.
void grayRow(QRgb* line, int count);
// Every pixel becomes opaque white if its grayLevel is above threshold, else
// opaque black.
void binaryRow(QRgb* line, int count, int threshold);

#endif
