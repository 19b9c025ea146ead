#ifndef TAVO_IMAGING_PIXELBUFFER_H
#define TAVO_IMAGING_PIXELBUFFER_H

#include <QImage>
#include <QtGlobal>

// Pixel memory for the new pictures that crop and rotate produce.
//
// The first write to fresh memory faults it in page by page, and on virtual
// machines each fault is dear: filling a new 96 MiB picture this way costs
// tens of times a warm copy. Large pictures therefore get buffers backed by
// huge pages, which fault in 512 times less often.

// The largest picture the workspace takes on: 256 Mi pixels, 1 GiB at four
// bytes each. Files claiming more are refused before anything is decoded, and
// no scaling may produce more.
constexpr qint64 maxPicturePixels = qint64(1) << 28;

// A new width x height picture with undefined contents, or a null picture
// when the size is empty or the memory cannot be had. It behaves like any
// other QImage: copies share it until one of them is written, and its buffer
// is freed when the last copy goes.
QImage newPicture(int width, int height, QImage::Format format);

// Makes image the only owner of its pixels, copying them into a newPicture
// when they are shared (after Open, Reset or a zoom step the working picture
// shares the source's). Qt's own detach would copy into plain fresh memory,
// which costs as much as the filter many times over. False when the copy
// cannot be had; the picture is then null.
bool ownPixels(QImage& image);

#endif
