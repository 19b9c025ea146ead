#ifndef TAVO_TOOLPATH_LINESPLITTER_H
#define TAVO_TOOLPATH_LINESPLITTER_H

#include "toolpath/gcodenumbers.h"

#include <QtGlobal>

#include <cstring>
#include <memory>
#include <vector>

namespace gcodelines {

using gcodenumbers::scanNumber;

// A line longer than this is no G-code; it is skipped rather than buffered.
constexpr int longestLine = 1 << 16;

// What one line says, read without the reader's state: the lines of a chunk
// can be read on one thread while the moves before them are made on another.
// Nearly every line of a large file is a move or a power setting as the
// writers put them ("G1 X.. Y.. F..", "M106 S.."); those arrive read, the
// others as their text.
struct Line
{
    enum Kind : quint8 { Move, Power, Text, TooLong };
    Kind kind;
    quint8 axes;       // Move: which of X, Y, Z and F (bits 0 to 3) are given
    qint32 begin, end; // Text, TooLong: where in the batch's bytes
    double values[4];  // Move: X, Y, Z, F; Power: the power
};

// Bytes that keep their memory and are never cleared: chunk after chunk is
// read straight into the same buffer, without filling it with zeros first.
class Bytes
{
public:
    char* data() { return m_data.get(); }
    const char* data() const { return m_data.get(); }
    std::size_t size() const { return m_size; }
    char operator[](std::size_t i) const { return m_data[i]; }
    void clear() { m_size = 0; }
    // Bytes beyond the old size are undefined until written.
    void resize(std::size_t size)
    {
        if (size > m_capacity) {
            std::unique_ptr<char[]> grown(new char[size]);
            if (m_size > 0)
                std::memcpy(grown.get(), m_data.get(), m_size);
            m_data = std::move(grown);
            m_capacity = size;
        }
        m_size = size;
    }
    void append(const char* data, std::size_t size)
    {
        const std::size_t at = m_size;
        resize(at + size);
        if (size > 0)
            std::memcpy(m_data.get() + at, data, size);
    }

private:
    std::unique_ptr<char[]> m_data;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
};

// Batches are used again and again: fresh memory for every chunk would cost
// a page fault every few kilobytes.
struct Batch
{
    Bytes bytes;
    std::vector<Line> lines;

    void clear()
    {
        bytes.clear();
        lines.clear();
    }
};

// Cuts the stream into complete lines, keeping the start of an unfinished
// one for the next chunk, and reads the common lines.
class Splitter
{
public:
    // Room for size more bytes in the batch, after the start of a line the
    // last chunk left unfinished; the bytes are read straight into it.
    char* begin(Batch* batch, std::size_t size)
    {
        batch->clear();
        batch->bytes.append(m_partial.data(), m_partial.size());
        batch->bytes.resize(m_partial.size() + size);
        return batch->bytes.data() + m_partial.size();
    }

    // The batch holds got bytes more: it is cut after its last complete
    // line, an unfinished one being kept for the next. Returns where the
    // lines to scan() begin.
    std::size_t end(Batch* batch, std::size_t got)
    {
        Bytes& bytes = batch->bytes;
        bytes.resize(m_partial.size() + got);
        m_partial.clear();
        std::size_t from = 0;
        if (m_skipping) {
            const auto* newline =
                static_cast<const char*>(std::memchr(bytes.data(), '\n', bytes.size()));
            if (!newline) {
                bytes.clear();
                return 0;
            }
            m_skipping = false;
            from = std::size_t(newline - bytes.data()) + 1;
        }
        std::size_t last = bytes.size();
        while (last > from && bytes[last - 1] != '\n')
            --last;
        m_partial.assign(bytes.data() + last, bytes.data() + bytes.size());
        if (last == from && m_partial.size() > std::size_t(longestLine)) {
            // Not G-code: reported once, then skipped to its end.
            batch->lines.push_back({Line::TooLong, 0, qint32(from), qint32(from + 81), {}});
            m_partial.clear();
            m_skipping = true;
            bytes.resize(from + 81);
            return bytes.size(); // nothing to scan: the excerpt is the line
        }
        bytes.resize(last);
        return from;
    }

    void split(const char* data, qint64 size, Batch* batch)
    {
        std::memcpy(begin(batch, std::size_t(size)), data, std::size_t(size));
        scan(*batch, end(batch, std::size_t(size)));
    }

    // The last line, when the stream does not end with a line end.
    void finish(Batch* batch)
    {
        batch->clear();
        if (!m_skipping && !m_partial.empty()) {
            batch->bytes.append(m_partial.data(), m_partial.size());
            batch->lines.push_back({Line::Text, 0, 0, qint32(m_partial.size()), {}});
        }
        m_partial.clear();
        m_skipping = false;
    }

    // Reads the lines of bytes from the offset on; touches nothing else, so
    // batches may be scanned side by side.
    static void scan(Batch& batch, std::size_t from)
    {
        const char* const base = batch.bytes.data();
        const char* const stop = base + batch.bytes.size();
        for (const char* p = base + from; p < stop;) {
            Line line;
            const char* newline = readCommon(p, &line);
            if (!newline) {
                newline = static_cast<const char*>(std::memchr(p, '\n', std::size_t(stop - p)));
                line.kind = Line::Text;
                line.axes = 0;
                line.begin = qint32(p - base);
                line.end = qint32(newline - base);
            }
            batch.lines.push_back(line);
            p = newline + 1;
        }
    }

private:
    // A move or power line as the writers write it, in one pass; the
    // position of its line end, or null for anything else. A line end lies
    // ahead, so no bound needs checking.
    static const char* readCommon(const char* p, Line* line)
    {
        if (p[0] == 'G' && p[1] == '1' && p[2] == ' ') {
            p += 3;
            line->kind = Line::Move;
            line->axes = 0;
            for (;;) {
                int axis;
                switch (*p) {
                case 'X':
                    axis = 0;
                    break;
                case 'Y':
                    axis = 1;
                    break;
                case 'Z':
                    axis = 2;
                    break;
                case 'F':
                    axis = 3;
                    break;
                default:
                    return nullptr;
                }
                p = scanNumber(p + 1, &line->values[axis]);
                if (!p)
                    return nullptr;
                line->axes |= quint8(1u << axis);
                if (*p != ' ')
                    break;
                ++p;
            }
        } else if (p[0] == 'M' && p[1] == '1' && p[2] == '0' && p[3] == '6' && p[4] == ' ' &&
                   p[5] == 'S') {
            line->kind = Line::Power;
            p = scanNumber(p + 6, &line->values[0]);
            if (!p)
                return nullptr;
        } else {
            return nullptr;
        }
        p += *p == '\r' ? 1 : 0;
        return *p == '\n' ? p : nullptr;
    }

    std::vector<char> m_partial;
    bool m_skipping = false;
};

} // namespace gcodelines

#endif
