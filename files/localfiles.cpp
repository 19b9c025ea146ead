#include "files/localfiles.h"

#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr ushort carriedByte = 0xDC00;

bool isCarried(QChar c)
{
    return c.unicode() >= carriedByte + 0x80 && c.unicode() <= carriedByte + 0xFF;
}

bool continuation(const QByteArray& bytes, int at, int low = 0x80, int high = 0xBF)
{
    if (at >= bytes.size())
        return false;
    const int byte = quint8(bytes[at]);
    return byte >= low && byte <= high;
}

// The length of the well-formed UTF-8 sequence at `at`, or 0 when there is none.
int sequenceLength(const QByteArray& bytes, int at)
{
    const int lead = quint8(bytes[at]);
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return continuation(bytes, at + 1) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        const int low = lead == 0xE0 ? 0xA0 : 0x80;
        const int high = lead == 0xED ? 0x9F : 0xBF;
        return continuation(bytes, at + 1, low, high) && continuation(bytes, at + 2) ? 3 : 0;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        const int low = lead == 0xF0 ? 0x90 : 0x80;
        const int high = lead == 0xF4 ? 0x8F : 0xBF;
        return continuation(bytes, at + 1, low, high) && continuation(bytes, at + 2) &&
                       continuation(bytes, at + 3)
                   ? 4
                   : 0;
    }
    return 0;
}

} // namespace

QString fileNameFromBytes(const QByteArray& bytes)
{
    const QString text = QFile::decodeName(bytes);
    if (QFile::encodeName(text) == bytes)
        return text;
    QString name;
    for (int at = 0; at < bytes.size();) {
        const int length = sequenceLength(bytes, at);
        if (length > 0)
            name += QString::fromUtf8(bytes.constData() + at, length);
        else
            name += QChar(ushort(carriedByte + quint8(bytes[at])));
        at += length > 0 ? length : 1;
    }
    return name;
}

QByteArray fileNameBytes(const QString& name)
{
    if (fileNameKeepsItsBytes(name))
        return QFile::encodeName(name);
    QByteArray bytes;
    int start = 0;
    for (int i = 0; i <= name.size(); ++i) {
        if (i < name.size() && !isCarried(name[i]))
            continue;
        bytes += QFile::encodeName(name.mid(start, i - start));
        if (i < name.size())
            bytes += char(name[i].unicode() - carriedByte);
        start = i + 1;
    }
    return bytes;
}

bool fileNameKeepsItsBytes(const QString& name)
{
    return std::none_of(name.begin(), name.end(), isCarried);
}

QString readableFileName(const QString& name)
{
    if (fileNameKeepsItsBytes(name))
        return name;
    QString text;
    for (QChar c : name) {
        if (!isCarried(c)) {
            text += c;
            continue;
        }
        const int byte = c.unicode() - carriedByte;
        text += QLatin1String("\\x") + QString::number(byte, 16).toUpper();
    }
    return text;
}

void ignoreFileSizeSignal()
{
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

bool openRegularFile(const QByteArray& path, QFile* file, qint64* size, QString* why)
{
    QString reason;
    const int descriptor = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat status;
    if (descriptor < 0 || fstat(descriptor, &status) != 0)
        reason = qt_error_string(errno);
    else if (S_ISDIR(status.st_mode))
        reason = QCoreApplication::translate("TavoMain", "it is a folder");
    else if (!S_ISREG(status.st_mode))
        reason = QCoreApplication::translate("TavoMain", "it is not a regular file");
    else if (!file->open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        reason = file->errorString();
    if (reason.isEmpty()) {
        *size = qint64(status.st_size);
        return true;
    }
    if (descriptor >= 0)
        ::close(descriptor);
    if (why)
        *why = reason;
    return false;
}
