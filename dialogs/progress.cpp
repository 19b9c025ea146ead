#include "dialogs/progress.h"

#include <algorithm>

ProgressDevice::ProgressDevice(QIODevice* inner, qint64 expectedBytes, ProgressReport* report)
    : m_inner(inner), m_expected(expectedBytes), m_report(report)
{
}

bool ProgressDevice::seek(qint64 position)
{
    return QIODevice::seek(position) && m_inner->seek(position);
}

qint64 ProgressDevice::readData(char* data, qint64 maxSize)
{
    if (m_report->stopped())
        return -1;
    const qint64 got = m_inner->read(data, maxSize);
    return got < 0 || moved(got) ? got : -1;
}

qint64 ProgressDevice::writeData(const char* data, qint64 size)
{
    if (m_report->stopped())
        return -1;
    const qint64 put = m_inner->write(data, size);
    return put < 0 || moved(put) ? put : -1;
}

// Seeks back and forth (some decoders look ahead) can count bytes twice, so
// the share is kept below 1 until the work itself ends.
bool ProgressDevice::moved(qint64 bytes)
{
    m_moved += bytes;
    const double share =
        m_expected > 0 ? std::min(0.99, double(m_moved) / double(m_expected)) : -1.0;
    return m_report->proceed(share);
}
