#ifndef TAVO_BENCH_PHOTO_H
#define TAVO_BENCH_PHOTO_H

#include <QImage>

// The benchmarks' input: a deterministic photo-like picture (smooth
// gradients with a little noise), so that every filter and writer does real
// work. 6000 x 4000 unless asked otherwise.
QImage photoLikePicture(int width = 6000, int height = 4000);

#endif
