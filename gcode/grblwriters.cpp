#include "gcode/grblwriters.h"

#include "gcode/gcodeoutput.h"
#include "imaging/graylevel.h"

#include <QCoreApplication>

#include <QtAlgorithms>

#include <cmath>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace gcode {

namespace {

// Column edge i of a picture `width` pixels wide, centred on the origin,
// X growing towards the picture's right.
double edgeX(int width, int edge, double precision)
{
    return (edge - width * 0.5) * precision;
}

// "; Firmware: ..." names what the file assumes; the preview reads S-max
// back from it.
void writeGrblPrefix(OutputFile& file, const GrblJob& job, const char* title, const char* type,
                     double overscan)
{
    writePrefix(file, title, type, job.names, job.values);
    const FirmwareSettings& s = job.settings;
    file.line("; Firmware: GRBL 1.1, S-max " + QByteArray::number(s.sMax) + ", overscan " +
              grblNumber(overscan) + " mm, " +
              (s.oneWay ? "rows left to right" : "rows both ways"));
    file.line("; ****** Main G-code ******");
    file.line("G21");
    file.line("G90");
}

// The gray level of each pixel of one row, in column order.
void loadGrays(const QImage& words, int row, std::vector<unsigned char>& grays)
{
    const auto* line = reinterpret_cast<const QRgb*>(words.constScanLine(row));
    const std::size_t width = grays.size();
    for (std::size_t c = 0; c < width; ++c)
        grays[c] = static_cast<unsigned char>(grayLevel(line[c]));
}

// What one laser type burns: the S of every gray level, and the feed of
// the laser-off stretches inside a row.
struct LaserPlan
{
    std::array<int, 256> power{};
    int engraveFeed = 1;
    int gapFeed = 1;
    int jumpFeed = 1;
};

// Numbers the distinct S of the plan, 0 for S0, and gives each gray level
// its number; power gets the S of each number.
std::array<unsigned char, 256> classes(const LaserPlan& plan, std::array<int, 256>& power)
{
    std::array<unsigned char, 256> level{};
    int count = 1; // power[0] is 0
    for (std::size_t g = 0; g < level.size(); ++g) {
        int k = 0;
        while (k < count && power[std::size_t(k)] != plan.power[g])
            ++k;
        // Gray 255 always has S0, so 256 numbers are enough.
        if (k == count && count < 256)
            power[std::size_t(count++)] = plan.power[g];
        level[g] = static_cast<unsigned char>(k);
    }
    return level;
}

// Writes the engraved rows of a laser file. Lines are "G1 X.. [Y..] S.. [F..]"
// with F only where the feed changes; the laser is off (S0) on every move
// that does not engrave.
class LaserRows
{
public:
    LaserRows(OutputFile& file, const GrblJob& job, const LaserPlan& plan)
        : m_file(file), m_plan(plan), m_class(classes(plan, m_power)),
          m_width(job.picture->width()), m_height(job.picture->height()),
          m_precision(job.precision), m_overscan(job.settings.overscan),
          m_edges(m_width + 1,
                  [&](int i) { return "G1 X" + grblNumber(edgeX(m_width, i, m_precision)); }),
          m_powers(256, [&](int k) { return " S" + QByteArray::number(m_power[std::size_t(k)]); }),
          m_feedTexts(3, [&](int i) { return " F" + QByteArray::number(feedValue(Feed(i))); }),
          m_classes(std::size_t(m_width) + 17)
    {
        for (int i = 0; i < 3; ++i)
            m_feedValues[i] = feedValue(Feed(i));
    }

    // False when the row has nothing to burn and is skipped.
    bool write(const std::vector<unsigned char>& grays, int row, bool forward);
    // Lengths are summed per feed and divided once: no division per move.
    double minutes() const
    {
        double minutes = 0.0;
        for (int i = 0; i < 3; ++i)
            minutes += (m_millimetres[i] + double(m_pixels[i]) * m_precision) / m_feedValues[i];
        return minutes;
    }

private:
    // The plan's three feeds, by index, so a change costs no formatting.
    enum Feed { Engrave, Gap, Jump };
    char* feed(char* to, Feed feed)
    {
        m_feedIndex = feed;
        if (m_feedValues[feed] != m_feed) {
            m_feed = m_feedValues[feed];
            to = m_feedTexts.copy(to, feed);
        }
        *to++ = '\n';
        return to;
    }
    // A laser-off move to an X that is no column edge (overscan ends).
    void offMove(double x, int row, bool withY, Feed feed);
    int feedValue(Feed feed) const
    {
        return feed == Engrave ? m_plan.engraveFeed
               : feed == Gap   ? m_plan.gapFeed
                               : m_plan.jumpFeed;
    }

    OutputFile& m_file;
    const LaserPlan& m_plan;
    // Gray levels with the same S share a class, 0 for S0: a run is where
    // the class stays the same.
    std::array<int, 256> m_power{};
    std::array<unsigned char, 256> m_class;
    int m_width;
    int m_height;
    double m_precision;
    double m_overscan;
    TextTable m_edges;
    TextTable m_powers;
    TextTable m_feedTexts;
    int m_feedValues[3];
    std::vector<unsigned char> m_classes;
    double m_x = 0.0, m_y = 0.0;
    int m_feed = 0; // none yet
    Feed m_feedIndex = Jump;
    double m_millimetres[3] = {0.0, 0.0, 0.0};
    qint64 m_pixels[3] = {0, 0, 0};
};

void LaserRows::offMove(double x, int row, bool withY, Feed feedIndex)
{
    const double y = machineY(m_height, row, m_precision);
    QByteArray text = "G1 X" + grblNumber(x);
    if (withY)
        text += " Y" + grblNumber(y);
    text += " S0";
    char* to = m_file.reserve(std::size_t(text.size()) + m_feedTexts.stride() + 1);
    std::memcpy(to, text.constData(), std::size_t(text.size()));
    to = feed(to + text.size(), feedIndex);
    m_file.advance(to);
    m_millimetres[m_feedIndex] += std::hypot(x - m_x, withY ? y - m_y : 0.0);
    m_x = x;
    if (withY)
        m_y = y;
}

bool LaserRows::write(const std::vector<unsigned char>& grays, int row, bool forward)
{
    // The classes in scan order: position i is column i, or W - 1 - i in a
    // row scanned backwards; k[-1] is padding, as are 16 bytes past the end.
    const unsigned char* gray = grays.data();
    unsigned char* k = m_classes.data() + 1;
    int burned = 0;
    for (int i = 0; i < m_width; ++i) {
        k[i] = m_class[gray[forward ? i : m_width - 1 - i]];
        burned += k[i] != 0 ? 1 : 0;
    }
    if (burned == 0)
        return false;
    int first = 0, last = m_width - 1;
    while (k[first] == 0)
        ++first;
    while (k[last] == 0)
        --last;

    // Position i starts at edge i, or W - i backwards; overscan beyond both
    // ends of the burned positions.
    const auto edge = [&](int i) { return forward ? i : m_width - i; };
    const double direction = forward ? 1.0 : -1.0;
    const double fromX = edgeX(m_width, edge(first), m_precision);
    offMove(fromX - direction * m_overscan, row, true, Jump);
    if (m_overscan > 0)
        offMove(fromX, row, false, Engrave);

    // One line per run, the row's room taken at once; every value the loop
    // uses is a local. Runs end where the class changes, found 16 positions
    // at a time.
    const TextTable::View edges = m_edges.view();
    const TextTable::View powers = m_powers.view();
    const TextTable::View feeds = m_feedTexts.view();
    const int engraveFeed = m_feedValues[Engrave];
    const int gapFeed = m_feedValues[Gap];
    int current = m_feed;
    char* out = m_file.reserve(std::size_t(last - first + 1) *
                               (edges.stride + powers.stride + feeds.stride + 1));
    const auto run = [&](int end, int level) {
        out = edges.copy(out, edge(end));
        out = powers.copy(out, level);
        const int feed = level != 0 ? engraveFeed : gapFeed;
        if (feed != current) {
            current = feed;
            out = feeds.copy(out, level != 0 ? Engrave : Gap);
        }
        *out++ = '\n';
    };
    for (int base = first + 1; base <= last; base += 16) {
#if defined(__SSE2__)
        const __m128i now = _mm_loadu_si128(reinterpret_cast<const __m128i*>(k + base));
        const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(k + base - 1));
        unsigned changes = ~unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(now, before))) & 0xFFFFu;
#else
        unsigned changes = 0;
        for (int j = 0; j < 16; ++j)
            changes |= unsigned(k[base + j] != k[base + j - 1]) << j;
#endif
        if (last - base < 15)
            changes &= (2u << (last - base)) - 1;
        for (; changes; changes &= changes - 1) {
            const int i = base + int(qCountTrailingZeroBits(changes));
            run(i, k[i - 1]);
        }
    }
    run(last + 1, k[last]);
    m_file.advance(out);
    m_feed = current;
    m_feedIndex = Engrave; // a row ends on a burned pixel
    m_pixels[Engrave] += burned;
    m_pixels[Gap] += last + 1 - first - burned;

    m_x = edgeX(m_width, edge(last + 1), m_precision);
    if (m_overscan > 0)
        offMove(m_x + direction * m_overscan, row, false, Engrave);
    return true;
}

bool writeLaser(const GrblJob& job, const QString& fileName, const char* type,
                const LaserPlan& plan, double* minutes)
{
    const char* failure = QT_TRANSLATE_NOOP("TavoMain", " cannot be written!");
    OutputFile file(fileName, "\n", job.progress);
    if (!file.open())
        return reportWriteFailure(file, fileName, failure);

    const FirmwareSettings& settings = job.settings;
    writeGrblPrefix(file, job, "; <Tavo Laser Engraving>", type, settings.overscan);
    file.line("G0 Z" + grblNumber(job.values[4].toDouble()));
    // Dynamic power: the laser follows the real speed and is off at rest.
    file.line("M4 S0");

    const QImage picture = job.picture ? wordImage(*job.picture) : QImage();
    GrblJob shown = job;
    shown.picture = &picture;
    LaserRows rows(file, shown, plan);
    std::vector<unsigned char> grays(std::size_t(picture.width()));
    int scanned = 0;
    for (int r = 0; r < picture.height() && file.proceed(r, picture.height()); ++r) {
        loadGrays(picture, r, grays);
        // Alternate among the rows actually engraved, so the head always
        // turns back at the end it reached.
        if (rows.write(grays, r, settings.oneWay || scanned % 2 == 0))
            ++scanned;
    }

    file.line("; ****** G-code Postfix ******");
    file.line("M5");
    if (!file.commit())
        return reportWriteFailure(file, fileName, failure);
    *minutes = rows.minutes();
    return true;
}

// At most six significant digits, as the Marlin file writes its depths.
QByteArray depthText(double z)
{
    return QString(QStringLiteral("%1")).arg(z).toUtf8();
}

} // namespace

QByteArray grblNumber(double millimetres)
{
    QByteArray text = QByteArray::number(millimetres, 'f', 3);
    while (text.endsWith('0'))
        text.chop(1);
    if (text.endsWith('.'))
        text.chop(1);
    if (text == "-0")
        text = "0";
    return text;
}

bool writeGrblLaserLine(const GrblJob& job, const QString& fileName, double* minutes)
{
    LaserPlan plan;
    const int percent = job.values[1].toInt(nullptr, 10);
    const int power = int(std::lround(percent * double(job.settings.sMax) / 100.0));
    // The picture is black and white by now: dark pixels are burned.
    for (int g = 0; g < 256; ++g)
        plan.power[std::size_t(g)] = g < 128 ? power : 0;
    plan.engraveFeed = job.values[2].toInt(nullptr, 10);
    plan.jumpFeed = job.values[3].toInt(nullptr, 10);
    plan.gapFeed = plan.jumpFeed;
    return writeLaser(job, fileName, "; Line Laser", plan, minutes);
}

bool writeGrblLaserDots(const GrblJob& job, const QString& fileName, double* minutes)
{
    LaserPlan plan;
    const int ignored = job.values[1].toInt(nullptr, 10);
    // The Marlin file's dot power, rescaled to S-max.
    const float powerIndex = job.values[2].toFloat();
    for (int g = 0; g < 256; ++g) {
        const bool dot = g >= ignored && g <= 255 - ignored;
        const int marlin = dot ? truncatedToInt((255 - g) * double(powerIndex)) : 0;
        plan.power[std::size_t(g)] = int(std::lround(marlin * double(job.settings.sMax) / 255.0));
    }
    plan.engraveFeed = job.values[3].toInt(nullptr, 10);
    plan.gapFeed = plan.engraveFeed;
    plan.jumpFeed = plan.engraveFeed;
    return writeLaser(job, fileName, "; Dots Laser", plan, minutes);
}

namespace {

// The CNC rows: every pixel cut at its depth over its own interval.
class CncRows
{
public:
    CncRows(OutputFile& file, const GrblJob& job, const std::array<double, 256>& depths,
            double safeHeight)
        : m_file(file), m_depths(depths), m_width(job.picture->width()),
          m_height(job.picture->height()), m_precision(job.precision),
          m_speed(job.values[4].toInt(nullptr, 10)), m_safe(safeHeight), m_z(safeHeight),
          m_edges(m_width + 1,
                  [&](int i) { return "G1 X" + grblNumber(edgeX(m_width, i, m_precision)); }),
          m_depthTexts(256, [&](int g) { return "G1 Z" + depthText(depths[g]) + "\n"; })
    {
    }

    void write(const std::vector<unsigned char>& grays, int row, bool forward, bool first);
    // Up to the safe height, then a rapid move: G0 is timed at the feed.
    void lift()
    {
        m_file.line("G0 Z" + depthText(m_safe));
        addMinutes(std::abs(m_safe - m_z));
        m_z = m_safe;
    }
    // Everything runs at the one feed: lengths are summed, divided once.
    double minutes() const { return (m_millimetres + double(m_pixels) * m_precision) / m_speed; }
    void addMinutes(double millimetres) { m_millimetres += millimetres; }

private:
    OutputFile& m_file;
    const std::array<double, 256>& m_depths;
    int m_width;
    int m_height;
    double m_precision;
    int m_speed;
    double m_safe;
    double m_x = 0.0, m_y = 0.0, m_z;
    TextTable m_edges;
    TextTable m_depthTexts;
    double m_millimetres = 0.0;
    qint64 m_pixels = 0;
};

void CncRows::write(const std::vector<unsigned char>& grays, int row, bool forward, bool first)
{
    const double y = machineY(m_height, row, m_precision);
    const double startX = edgeX(m_width, forward ? 0 : m_width, m_precision);
    if (first) {
        // From wherever the tool is, above the sheet.
        if (m_z != m_safe)
            lift();
        m_file.line("G0 X" + grblNumber(startX) + " Y" + grblNumber(y));
        addMinutes(std::hypot(startX - m_x, y - m_y));
        const double z = m_depths[grays[forward ? 0 : std::size_t(m_width - 1)]];
        m_file.line("G1 Z" + depthText(z) + " F" + QByteArray::number(m_speed));
        addMinutes(std::abs(z - m_z));
        m_z = z;
    } else {
        // The step over, at the depth reached.
        m_file.line("G1 Y" + grblNumber(y));
        addMinutes(std::abs(y - m_y));
    }
    m_x = startX;
    m_y = y;

    const TextTable::View edges = m_edges.view();
    const TextTable::View depthTexts = m_depthTexts.view();
    const double* depths = m_depths.data();
    const unsigned char* gray = grays.data();
    double z = m_z;
    double plunged = 0.0;
    const int step = forward ? 1 : -1;
    int c = forward ? 0 : m_width - 1;
    const int stop = forward ? m_width : -1;
    char* out = m_file.reserve(std::size_t(m_width) * (edges.stride + depthTexts.stride + 1));
    while (c != stop) {
        const int level = gray[c];
        const double depth = depths[level];
        do
            c += step;
        while (c != stop && depths[gray[c]] == depth);
        if (depth != z) {
            out = depthTexts.copy(out, level);
            plunged += std::abs(depth - z);
            z = depth;
        }
        out = edges.copy(out, forward ? c : c + 1);
        *out++ = '\n';
    }
    m_file.advance(out);
    m_z = z;
    m_millimetres += plunged;
    m_pixels += m_width;
    m_x = edgeX(m_width, forward ? m_width : 0, m_precision);
}

} // namespace

bool writeGrblCncLine(const GrblJob& job, const QString& fileName, double* minutes)
{
    const char* failure = QT_TRANSLATE_NOOP("TavoMain", " cannot be writed!");
    OutputFile file(fileName, "\n", job.progress);
    if (!file.open())
        return reportWriteFailure(file, fileName, failure);

    const double safeHeight = job.values[1].toDouble() + 2.0;
    const double topHeight = safeHeight + 10.0;
    writeGrblPrefix(file, job, "; <Tavo CNC Milling>", "; Line CNC", 0.0);
    // The Marlin file's pauses, in seconds.
    file.line("G4 P2");
    file.line("G0 Z" + depthText(topHeight));
    file.line("G0 Z" + depthText(safeHeight));
    file.line("G4 P10");
    file.line("M3 S" + QByteArray::number(job.settings.sMax));
    file.line("G4 P3");

    const double maxDepth = job.values[2].toDouble();
    const double minDepth = job.values[3].toDouble();
    const double depthStep = (maxDepth - minDepth) / 255.0;
    // The depths as written, so the time counts where the tool really goes.
    std::array<double, 256> depths;
    for (int g = 0; g < 256; ++g)
        depths[std::size_t(g)] = depthText((255 - g) * depthStep + minDepth).toDouble();

    const QImage picture = job.picture ? wordImage(*job.picture) : QImage();
    GrblJob shown = job;
    shown.picture = &picture;
    CncRows rows(file, shown, depths, safeHeight);
    rows.addMinutes(topHeight - safeHeight);
    std::vector<unsigned char> grays(std::size_t(picture.width()));
    const bool oneWay = job.settings.oneWay;
    for (int r = 0; r < picture.height() && file.proceed(r, picture.height()); ++r) {
        loadGrays(picture, r, grays);
        rows.write(grays, r, oneWay || r % 2 == 0, oneWay || r == 0);
    }
    rows.lift();

    file.line("; ****** G-code Postfix ******");
    file.line("M5");
    if (!file.commit())
        return reportWriteFailure(file, fileName, failure);
    *minutes = rows.minutes() + 15.0 / 60.0;
    return true;
}

} // namespace gcode
