#ifndef TAVO_GCODE_GCODEOUTPUT_H
#define TAVO_GCODE_GCODEOUTPUT_H

// The pieces the three G-code writers share: the streaming file, the tables of
// texts formatted once per file, the machine coordinates and the prefix.

#include "dialogs/progress.h"
#include <QByteArray>
#include <QImage>

#include <QSaveFile>
#include <QString>

#include <array>
#include <cstring>
#include <vector>

namespace gcode {

// Streams one file: lines are assembled in a byte buffer that goes to disk in
// large chunks through QSaveFile. Every write and the final commit are
// checked; after a failure nothing more is written, and a file that was not
// committed is removed, so an older file of the same name stays as it was.
//
// With a progress report, row loops ask proceed() before each row; a stop
// asked there ends the loop and makes the commit remove the file.
class OutputFile
{
public:
    // lineEnd: CR LF for Marlin files, LF for GRBL, whose senders would
    // answer the CR of a CR LF as an empty line of its own.
    explicit OutputFile(const QString& fileName, const char* lineEnd = "\r\n",
                        ProgressReport* progress = nullptr);
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool open();
    // Appends text and the line end.
    void line(const QByteArray& text);
    void line(const char* text) { line(QByteArray::fromRawData(text, int(std::strlen(text)))); }

    // Room for `bytes` bytes from the returned position on; advance() with
    // the end of what was written there.
    char* reserve(std::size_t bytes)
    {
        if (m_buffer.size() - m_used < bytes)
            makeRoom(bytes);
        return m_buffer.data() + m_used;
    }
    void advance(const char* end) { m_used = std::size_t(end - m_buffer.data()); }

    bool ok() const { return !m_failed; }
    // ok(), and no stop asked while row of rows is about to be written.
    bool proceed(int row, int rows) { return ok() && proceedAt(m_progress, row, rows); }
    bool cancelled() const { return m_progress && m_progress->stopped(); }
    // Writes what is buffered and replaces the file; false when any write
    // failed or the commit did, and then no file is left behind.
    bool commit();

private:
    void makeRoom(std::size_t bytes);
    void flush();

    QSaveFile m_file;
    std::vector<char> m_buffer;
    std::size_t m_used = 0;
    bool m_failed = false;
    const char* m_lineEnd;
    std::size_t m_lineEndBytes;
    ProgressReport* m_progress;
};

// Texts indexed by a small number (a column, a row, a gray level), each in a
// slot of one stride, a multiple of 16 bytes. A copy moves whole 16-byte
// blocks; what it writes past the text is overwritten by the next piece, so
// the destination needs stride() bytes of room.
class TextTable
{
public:
    template <typename Make> TextTable(int count, Make make)
    {
        std::vector<QByteArray> texts;
        texts.reserve(std::size_t(count > 0 ? count : 0));
        int longest = 0;
        for (int i = 0; i < count; ++i) {
            texts.push_back(make(i));
            longest = qMax(longest, texts.back().size());
        }
        pack(texts, longest);
    }

    std::size_t stride() const { return m_stride; }
    char* copy(char* to, int index) const
    {
        const char* from = m_bytes.data() + std::size_t(index) * m_stride;
        const int length = m_lengths[std::size_t(index)];
        for (int k = 0; k < length; k += 16)
            std::memcpy(to + k, from + k, 16);
        return to + length;
    }

    // The table as plain local values: a loop that writes characters keeps
    // them in registers, where a member read through `this` would be read
    // again after every byte stored (a char may alias anything).
    struct View
    {
        const char* bytes;
        const int* lengths;
        std::size_t stride;
        char* copy(char* to, int index) const
        {
            const char* from = bytes + std::size_t(index) * stride;
            const int length = lengths[index];
            for (int k = 0; k < length; k += 16)
                std::memcpy(to + k, from + k, 16);
            return to + length;
        }
    };
    View view() const { return {m_bytes.data(), m_lengths.data(), m_stride}; }

private:
    void pack(const std::vector<QByteArray>& texts, int longest);

    std::vector<char> m_bytes;
    std::vector<int> m_lengths;
    std::size_t m_stride = 0;
};

// Pixel corners on the machine: the picture is centred on the origin, X grows
// towards the left edge, Y towards the top.
inline double machineX(int width, int column, double precision)
{
    return (width * 0.5 - column) * precision;
}
inline double machineY(int height, int row, double precision)
{
    return (height * 0.5 - row) * precision;
}
// Two decimals as Qt rounds them: an exact binary tie such as 1.625 goes away
// from zero, which printf would not do.
inline QString coordinateText(double value)
{
    return QString::number(value, 'F', 2);
}

// Truncation towards zero that stays defined for NaN (0) and for values out
// of the int range (saturated).
int truncatedToInt(double value);

// The picture as 32-bit words: the picture itself when it already is one,
// else a converted copy.
QImage wordImage(const QImage& picture);

// One row at a time of the serpentine scan: even rows run from left to right,
// odd rows from right to left. The gray levels come in scan order, so
// position i is column column(i), and position width() is the row's
// exclusive end (column W, or -1 in an odd row). The level there is endLevel;
// further on the levels are padded with 127, which is neither dark nor light,
// up to a multiple of 64.
class SerpentineRows
{
public:
    SerpentineRows(const QImage& words, unsigned char endLevel);

    void load(int row);
    int width() const { return m_width; }
    int column(int position) const { return m_even ? position : m_width - 1 - position; }
    const unsigned char* grays() const { return m_grays.data(); }

private:
    const QImage& m_words;
    int m_width;
    bool m_even = true;
    std::vector<unsigned char> m_grays;
};

// k x unit / speed for a whole number k, as the time estimates add it up one
// step at a time. The small k are looked up in a table made with the very
// same arithmetic, so the sums stay bit for bit those of dividing at every
// step, without a division per step.
class StepTimes
{
public:
    StepTimes(int count, double unit, double speed);
    double operator()(int k) const
    {
        return unsigned(k) < m_table.size() ? m_table[std::size_t(k)] : k * m_unit / m_speed;
    }

private:
    std::vector<double> m_table;
    double m_unit;
    double m_speed;
};

// "G1 X<x>" for count columns from firstColumn on (firstColumn may be -1, the
// exclusive end of an odd row), and " Y<y>" + tail for every row: the two
// halves of every move, formatted once per file.
TextTable columnMoves(int width, double precision, int firstColumn, int count);
TextTable rowTexts(int height, double precision, const QByteArray& tail = QByteArray());

// The laser writers' set-up: home, the start height, the faint S2 while the
// laser warms up for `pause`, then `power`.
void writeLaserSetup(OutputFile& file, const char* feed, const QString& startHeight,
                     const char* pause, const QByteArray& power);

void writePrefix(OutputFile& file, const char* title, const char* type,
                 const std::array<QString, 5>& names, const std::array<QString, 5>& values);

// The writer's message when its file cannot be written, none when it was
// cancelled; returns false.
bool reportWriteFailure(const OutputFile& file, const QString& fileName, const char* suffix);

} // namespace gcode

#endif
