#include "cli/toolpath.h"

#include "cli/console.h"
#include "cli/sheet.h"
#include "gcode/gcodegenerator.h"
#include "gcode/parameters.h"

#include <algorithm>
#include <cstring>

namespace cli {

namespace {

// Enough to show what is wrong with a file without flooding the terminal.
constexpr int keptProblems = 20;
// A line longer than this is no G-code; it is skipped rather than buffered.
constexpr int longestLine = 1 << 16;

const double powersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8, 1e9,
                              1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18};

inline bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

inline int upperLetter(char c)
{
    const int u = (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c;
    return u >= 'A' && u <= 'Z' ? u : 0;
}

inline bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// A G-code number: optional sign, digits, optional point and digits. It ends
// at the line's end, a blank, a comment or the next word's letter. Returns
// the position after it, or null when it is malformed. Up to 18 digits the
// value is the digits as a whole number divided by a power of ten, both
// exact, so it is the correctly rounded value, as strtod would give.
inline const char* parseNumber(const char* p, const char* end, double* value)
{
    const char* begin = p;
    bool negative = false;
    if (p < end && (*p == '-' || *p == '+')) {
        negative = *p == '-';
        ++p;
    }
    quint64 mantissa = 0;
    int digits = 0;
    int decimals = 0;
    while (p < end && isDigit(*p)) {
        mantissa = mantissa * 10 + quint64(*p - '0');
        ++digits;
        ++p;
    }
    if (p < end && *p == '.') {
        ++p;
        while (p < end && isDigit(*p)) {
            mantissa = mantissa * 10 + quint64(*p - '0');
            ++digits;
            ++decimals;
            ++p;
        }
    }
    if (digits == 0)
        return nullptr;
    if (p < end && !isBlank(*p) && *p != ';' && !upperLetter(*p))
        return nullptr;
    if (Q_LIKELY(digits <= 18)) {
        const double magnitude = double(mantissa) / powersOfTen[decimals];
        *value = negative ? -magnitude : magnitude;
    } else {
        bool ok = false;
        *value = QByteArray(begin, int(p - begin)).toDouble(&ok);
        if (!ok)
            return nullptr;
    }
    return p;
}

// The same number, scanned where a line end is known to lie ahead, so no
// bound needs checking: every loop stops at the line end, which is no digit.
// Only the forms the writers produce; anything else gives null and the line
// is read the general way.
inline const char* scanNumber(const char* p, double* value)
{
    const bool negative = *p == '-';
    p += negative ? 1 : 0;
    quint64 mantissa = 0;
    const char* digits = p;
    while (isDigit(*p))
        mantissa = mantissa * 10 + quint64(*p++ - '0');
    std::ptrdiff_t count = p - digits;
    int decimals = 0;
    if (*p == '.') {
        const char* fraction = ++p;
        while (isDigit(*p))
            mantissa = mantissa * 10 + quint64(*p++ - '0');
        decimals = int(p - fraction);
        count += decimals;
    }
    if (count == 0 || count > 18)
        return nullptr;
    double magnitude = double(mantissa);
    if (decimals > 0)
        magnitude /= powersOfTen[decimals];
    *value = negative ? -magnitude : magnitude;
    return p;
}

const char* wordEnd(const char* p, const char* end)
{
    ++p;
    while (p < end && !isBlank(*p) && *p != ';' && !upperLetter(*p))
        ++p;
    return p;
}

QString commandName(int letter, double number)
{
    return QChar(letter) + QString::number(number, 'g', 10);
}

// "; Min Depth (mm): " and its siblings, as the writers put them in the prefix.
struct HeaderLabels
{
    QByteArray beam;
    QByteArray precision;
    QByteArray thickness;
    QByteArray maxDepth;
    QByteArray minDepth;
};

const HeaderLabels& headerLabels()
{
    static const HeaderLabels labels = [] {
        const GcodeParameters laser = gcodeParameters(LaserLine);
        const GcodeParameters cnc = gcodeParameters(CncLine);
        const auto prefix = [](const QString& label) { return "; " + label.toUtf8() + ": "; };
        return HeaderLabels{prefix(laser.labels[0]), prefix(cnc.labels[0]), prefix(cnc.labels[1]),
                            prefix(cnc.labels[2]), prefix(cnc.labels[3])};
    }();
    return labels;
}

bool startsWith(const char* begin, const char* end, const QByteArray& prefix)
{
    return end - begin >= prefix.size() &&
           std::memcmp(begin, prefix.constData(), std::size_t(prefix.size())) == 0;
}

double numberAfter(const char* begin, const char* end, const QByteArray& prefix)
{
    bool ok = false;
    const double value =
        QByteArray(begin + prefix.size(), int(end - begin - prefix.size())).trimmed().toDouble(&ok);
    return ok ? value : std::numeric_limits<double>::quiet_NaN();
}

} // namespace

struct ToolpathReader::Words
{
    quint32 mask = 0;
    double value[26];

    bool has(char letter) const { return mask & (1u << (letter - 'A')); }
    double operator[](char letter) const { return value[letter - 'A']; }
};

bool ToolpathReport::insideRange() const
{
    const double half = 70.0;
    return !hasBounds || (minX >= -half && maxX <= half && minY >= -half && maxY <= half);
}

ToolpathReader::ToolpathReader(Machine machine, Sheet* sheet)
    : m_sheet(sheet), m_machineGiven(machine != Machine::Unknown)
{
    m_report.machine = machine;
}

void ToolpathReader::feed(const char* data, qint64 size)
{
    const char* p = data;
    const char* const end = data + size;
    if (!m_partial.isEmpty() || m_skippingLongLine) {
        const char* newline = static_cast<const char*>(std::memchr(p, '\n', std::size_t(end - p)));
        const char* stop = newline ? newline : end;
        if (!m_skippingLongLine)
            m_partial.append(p, int(stop - p));
        if (!newline) {
            if (m_partial.size() > longestLine) {
                problem(m_report.lines + 1, m_partial.constData(), m_partial.constData() + 80,
                        tr("line too long"));
                m_partial.clear();
                m_skippingLongLine = true;
            }
            return;
        }
        if (m_skippingLongLine)
            ++m_report.lines;
        else
            parseLine(m_partial.constData(), m_partial.constData() + m_partial.size());
        m_partial.clear();
        m_skippingLongLine = false;
        p = newline + 1;
    }

    // The complete lines end at the chunk's last line end; each of them has
    // one ahead, which lets the common lines be scanned without bounds.
    const char* last = p;
    for (const char* q = end; q > p; --q)
        if (q[-1] == '\n') {
            last = q - 1;
            break;
        }
    if (last == p && (p == end || *p != '\n')) {
        m_partial.append(p, int(end - p));
        return;
    }
    while (p <= last) {
        const char* newline = scanLine(p);
        if (!newline) {
            newline = static_cast<const char*>(std::memchr(p, '\n', std::size_t(last + 1 - p)));
            parseLine(p, newline);
        }
        p = newline + 1;
    }
    if (p < end)
        m_partial.append(p, int(end - p));
}

bool ToolpathReader::read(QIODevice& device, QString* error)
{
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 got = device.read(buffer.data(), buffer.size());
        if (got < 0) {
            *error = device.errorString();
            return false;
        }
        if (got == 0)
            return true;
        feed(buffer.constData(), got);
    }
}

void ToolpathReader::finish()
{
    if (!m_partial.isEmpty())
        parseLine(m_partial.constData(), m_partial.constData() + m_partial.size());
    else if (m_skippingLongLine)
        ++m_report.lines;
    m_partial.clear();
    m_skippingLongLine = false;
    if (m_report.machine == Machine::Unknown)
        m_report.machine = Machine::Laser;
    if (m_report.machine == Machine::Cnc) {
        const bool fromFile = m_fileMinDepth == m_fileMinDepth &&
                              m_fileMaxDepth == m_fileMaxDepth && m_fileMinDepth < m_fileMaxDepth;
        m_report.whiteDepth = fromFile ? m_fileMinDepth : m_cutMin;
        m_report.blackDepth = fromFile ? m_fileMaxDepth : m_cutMax;
    }
}

// Nearly every line of a large file is a move or a power setting as the
// writers put them: "G1 X.. Y.. F..", "M106 S..". Those are read here in one
// pass; the position of their line end is returned. Anything else, null,
// having changed nothing: the line is then read the general way.
const char* ToolpathReader::scanLine(const char* p)
{
    if (p[0] == 'G' && p[1] == '1' && p[2] == ' ') {
        p += 3;
        double x = m_x, y = m_y, z = m_z, feed = m_feed;
        for (;;) {
            double* target;
            switch (*p) {
            case 'X':
                target = &x;
                break;
            case 'Y':
                target = &y;
                break;
            case 'Z':
                target = &z;
                break;
            case 'F':
                target = &feed;
                break;
            default:
                return nullptr;
            }
            p = scanNumber(p + 1, target);
            if (!p)
                return nullptr;
            if (*p != ' ')
                break;
            ++p;
        }
        p += *p == '\r' ? 1 : 0;
        if (*p != '\n')
            return nullptr;
        ++m_report.lines;
        setFeed(feed);
        if (x != m_x || y != m_y || z != m_z)
            move(x, y, z);
        return p;
    }
    if (p[0] == 'M' && p[1] == '1' && p[2] == '0' && p[3] == '6' && p[4] == ' ' && p[5] == 'S') {
        double power;
        p = scanNumber(p + 6, &power);
        if (!p)
            return nullptr;
        p += *p == '\r' ? 1 : 0;
        if (*p != '\n')
            return nullptr;
        ++m_report.lines;
        m_power = qBound(0.0, power, 255.0);
        return p;
    }
    return nullptr;
}

void ToolpathReader::parseLine(const char* p, const char* end)
{
    ++m_report.lines;
    while (end > p && (end[-1] == '\r' || isBlank(end[-1])))
        --end;
    while (p < end && isBlank(*p))
        ++p;
    if (p == end)
        return;
    if (*p == ';') {
        // Only the prefix says anything the preview needs.
        if (!m_crossedSheet)
            readComment(p, end);
        return;
    }

    const char* const line = p;
    const int letter = upperLetter(*p);
    double number = 0;
    if (!letter || !(p = parseNumber(p + 1, end, &number))) {
        problem(m_report.lines, line, end, tr("not a G-code command"));
        return;
    }
    Words words;
    for (;;) {
        while (p < end && isBlank(*p))
            ++p;
        if (p == end || *p == ';')
            break;
        const int word = upperLetter(*p);
        const char* after = word ? parseNumber(p + 1, end, &words.value[word - 'A']) : nullptr;
        // Homing names its axes without numbers: "G28 X Y".
        if (!after && word && letter == 'G' && number == 28 &&
            (p + 1 == end || isBlank(p[1]) || p[1] == ';'))
            after = p + 1;
        if (!after) {
            const QString token = QString::fromUtf8(p, int(wordEnd(p, end) - p));
            problem(m_report.lines, line, end, tr("malformed number \"%1\"").arg(token));
            return;
        }
        words.mask |= 1u << (word - 'A');
        p = after;
    }
    execute(letter, number, words);
}

void ToolpathReader::readComment(const char* begin, const char* end)
{
    const HeaderLabels& labels = headerLabels();
    if (startsWith(begin, end, labels.beam) || startsWith(begin, end, labels.precision)) {
        // The pitch, which is also the width of the beam or the tool's path.
        const double pitch = numberAfter(
            begin, end, startsWith(begin, end, labels.beam) ? labels.beam : labels.precision);
        if (m_sheet && pitch > 0)
            m_sheet->setBeam(pitch);
    } else if (startsWith(begin, end, labels.minDepth)) {
        m_fileMinDepth = numberAfter(begin, end, labels.minDepth);
    } else if (startsWith(begin, end, labels.maxDepth)) {
        m_fileMaxDepth = numberAfter(begin, end, labels.maxDepth);
    } else if (startsWith(begin, end, labels.thickness)) {
        // The CNC writer's two set-up heights, written as it writes them.
        const double thickness = numberAfter(begin, end, labels.thickness);
        if (thickness == thickness)
            for (double above : {2.0, 12.0})
                m_setupHeights << QString("%1").arg(thickness + above).toDouble();
    } else if (!m_machineGiven && m_report.moves == 0) {
        const QByteArray comment(begin, int(end - begin));
        if (comment.contains("<Tavo CNC Milling>"))
            m_report.machine = Machine::Cnc;
        else if (comment.contains("<Tavo Laser Engraving>"))
            m_report.machine = Machine::Laser;
    }
}

void ToolpathReader::execute(int letter, double number, const Words& words)
{
    if (letter == 'G' && (number == 1 || number == 0)) {
        if (words.has('F'))
            setFeed(words['F']);
        const double x = words.has('X') ? words['X'] : m_x;
        const double y = words.has('Y') ? words['Y'] : m_y;
        const double z = words.has('Z') ? words['Z'] : m_z;
        if (x != m_x || y != m_y || z != m_z)
            move(x, y, z);
    } else if (letter == 'G' && number == 4) {
        if (words.has('P'))
            m_report.dwellMinutes += words['P'] / 60000.0;
        else if (words.has('S'))
            m_report.dwellMinutes += words['S'] / 60.0;
    } else if (letter == 'G' && number == 28) {
        // Homing runs at the firmware's own speed: the tool is at the origin
        // afterwards, the way there is neither timed nor drawn.
        const bool all = !words.has('X') && !words.has('Y') && !words.has('Z');
        if (all || words.has('X'))
            m_x = 0;
        if (all || words.has('Y'))
            m_y = 0;
        if (all || words.has('Z'))
            m_z = 0;
    } else if (letter == 'M' && number == 106) {
        m_power = words.has('S') ? qBound(0.0, words['S'], 255.0) : 255.0;
    } else if (letter == 'M' && number == 107) {
        m_power = 0;
    } else if (letter == 'M' && number == 84) {
        // Motors off: nothing to draw.
    } else {
        unknown(commandName(letter, number));
    }
}

bool ToolpathReader::setupHeight(double z) const
{
    return m_setupHeights.contains(z);
}

void ToolpathReader::move(double x, double y, double z)
{
    if (m_report.machine == Machine::Unknown)
        m_report.machine = Machine::Laser;
    const double dx = x - m_x;
    const double dy = y - m_y;
    const double dz = z - m_z;
    // Most moves run along one axis; those need no square root.
    const bool across = dx != 0 || dy != 0;
    const double length = (dy == 0 && dz == 0)   ? std::abs(dx)
                          : (dx == 0 && dz == 0) ? std::abs(dy)
                          : (dx == 0 && dy == 0) ? std::abs(dz)
                                                 : std::sqrt(dx * dx + dy * dy + dz * dz);

    bool working;
    float value;
    if (m_report.machine == Machine::Laser) {
        working = m_power > 0;
        value = float(m_power);
    } else {
        if (!m_crossedSheet && !across) {
            if (!setupHeight(z))
                m_setupHeights << z;
            working = false;
        } else {
            working = !(setupHeight(m_z) && setupHeight(z));
        }
        value = float(z);
        if (working) {
            m_cutMin = std::min(m_cutMin, z);
            m_cutMax = std::max(m_cutMax, z);
        }
    }
    m_crossedSheet |= across;

    ToolpathReport& r = m_report;
    ++r.moves;
    (working ? r.workLength : r.idleLength) += length;
    if (m_feed > 0)
        r.moveMinutes += length * m_minutesPerMm;
    else
        ++r.untimedMoves;
    if (!r.hasBounds) {
        r.minX = r.maxX = x;
        r.minY = r.maxY = y;
        r.minZ = r.maxZ = z;
        r.hasBounds = true;
    } else {
        r.minX = std::min(r.minX, x);
        r.maxX = std::max(r.maxX, x);
        r.minY = std::min(r.minY, y);
        r.maxY = std::max(r.maxY, y);
        r.minZ = std::min(r.minZ, z);
        r.maxZ = std::max(r.maxZ, z);
    }
    if (working && across && m_sheet)
        m_sheet->stroke(m_x, m_y, x, y, value);
    m_x = x;
    m_y = y;
    m_z = z;
}

void ToolpathReader::problem(qint64 line, const char* begin, const char* end, const QString& what)
{
    ++m_report.problemCount;
    if (m_report.problems.size() >= keptProblems)
        return;
    QString text = QString::fromUtf8(begin, int(std::min<qint64>(end - begin, 80)));
    if (end - begin > 80)
        text += QLatin1String("...");
    m_report.problems.append({line, what + QLatin1String(": ") + text});
}

void ToolpathReader::unknown(const QString& name)
{
    for (auto& known : m_report.unknownCommands)
        if (known.first == name) {
            ++known.second;
            return;
        }
    m_report.unknownCommands.append({name, 1});
}

QString clockText(double minutes)
{
    const qint64 seconds = minutes > 0 ? qint64(minutes * 60.0 + 0.5) : 0;
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

} // namespace cli
