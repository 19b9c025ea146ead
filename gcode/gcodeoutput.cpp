#include "gcode/gcodeoutput.h"

#include "dialogs/dialogs.h"
#include "imaging/graylevel.h"

#include <QCoreApplication>

#include <algorithm>
#include <climits>

namespace gcode {

namespace {

// Large enough that the system call per chunk does not matter, small enough
// that memory stays flat whatever the size of the file.
constexpr std::size_t BufferBytes = std::size_t(1) << 20;

} // namespace

OutputFile::OutputFile(const QString& fileName, const char* lineEnd, ProgressReport* progress)
    : m_file(fileName), m_lineEnd(lineEnd), m_lineEndBytes(std::strlen(lineEnd)),
      m_progress(progress)
{
}

bool OutputFile::open()
{
    // Our own buffer already gathers large chunks; a second copy through the
    // device's buffer would only cost time.
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    m_buffer.resize(BufferBytes);
    return true;
}

void OutputFile::line(const QByteArray& text)
{
    const std::size_t length = std::size_t(text.size());
    char* to = reserve(length + m_lineEndBytes);
    std::memcpy(to, text.constData(), length);
    std::memcpy(to + length, m_lineEnd, m_lineEndBytes);
    advance(to + length + m_lineEndBytes);
}

void OutputFile::makeRoom(std::size_t bytes)
{
    flush();
    if (m_buffer.size() < bytes)
        m_buffer.resize(bytes);
}

void OutputFile::flush()
{
    if (!m_failed && m_used > 0) {
        const qint64 written = m_file.write(m_buffer.data(), qint64(m_used));
        m_failed = written != qint64(m_used);
    }
    m_used = 0;
}

bool OutputFile::commit()
{
    flush();
    if (m_failed || cancelled()) {
        m_file.cancelWriting();
        m_file.commit(); // removes the temporary file
        return false;
    }
    return m_file.commit();
}

void TextTable::pack(const std::vector<QByteArray>& texts, int longest)
{
    m_stride = (std::size_t(longest) + 15) / 16 * 16;
    m_bytes.assign(texts.size() * m_stride, '\0');
    m_lengths.reserve(texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        std::memcpy(m_bytes.data() + i * m_stride, texts[i].constData(),
                    std::size_t(texts[i].size()));
        m_lengths.push_back(texts[i].size());
    }
}

int truncatedToInt(double value)
{
    if (value != value)
        return 0;
    if (value <= double(INT_MIN))
        return INT_MIN;
    if (value >= double(INT_MAX))
        return INT_MAX;
    return static_cast<int>(value);
}

QImage wordImage(const QImage& picture)
{
    switch (picture.format()) {
    case QImage::Format_Invalid:
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
        return picture;
    default:
        return picture.convertToFormat(picture.hasAlphaChannel() ? QImage::Format_ARGB32
                                                                 : QImage::Format_RGB32);
    }
}

SerpentineRows::SerpentineRows(const QImage& words, unsigned char endLevel)
    : m_words(words), m_width(words.width()),
      m_grays(std::size_t((m_width + 64) / 64 * 64), static_cast<unsigned char>(127))
{
    m_grays[std::size_t(m_width)] = endLevel;
}

void SerpentineRows::load(int row)
{
    const auto* line = reinterpret_cast<const QRgb*>(m_words.constScanLine(row));
    unsigned char* grays = m_grays.data();
    // A local width: the byte stores could alias the member, which would
    // keep the loop from being vectorised.
    const int width = m_width;
    for (int c = 0; c < width; ++c)
        grays[c] = static_cast<unsigned char>(grayLevel(line[c]));
    m_even = row % 2 == 0;
    if (!m_even)
        std::reverse(grays, grays + width);
}

StepTimes::StepTimes(int count, double unit, double speed) : m_unit(unit), m_speed(speed)
{
    m_table.resize(std::size_t(qMax(count, 0)));
    for (int k = 0; k < count; ++k)
        m_table[std::size_t(k)] = k * unit / speed;
}

TextTable columnMoves(int width, double precision, int firstColumn, int count)
{
    return TextTable(count, [&](int i) {
        return "G1 X" + coordinateText(machineX(width, firstColumn + i, precision)).toLatin1();
    });
}

TextTable rowTexts(int height, double precision, const QByteArray& tail)
{
    return TextTable(height, [&](int r) {
        return " Y" + coordinateText(machineY(height, r, precision)).toLatin1() + tail;
    });
}

void writeLaserSetup(OutputFile& file, const char* feed, const QString& startHeight,
                     const char* pause, const QByteArray& power)
{
    file.line("; ****** Main G-code ******");
    file.line("M107");
    file.line("G28");
    file.line(feed);
    file.line("G4 P2000");
    file.line("G1 Z" + startHeight.toUtf8());
    file.line("M106 S2");
    file.line(pause);
    file.line("M106 S" + power);
}

void writePrefix(OutputFile& file, const char* title, const char* type,
                 const std::array<QString, 5>& names, const std::array<QString, 5>& values)
{
    file.line("; ****** G-code Prefix ******");
    file.line(title);
    file.line(type);
    file.line("; TavoAssistant: check the machine's working area before you run this file");
    for (std::size_t k = 0; k < names.size(); ++k)
        file.line("; " + names[k].toUtf8() + ": " + values[k].toUtf8());
}

bool reportWriteFailure(const OutputFile& file, const QString& fileName, const char* suffix)
{
    if (file.cancelled())
        return false;
    Dialogs::instance().critical(QCoreApplication::translate("TavoMain", "Save Gcode"),
                                 fileName + QCoreApplication::translate("TavoMain", suffix));
    return false;
}

} // namespace gcode
