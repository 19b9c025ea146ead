#ifndef TAVO_TOOLPATH_TOOLPATHREADER_H
#define TAVO_TOOLPATH_TOOLPATHREADER_H

#include <QByteArray>
#include <QIODevice>
#include <QList>
#include <QPair>
#include <QString>

#include <cmath>
#include <limits>
#include <memory>

namespace gcodelines {
struct Batch;
class Splitter;
} // namespace gcodelines

// Where the reader sends the work moves it makes, to be drawn: the width of
// the beam (or tool) from the file's header, then each stroke with its laser
// power or depth as value.
class StrokeSink
{
public:
    virtual ~StrokeSink() = default;
    virtual void setBeam(double millimetres) = 0;
    virtual void stroke(double x0, double y0, double x1, double y1, float value) = 0;
};

enum class Machine { Unknown, Laser, Cnc };

// What a G-code file makes the machine do, summed up while it is read.
struct ToolpathReport
{
    struct Problem
    {
        qint64 line;
        QString text;
    };

    Machine machine = Machine::Unknown;
    // A GRBL file, known from its "; Firmware: GRBL" header line, and the
    // S of full power that line names.
    bool grbl = false;
    double sMax = 1000;
    qint64 lines = 0;
    qint64 moves = 0;

    // Every position a move starts or ends at; no move, no bounds.
    bool hasBounds = false;
    double minX = 0, maxX = 0, minY = 0, maxY = 0, minZ = 0, maxZ = 0;

    // Millimetres moved with the laser on (power above 0) or cutting, and
    // with the laser off or travelling.
    double workLength = 0;
    double idleLength = 0;
    // Each move's length at its feed rate, and the dwells.
    double moveMinutes = 0;
    double dwellMinutes = 0;
    // Moves made before any feed rate was set; their time is unknown.
    qint64 untimedMoves = 0;

    // Commands outside the dialect, with how often each came, in the order
    // first met. They are skipped.
    QList<QPair<QString, qint64>> unknownCommands;
    // Lines that could not be read (a malformed number, no command); the
    // first few are kept with their line number, all are counted. Skipped.
    QList<Problem> problems;
    qint64 problemCount = 0;
    // In a file the writers made (known by its title comment), a word whose
    // number cannot be read, such as "Zabc" from a parameter typed so: the
    // writers put the panel's texts into the file as typed. The word is
    // skipped and the rest of its line made; the first few are kept, with
    // the word as text, all are counted.
    QList<Problem> unreadable;
    qint64 unreadableCount = 0;

    // The depths that shade a CNC preview from white to black: the file's
    // Min and Max Depth, else the shallowest and deepest cut made.
    double whiteDepth = std::numeric_limits<double>::quiet_NaN();
    double blackDepth = std::numeric_limits<double>::quiet_NaN();

    bool insideRange() const;
};

// Reads the G-code dialect the writers produce, as a stream of bytes in any
// chunks: G1 (or G0) with X, Y, Z and F, G4 with P (milliseconds) or S
// (seconds), G28, M106 with S, M107, M84 and comments after ";". Memory stays
// the same whatever the file's size. Reading a device splits and reads the
// lines on a thread of its own while the moves of the lines before are made
// and drawn.
//
// Laser files: the power in force is that of the last M106 (S255 without S),
// 0 after M107; a move with power above 0 is drawn with its power as value.
// CNC files: Z is a depth; the heights the tool is sent to before its first
// move across the sheet are the set-up heights, and a move between set-up
// heights is travel; every other move cuts and is drawn with its Z as value.
// The machine comes from the file's title comment unless given; a file
// without one is taken for a laser file.
//
// GRBL files (named so in their header) also have G21, G90, S on moves,
// M3/M4 with S and M5; the laser is on over G1 moves while M3 or M4 is in
// force with S above 0, drawn with S scaled from 0 .. S-max to 0 .. 255;
// G4 P is in seconds. Their X grows towards the picture's right, so their
// strokes are drawn mirrored onto the sheet, which shows the picture as it
// was either way.
class ToolpathReader
{
public:
    // sheet may be null when only the report is wanted.
    ToolpathReader(Machine machine, StrokeSink* sheet);
    ~ToolpathReader();
    ToolpathReader(const ToolpathReader&) = delete;
    ToolpathReader& operator=(const ToolpathReader&) = delete;

    void feed(const char* data, qint64 size);
    // Reads the device to its end in chunks of the given size; false with
    // the device's error string.
    bool read(QIODevice& device, QString* error, qint64 chunkBytes = qint64(256) << 10);
    // The last line may lack its line end.
    void finish();

    const ToolpathReport& report() const { return m_report; }

private:
    struct Words;

    void apply(const gcodelines::Batch& batch);
    void parseLine(const char* begin, const char* end);
    void readComment(const char* begin, const char* end);
    void execute(int letter, double number, const Words& words);
    void move(double x, double y, double z);
    void problem(qint64 line, const char* begin, const char* end, const QString& what);
    const char* unreadableWord(const char* begin, const char* end);
    void unknown(const QString& name);
    bool setupHeight(double z) const;
    void setGrblPower(bool g1);
    // A product per move instead of a quotient: the feed changes seldom.
    void setFeed(double feed)
    {
        if (feed != m_feed) {
            m_feed = feed;
            m_minutesPerMm = 1.0 / feed;
        }
    }

    ToolpathReport m_report;
    StrokeSink* m_sheet;
    bool m_machineGiven;
    bool m_fromProgram = false;
    std::unique_ptr<gcodelines::Splitter> m_splitter;
    std::unique_ptr<gcodelines::Batch> m_batch;

    double m_x = 0, m_y = 0, m_z = 0;
    double m_feed = 0;
    double m_minutesPerMm = 0;
    double m_power = 0;
    double m_s = 0;              // GRBL: the S in force
    bool m_spindle = false;      // GRBL: M3 or M4 in force
    bool m_crossedSheet = false; // a move in X or Y has been made
    QList<double> m_setupHeights;
    double m_fileMinDepth = std::numeric_limits<double>::quiet_NaN();
    double m_fileMaxDepth = std::numeric_limits<double>::quiet_NaN();
    double m_cutMin = std::numeric_limits<double>::infinity();
    double m_cutMax = -std::numeric_limits<double>::infinity();
};

// "1:02:03" for minutes.
QString clockText(double minutes);

#endif
