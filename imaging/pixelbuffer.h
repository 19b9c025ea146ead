#ifndef TAVO_IMAGING_PIXELBUFFER_H
#define TAVO_IMAGING_PIXELBUFFER_H

#include <QImage>
#include <QtGlobal>

// Pixel memory for the new pictures that crop and rotate produce.
//
// The first write to freshly mapped memory is what makes a new picture
// expensive (tens of times a warm copy on virtual machines), so large pictures
// get huge-page-backed buffers, and a buffer released by a picture is kept as
// a spare for the next one of similar size: rotating or cropping again then
// writes into memory that is already mapped.

// The largest picture the workspace takes on: 256 Mi pixels, 1 GiB at four
// bytes each. Files claiming more are refused before anything is decoded, and
// no scaling may produce more.
constexpr qint64 maxPicturePixels = qint64(1) << 28;

// A new width x height picture in a 32-bit format (Format_RGB32 or
// Format_ARGB32) with undefined contents, or a null picture when the size is
// empty or the memory cannot be had. It behaves like any other QImage: copies
// share it until one of them is written, and its buffer is released when the
// last copy goes.
QImage newPicture(int width, int height, QImage::Format format);

// Frees the spare buffers kept for reuse.
void releaseSparePixelBuffers();

// Bytes currently held in spare buffers.
qint64 sparePixelBufferBytes();

#endif
