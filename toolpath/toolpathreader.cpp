#include "toolpath/toolpathreader.h"

#include "gcode/gcodegenerator.h"
#include "gcode/machine.h"
#include "gcode/parameters.h"
#include "toolpath/linesplitter.h"
#include "toolpath/scanpool.h"

#include <QCoreApplication>

#include <algorithm>
#include <thread>
#include <vector>

using gcodelines::Batch;
using gcodelines::Line;
using gcodelines::Splitter;
using namespace gcodenumbers;

namespace {

// Enough to show what is wrong with a file without flooding the terminal.
constexpr int keptProblems = 20;
QString tr(const char* text)
{
    return QCoreApplication::translate("TavoMain", text);
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
    const double half = machineRangeMm / 2;
    return !hasBounds || (minX >= -half && maxX <= half && minY >= -half && maxY <= half);
}

ToolpathReader::ToolpathReader(Machine machine, StrokeSink* sheet)
    : m_sheet(sheet), m_machineGiven(machine != Machine::Unknown),
      m_splitter(std::make_unique<Splitter>()), m_batch(std::make_unique<Batch>())
{
    m_report.machine = machine;
}

ToolpathReader::~ToolpathReader() = default;

void ToolpathReader::feed(const char* data, qint64 size)
{
    m_splitter->split(data, size, m_batch.get());
    apply(*m_batch);
}

bool ToolpathReader::read(QIODevice& device, QString* error, qint64 chunkBytes)
{
    // This thread reads and cuts the chunks and makes the moves in order;
    // the lines of the chunks ahead are scanned meanwhile on the others,
    // scanning being most of the work. Small chunks keep a batch in the
    // cache between its scan and its moves.
    const unsigned helpers = std::thread::hardware_concurrency() > 1
                                 ? std::min(std::thread::hardware_concurrency() - 1, 7u)
                                 : 0u;
    const auto scan = [](Batch& batch, std::size_t from) { Splitter::scan(batch, from); };
    ScanPool<Batch, decltype(scan)> pool(helpers, scan);
    std::vector<std::unique_ptr<Batch>> batches(helpers + 2);
    for (auto& batch : batches)
        batch = std::make_unique<Batch>();

    QString failure;
    std::size_t submitted = 0;
    std::size_t applied = 0;
    for (;;) {
        if (submitted - applied == batches.size()) {
            Batch* oldest = batches[applied++ % batches.size()].get();
            pool.wait(oldest);
            apply(*oldest);
        }
        Batch* batch = batches[submitted % batches.size()].get();
        char* into = m_splitter->begin(batch, std::size_t(chunkBytes));
        const qint64 got = device.read(into, chunkBytes);
        if (got < 0)
            failure = device.errorString();
        if (got <= 0)
            break;
        pool.submit(batch, m_splitter->end(batch, std::size_t(got)));
        ++submitted;
    }
    while (applied < submitted) {
        Batch* oldest = batches[applied++ % batches.size()].get();
        pool.wait(oldest);
        apply(*oldest);
    }
    if (!failure.isEmpty()) {
        *error = failure;
        return false;
    }
    return true;
}

void ToolpathReader::finish()
{
    m_splitter->finish(m_batch.get());
    apply(*m_batch);
    if (m_report.machine == Machine::Unknown)
        m_report.machine = Machine::Laser;
    if (m_report.machine == Machine::Cnc) {
        const bool fromFile = m_fileMinDepth == m_fileMinDepth &&
                              m_fileMaxDepth == m_fileMaxDepth && m_fileMinDepth < m_fileMaxDepth;
        m_report.whiteDepth = fromFile ? m_fileMinDepth : m_cutMin;
        m_report.blackDepth = fromFile ? m_fileMaxDepth : m_cutMax;
    }
}

void ToolpathReader::apply(const Batch& batch)
{
    const char* const bytes = batch.bytes.data();
    for (const Line& line : batch.lines) {
        switch (line.kind) {
        case Line::Move: {
            ++m_report.lines;
            if (m_report.grbl)
                setGrblPower(true);
            if (line.axes & 8)
                setFeed(line.values[3]);
            const double x = line.axes & 1 ? line.values[0] : m_x;
            const double y = line.axes & 2 ? line.values[1] : m_y;
            const double z = line.axes & 4 ? line.values[2] : m_z;
            if (x != m_x || y != m_y || z != m_z)
                move(x, y, z);
            break;
        }
        case Line::Power:
            ++m_report.lines;
            m_power = qBound(0.0, line.values[0], 255.0);
            break;
        case Line::Text:
            parseLine(bytes + line.begin, bytes + line.end);
            break;
        case Line::TooLong:
            ++m_report.lines;
            problem(m_report.lines, bytes + line.begin, bytes + line.end, tr("line too long"));
            break;
        }
    }
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
        if (!after && word && m_fromProgram) {
            p = unreadableWord(p, end);
            continue;
        }
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
    } else if (startsWith(begin, end, "; Firmware: GRBL")) {
        m_report.grbl = true;
        const QByteArray comment(begin, int(end - begin));
        const int at = comment.indexOf("S-max ");
        const double sMax = at < 0 ? 0 : comment.mid(at + 6).split(',').value(0).toDouble();
        if (sMax > 0)
            m_report.sMax = sMax;
    } else {
        const QByteArray comment(begin, int(end - begin));
        const bool cnc = comment.contains("<Tavo CNC Milling>");
        const bool laser = comment.contains("<Tavo Laser Engraving>");
        m_fromProgram |= cnc || laser;
        if (!m_machineGiven && m_report.moves == 0 && (cnc || laser))
            m_report.machine = cnc ? Machine::Cnc : Machine::Laser;
    }
}

void ToolpathReader::execute(int letter, double number, const Words& words)
{
    if (letter == 'G' && (number == 1 || number == 0)) {
        if (words.has('F'))
            setFeed(words['F']);
        if (m_report.grbl) {
            m_s = words.has('S') ? words['S'] : m_s;
            setGrblPower(number == 1);
        }
        const double x = words.has('X') ? words['X'] : m_x;
        const double y = words.has('Y') ? words['Y'] : m_y;
        const double z = words.has('Z') ? words['Z'] : m_z;
        if (x != m_x || y != m_y || z != m_z)
            move(x, y, z);
    } else if (letter == 'G' && number == 4) {
        if (words.has('P'))
            m_report.dwellMinutes += words['P'] / (m_report.grbl ? 60.0 : 60000.0);
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
    } else if (m_report.grbl && letter == 'M' && (number == 3 || number == 4 || number == 5)) {
        m_spindle = number != 5;
        m_s = words.has('S') ? words['S'] : m_s;
    } else if (m_report.grbl && letter == 'G' && (number == 21 || number == 90)) {
        // Millimetres, absolute: what every position is read as anyway.
    } else {
        unknown(commandName(letter, number));
    }
}

// Laser mode: on over G1 (not G0) while M3 or M4 is in force, S scaled
// from 0 .. S-max to 0 .. 255.
void ToolpathReader::setGrblPower(bool g1)
{
    const bool on = m_spindle && g1;
    m_power = on ? qBound(0.0, m_s, m_report.sMax) * 255.0 / m_report.sMax : 0.0;
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
    if (working && across && m_sheet) {
        if (m_report.grbl)
            m_sheet->stroke(-m_x, m_y, -x, y, value);
        else
            m_sheet->stroke(m_x, m_y, x, y, value);
    }
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

// The writers separate words by one blank and put a typed value right after
// its letter, so the word runs to the next blank that a letter follows: "F 5"
// from " 5" is one word. Returns where the next word starts.
const char* ToolpathReader::unreadableWord(const char* begin, const char* end)
{
    const char* p = begin + 1;
    while (p < end && *p != ';' && !(isBlank(*p) && p + 1 < end && upperLetter(p[1])))
        ++p;
    ++m_report.unreadableCount;
    if (m_report.unreadable.size() < keptProblems)
        m_report.unreadable.append(
            {m_report.lines, QString::fromUtf8(begin, int(std::min<qint64>(p - begin, 80)))});
    return p;
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
