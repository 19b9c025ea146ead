#ifndef TAVO_IMAGING_IMAGEPROCESSOR_H
#define TAVO_IMAGING_IMAGEPROCESSOR_H

#include "imaging/graylevel.h"

#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>

#include <cstdint>

class ProgressReport;

// The picture workspace: the working image that every command changes, the
// source image as loaded (the starting point of Reset and zoom), and the
// threshold used by Binary and Outline.
//
// Both pictures are always 32 bits per pixel (Format_RGB32, or Format_ARGB32
// when the file has alpha) or null, so every pixel loop reads scan lines as
// QRgb words. A missing picture is a null QImage, never a null pointer.
class ImageProcessor
{
public:
    ImageProcessor();
    ~ImageProcessor();
    ImageProcessor(const ImageProcessor&) = delete;
    ImageProcessor& operator=(const ImageProcessor&) = delete;

    // The working image; the pointer stays valid for the processor's lifetime.
    QImage* workingImage() { return &m_workingImage; }
    const QImage& workingImage() const { return m_workingImage; }
    const QImage& sourceImage() const { return m_sourceImage; }
    int threshold() const { return m_threshold; }
    bool autoThreshold() const { return m_autoThreshold; }

    // Loads the file into both pictures. On failure shows "Critical Error"
    // through the dialog seam, leaves both pictures null and returns false.
    // The name may carry bytes that are not valid text (see localfiles.h).
    // A load stopped through progress changes nothing and shows nothing.
    bool loadImage(const QString& fileName, ProgressReport* progress = nullptr);
    // Starts a workspace from a picture already in memory (converted like a
    // loaded file); used by the command-line front end and the tests.
    void adoptImage(const QImage& image);
    // Writes the working image in the format of the name's suffix, through a
    // temporary file: a failed save leaves no broken picture behind and keeps
    // an older file of that name. False without a picture or on any failure,
    // and when a stop was asked through progress.
    bool saveImage(const QString& fileName, ProgressReport* progress = nullptr) const;

    void resetImage();
    // Forgets the source picture: the working picture then owns its pixels
    // and the first filter changes them in place instead of copying them.
    // For one-way work that never resets or zooms after this.
    void releaseSource() { m_sourceImage = QImage(); }
    void cropImage(int width, int height);
    void rotateImage();
    void scaleKeepAspect(int width, int height);
    void scaleIgnoreAspect(int width, int height);
    // The zoom step: the source again, transposed when `transposed`, fitted
    // with its aspect kept into percent of the source's own size (truncated).
    // Filters and crops since the load are dropped.
    void zoomFromSource(int percent, bool transposed);
    // The size the last crop, rotation, scaling or zoom would have given the
    // working picture when that picture could not be had (too large for the
    // workspace or for memory) and left it null; invalid otherwise.
    QSize refusedSize() const { return m_refusedSize; }
    int sourceWidth() const { return m_sourceImage.width(); }
    int sourceHeight() const { return m_sourceImage.height(); }

    void setThreshold(int value);
    void setManualThreshold(bool manual);

    // Tone filters, in place.
    int meanGrayLevel() const;
    int effectiveThreshold() const;
    void grayImage();
    void binaryImage();
    void ditherImage();
    void inverseImage();
    static QRgb ditherNeighbour(const QColor& current, const QColor& thresholdColour,
                                const QColor& neighbour, double weight);

    // Effect filters.
    void reliefImage();
    void pulverizeImage();
    void outlineImage();
    void softenImage();

    // Pulverize draws from this generator; tests seed it for repeatable runs.
    void seedRandom(std::uint64_t seed);

    // The one pixel representation inside the workspace: 32-bit words,
    // Format_ARGB32 when the picture has alpha, else Format_RGB32.
    static QImage toWorkingFormat(const QImage& image);

private:
    std::uint32_t nextRandom();

    QImage m_workingImage;
    int m_threshold = 127;
    QImage m_sourceImage;
    bool m_autoThreshold = true;
    QSize m_refusedSize;
    std::uint64_t m_randomState = 0x9E3779B97F4A7C15ull;
};

#endif
