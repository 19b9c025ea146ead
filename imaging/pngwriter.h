#ifndef TAVO_IMAGING_PNGWRITER_H
#define TAVO_IMAGING_PNGWRITER_H

#include <QImage>

class ProgressReport;
class QIODevice;

// The PNG writer of the workspace, several times faster than Qt's own.
//
// It writes the smallest kind that holds the pixels exactly: 1-bit gray for a
// picture of opaque black and white only, 8-bit gray when every pixel is
// opaque gray (R = G = B), RGB when opaque, else RGBA. Bands of rows are
// filtered and deflated on all cores at once into one zlib stream, the way
// a parallel gzip does; reading the file back gives the very same pixels.
namespace png {

// The kind of PNG a picture is written as.
enum class Kind { Mono, Gray, Rgb, Rgba };

// The kind the writer chooses for a 32-bit picture (Format_RGB32 or
// Format_ARGB32; other formats are taken as converted to those).
Kind kindOf(const QImage& image);

// Writes the picture to device. False for a null picture, when a write
// fails or when a stop is asked through progress (reported before the first
// band and after each batch of bands); the device may then hold part of a
// file.
bool write(const QImage& image, QIODevice* device, ProgressReport* progress = nullptr);

} // namespace png

#endif
