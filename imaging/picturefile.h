#ifndef TAVO_IMAGING_PICTUREFILE_H
#define TAVO_IMAGING_PICTUREFILE_H

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

class ProgressReport;

// The memory of this computer, in bytes; 0 when the system does not say.
qint64 physicalMemory();

// Why the workspace cannot take on a picture of this size, as a sentence for
// the user; empty when it can. A picture is refused past maxPicturePixels,
// or when the copies the workspace keeps of it (the picture as loaded, the
// working picture and the one a command makes from it) would not fit in
// memoryBytes (no limit when 0).
QString pictureSizeProblem(const QSize& size, qint64 memoryBytes = physicalMemory());

// Decodes the picture file of that name (the bytes the system knows it by),
// the format taken from its content, in the workspace's 32-bit format.
// Anything but a regular file is refused before it is read, and so is a size
// the file cannot hold or the workspace cannot take on, before any memory is
// spent on it. Null on failure; *why then says why when it is more than an
// unreadable file. With a progress report, the share of the file decoded so
// far is reported, and a stop asked gives a null picture.
QImage readPictureFile(const QByteArray& path, QString* why, ProgressReport* progress = nullptr);

#endif
