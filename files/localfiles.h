#ifndef TAVO_FILES_LOCALFILES_H
#define TAVO_FILES_LOCALFILES_H

#include <QByteArray>
#include <QString>

class QFile;

// File names are bytes to the system, text to Qt. A name that is not valid in
// the system's encoding (a Latin-1 "é" under UTF-8) would lose its bad bytes
// on the way to text, and the file could never be opened again. Such bytes
// are carried in the text as lone surrogates U+DC80..U+DCFF instead, which no
// valid name decodes to, and given back unchanged on the way to the system.

// The text of a name the system gave, keeping every byte.
QString fileNameFromBytes(const QByteArray& bytes);
// The bytes to hand the system for a name made by fileNameFromBytes (or typed).
QByteArray fileNameBytes(const QString& name);
// False when the name holds a byte that Qt's own file classes cannot write
// as given: they would create a file under another name.
bool fileNameKeepsItsBytes(const QString& name);
// The name for messages, every carried byte shown as \xE9.
QString readableFileName(const QString& name);

// Opens the file of that name (its bytes) for reading without waiting: a
// FIFO or a device would otherwise block the open or the read for as long as
// nobody writes to it, so anything but a regular file is refused. On success
// *size holds the file's size; on failure *why, when given, says why.
bool openRegularFile(const QByteArray& path, QFile* file, qint64* size, QString* why = nullptr);

// A write that passes the file-size limit (ulimit -f) must fail like any
// other write and be reported, rather than kill the program with SIGXFSZ.
// Both programs call this first thing.
void ignoreFileSizeSignal();

#endif
