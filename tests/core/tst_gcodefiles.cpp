#include "gcode/gcodegenerator.h"
#include "imaging/graylevel.h"
#include "pictures.h"
#include "scripteddialogs.h"

#include <QtTest>

#include <cmath>

using Values = std::array<QString, 5>;
Q_DECLARE_METATYPE(Values)

class TestGcodeFiles : public QObject
{
    Q_OBJECT

private slots:
    void goldenFiles_data();
    void goldenFiles();
    void formatPosition_data();
    void formatPosition();
    void setupLines_data();
    void setupLines();
    void moves_data();
    void moves();
    void travelLength();
    void matchesReference_data();
    void matchesReference();

private:
    QTemporaryDir m_dir;
};

namespace {

const Values laserLineNames{"Laser Beam (mm)", "Laser Power (%)", "Travel Speed (mm/min)",
                            "Jump Speed (mm/min)", "Start Height (mm)"};
const Values laserDotsNames{"Laser Beam (mm)", "Ignored Threshold", "Power Index",
                            "Travel Speed (mm/min)", "Start Height (mm)"};
const Values cncLineNames{"CNC Precision (mm)", "Sheet Thickness (mm)", "Max Depth (mm)",
                          "Min Depth (mm)", "Travel Speed (mm/min)"};
const char* const notice =
    "; TavoAssistant: check the machine's working area before you run this file";

const Values& namesFor(int type)
{
    return type == LaserLine ? laserLineNames : type == LaserDots ? laserDotsNames : cncLineNames;
}

// Where a writer's moves begin and end in its file.
int firstMoveLine(int type)
{
    return type == LaserLine || type == LaserDots ? 19 : 23;
}
const int postfixLines[3] = {7, 6, 6};

struct Written
{
    bool ok = false;
    QByteArray bytes;
    double time = 0;
    int travel = 0;
};

Written write(const QString& path, int type, QImage picture, const Values& values)
{
    GcodeGenerator generator;
    generator.paramNames = namesFor(type);
    generator.paramValues = values;
    generator.setImage(&picture);
    Written result;
    result.ok = generator.generate(type, path);
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        result.bytes = file.readAll();
    result.time = generator.processingTime();
    result.travel = generator.travelLength();
    return result;
}

QStringList linesOf(const QByteArray& bytes)
{
    QStringList lines = QString::fromUtf8(bytes).split("\r\n");
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// Empty when equal, else the first differing line of both.
QString firstDifference(const QByteArray& actual, const QByteArray& expected)
{
    if (actual == expected)
        return QString();
    const QList<QByteArray> a = actual.split('\n');
    const QList<QByteArray> e = expected.split('\n');
    for (int i = 0; i < qMax(a.size(), e.size()); ++i) {
        const QByteArray left = i < a.size() ? a[i] : "<missing>";
        const QByteArray right = i < e.size() ? e[i] : "<missing>";
        if (left != right)
            return QString("line %1: got \"%2\", expected \"%3\"")
                .arg(i + 1)
                .arg(QString::fromUtf8(left.toPercentEncoding(" ;:<>()%*")),
                     QString::fromUtf8(right.toPercentEncoding(" ;:<>()%*")));
    }
    return QString("same lines, different bytes");
}

QByteArray crlf(const QStringList& lines)
{
    return (lines.join("\r\n") + "\r\n").toUtf8();
}

// ---- A plain reference, written straight from the rules, line by line. ----

struct Reference
{
    QByteArray bytes;
    double time = 0;
};

Reference reference(int type, const QImage& picture, const Values& values)
{
    const int w = picture.width(), h = picture.height();
    const double p = values[0].toDouble();
    const auto pos = [&](int r, int c) {
        return "X" + QString::number((w * 0.5 - c) * p, 'f', 2) + " Y" +
               QString::number((h * 0.5 - r) * p, 'f', 2);
    };
    const auto gray = [&](int r, int c) { return grayLevel(picture.pixel(c, r)); };
    const bool laser = type == LaserLine || type == LaserDots;
    QStringList out{"; ****** G-code Prefix ******",
                    laser ? "; <Tavo Laser Engraving>" : "; <Tavo CNC Milling>",
                    type == LaserLine ? "; Line Laser"
                    : laser           ? "; Dots Laser"
                                      : "; Line CNC",
                    notice};
    for (int k = 0; k < 5; ++k)
        out << "; " + namesFor(type)[k] + ": " + values[k];
    out << "; ****** Main G-code ******"
        << "M107"
        << "G28";
    double time = 0;

    if (type == LaserLine) {
        out << "G1 F2000"
            << "G4 P2000"
            << "G1 Z" + values[4] << "M106 S2"
            << "G4 P9000"
            << "M106 S" + QString::number(int(values[1].toDouble() * 255 / 100));
        for (int r = 0; r < h; ++r) {
            const int step = r % 2 ? -1 : 1, first = r % 2 ? w - 1 : 0, end = r % 2 ? -1 : w;
            int last = first, previous = 255;
            const auto move = [&](int c, const QString& feed) {
                out << "G1 " + pos(r, c) + " F" + feed;
                time += std::abs(c - last) * p / feed.toDouble();
                last = c;
            };
            for (int c = first; c != end; c += step) {
                const int g = gray(r, c);
                if (g <= 126 && previous >= 128)
                    move(c, values[3]);
                else if (g >= 128 && previous <= 126)
                    move(c, values[2]);
                previous = g;
            }
            if (previous <= 126)
                move(end, values[2]);
        }
        out << "; ****** G-code Postfix ******"
            << "M107"
            << "G1 F2000";
    } else if (type == LaserDots) {
        out << "G1 F1000"
            << "G4 P2000"
            << "G1 Z" + values[4] << "M106 S2"
            << "G4 P10000"
            << "M106 S2";
        const int ignored = values[1].toInt();
        const float index = values[2].toFloat();
        for (int r = 0; r < h; ++r) {
            const int step = r % 2 ? -1 : 1, first = r % 2 ? w - 1 : 0, end = r % 2 ? -1 : w;
            int last = first;
            for (int c = first; c != end; c += step) {
                const int g = gray(r, c);
                if (g < ignored || g > 255 - ignored)
                    continue;
                out << "G1 " + pos(r, c) + " F" + values[3]
                    << "M106 S" + QString::number(int((255 - g) * double(index)));
                time += std::abs(c - last) * p / values[3].toDouble();
                last = c;
            }
        }
        out << "; ****** G-code Postfix ******"
            << "M107";
    } else {
        const double safe = values[1].toDouble() + 2.0, top = safe + 10.0;
        const double maxDepth = values[2].toDouble(), minDepth = values[3].toDouble();
        const double speed = values[4].toDouble();
        out << "G4 P2000"
            << "G1 F1000" << QString("G1 Z%1").arg(top) << QString("G1 Z%1").arg(safe)
            << "G4 P10000"
            << "M106 S255"
            << "G4 P3000" << QString("G1 Z%1").arg(safe) << "G1 F" + values[4]
            << "G1 " + pos(0, 0) + QString(" Z%1").arg(safe);
        double previousDepth = maxDepth;
        for (int r = 0; r < h; ++r) {
            const int step = r % 2 ? -1 : 1, first = r % 2 ? w - 1 : 0, end = r % 2 ? -1 : w;
            int previous = 255;
            for (int c = first; c != end; c += step) {
                const int g = gray(r, c);
                if (g != previous) {
                    const double depth = (255 - g) * ((maxDepth - minDepth) / 255.0) + minDepth;
                    time += std::abs(int(previousDepth - depth)) / speed;
                    out << "G1 " + pos(r, c) << QString("G1 Z%1").arg(depth);
                    previousDepth = depth;
                }
                previous = g;
            }
        }
        out << "; ****** G-code Postfix ******"
            << "M107";
        time += int(qint64(w) * h * p) / speed;
    }
    out << "G28"
        << "M107"
        << "M84"
        << "G1 F2000";
    return {crlf(out), time};
}

} // namespace

void TestGcodeFiles::goldenFiles_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QImage>("picture");
    QTest::addColumn<Values>("values");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<double>("time");

    const QStringList laserLinePrefix{"; ****** G-code Prefix ******", "; <Tavo Laser Engraving>",
                                      "; Line Laser", notice};
    QTest::newRow("laser line") << int(LaserLine)
                                << pictures::grayRows({{255, 0, 0, 255}, {255, 0, 255, 255}})
                                << Values{"0.5", "100", "500", "1000", "20"}
                                << QStringList{"; ****** G-code Prefix ******",
                                               "; <Tavo Laser Engraving>",
                                               "; Line Laser",
                                               notice,
                                               "; Laser Beam (mm): 0.5",
                                               "; Laser Power (%): 100",
                                               "; Travel Speed (mm/min): 500",
                                               "; Jump Speed (mm/min): 1000",
                                               "; Start Height (mm): 20",
                                               "; ****** Main G-code ******",
                                               "M107",
                                               "G28",
                                               "G1 F2000",
                                               "G4 P2000",
                                               "G1 Z20",
                                               "M106 S2",
                                               "G4 P9000",
                                               "M106 S255",
                                               "G1 X0.50 Y0.50 F1000",
                                               "G1 X-0.50 Y0.50 F500",
                                               "G1 X0.50 Y0.00 F1000",
                                               "G1 X1.00 Y0.00 F500",
                                               "; ****** G-code Postfix ******",
                                               "M107",
                                               "G1 F2000",
                                               "G28",
                                               "M107",
                                               "M84",
                                               "G1 F2000"}
                                << 0.0045;
    QTest::newRow("laser dots") << int(LaserDots)
                                << pictures::grayRows({{255, 0, 128, 255}, {100, 200, 255, 0}})
                                << Values{"0.5", "15", "0.4", "100", "20"}
                                << QStringList{"; ****** G-code Prefix ******",
                                               "; <Tavo Laser Engraving>",
                                               "; Dots Laser",
                                               notice,
                                               "; Laser Beam (mm): 0.5",
                                               "; Ignored Threshold: 15",
                                               "; Power Index: 0.4",
                                               "; Travel Speed (mm/min): 100",
                                               "; Start Height (mm): 20",
                                               "; ****** Main G-code ******",
                                               "M107",
                                               "G28",
                                               "G1 F1000",
                                               "G4 P2000",
                                               "G1 Z20",
                                               "M106 S2",
                                               "G4 P10000",
                                               "M106 S2",
                                               "G1 X0.00 Y0.50 F100",
                                               "M106 S50",
                                               "G1 X0.50 Y0.00 F100",
                                               "M106 S22",
                                               "G1 X1.00 Y0.00 F100",
                                               "M106 S62",
                                               "; ****** G-code Postfix ******",
                                               "M107",
                                               "G28",
                                               "M107",
                                               "M84",
                                               "G1 F2000"}
                                << 0.025;
    QTest::newRow("cnc line") << int(CncLine)
                              << pictures::grayRows({{255, 0, 0, 255}, {128, 128, 255, 0}})
                              << Values{"0.5", "100", "40", "1", "500"}
                              << QStringList{"; ****** G-code Prefix ******",
                                             "; <Tavo CNC Milling>",
                                             "; Line CNC",
                                             notice,
                                             "; CNC Precision (mm): 0.5",
                                             "; Sheet Thickness (mm): 100",
                                             "; Max Depth (mm): 40",
                                             "; Min Depth (mm): 1",
                                             "; Travel Speed (mm/min): 500",
                                             "; ****** Main G-code ******",
                                             "M107",
                                             "G28",
                                             "G4 P2000",
                                             "G1 F1000",
                                             "G1 Z112",
                                             "G1 Z102",
                                             "G4 P10000",
                                             "M106 S255",
                                             "G4 P3000",
                                             "G1 Z102",
                                             "G1 F500",
                                             "G1 X1.00 Y0.50 Z102",
                                             "G1 X0.50 Y0.50",
                                             "G1 Z40",
                                             "G1 X-0.50 Y0.50",
                                             "G1 Z1",
                                             "G1 X-0.50 Y0.00",
                                             "G1 Z40",
                                             "G1 X0.00 Y0.00",
                                             "G1 Z1",
                                             "G1 X0.50 Y0.00",
                                             "G1 Z20.4235",
                                             "; ****** G-code Postfix ******",
                                             "M107",
                                             "G28",
                                             "M107",
                                             "M84",
                                             "G1 F2000"}
                              << 0.28;
}

void TestGcodeFiles::goldenFiles()
{
    QFETCH(int, type);
    QFETCH(QImage, picture);
    QFETCH(Values, values);
    QFETCH(QStringList, expected);
    QFETCH(double, time);

    ScriptedDialogs dialogs;
    const Written w = write(m_dir.filePath("golden.gcode"), type, picture, values);
    QVERIFY(w.ok);
    const QString difference = firstDifference(w.bytes, crlf(expected));
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
    QCOMPARE(w.time, time);
    QCOMPARE(w.travel, 4);
    QVERIFY(dialogs.prompts().isEmpty());
}

void TestGcodeFiles::formatPosition_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("pitch");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("expected");

    QTest::newRow("top left") << QSize(100, 50) << "0.16" << 0 << 0 << "X8.00 Y4.00";
    QTest::newRow("bottom right") << QSize(100, 50) << "0.16" << 49 << 99 << "X-7.84 Y-3.84";
    QTest::newRow("centre") << QSize(100, 50) << "0.16" << 25 << 50 << "X0.00 Y0.00";
    QTest::newRow("one pixel") << QSize(1, 1) << "0.5" << 0 << 0 << "X0.25 Y0.25";
    // Exact binary ties round away from zero: 2.5 x 0.65 = 1.625, 1.5 x 0.75 = 1.125.
    QTest::newRow("tie at 0.65") << QSize(5, 5) << "0.65" << 0 << 0 << "X1.63 Y1.63";
    QTest::newRow("negative tie") << QSize(5, 5) << "0.65" << 5 << 5 << "X-1.63 Y-1.63";
    QTest::newRow("tie at 0.75") << QSize(3, 7) << "0.75" << 2 << 0 << "X1.13 Y1.13";
    QTest::newRow("row end column") << QSize(4, 2) << "0.5" << 1 << -1 << "X1.50 Y0.00";
}

void TestGcodeFiles::formatPosition()
{
    QFETCH(QSize, size);
    QFETCH(QString, pitch);
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(QString, expected);

    QImage picture(size, QImage::Format_RGB32);
    picture.fill(Qt::white);
    GcodeGenerator generator(&picture);
    generator.paramValues = {pitch, "100", "40", "1", "500"};
    QVERIFY(generator.generate(CncLine, m_dir.filePath("position.gcode")));
    QCOMPARE(generator.formatPosition(row, column), expected);
}

void TestGcodeFiles::setupLines_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<Values>("values");
    QTest::addColumn<QStringList>("expected"); // "line number:text"

    QTest::newRow("power 1 on both sides of the pause")
        << int(LaserLine) << Values{"0.5", "1", "500", "1000", "20"}
        << QStringList{"16:M106 S2", "17:G4 P9000", "18:M106 S2"};
    QTest::newRow("power 99") << int(LaserLine) << Values{"0.5", "99", "500", "1000", "20"}
                              << QStringList{"18:M106 S252"};
    QTest::newRow("line texts verbatim")
        << int(LaserLine) << Values{"0.5", "100", "500", "01000", "20.0"}
        << QStringList{"8:; Jump Speed (mm/min): 01000", "15:G1 Z20.0", "19:G1 X1.00 Y0.50 F01000"};
    QTest::newRow("dots texts verbatim")
        << int(LaserDots) << Values{"0.5", "15", "0.4", "0100", "20.0"}
        << QStringList{"15:G1 Z20.0", "19:G1 X1.00 Y0.50 F0100"};
    QTest::newRow("thickness 100.5") << int(CncLine) << Values{"0.5", "100.5", "40", "1", "0500"}
                                     << QStringList{"15:G1 Z112.5", "16:G1 Z102.5", "20:G1 Z102.5",
                                                    "21:G1 F0500", "22:G1 X1.00 Y0.50 Z102.5"};
}

void TestGcodeFiles::setupLines()
{
    QFETCH(int, type);
    QFETCH(Values, values);
    QFETCH(QStringList, expected);

    const QImage picture = pictures::grayRows({{100, 255, 255, 100}, {255, 100, 255, 255}});
    const Written w = write(m_dir.filePath("setup.gcode"), type, picture, values);
    QVERIFY(w.ok);
    const QStringList lines = linesOf(w.bytes);
    for (const QString& item : expected) {
        const int line = item.section(':', 0, 0).toInt();
        QCOMPARE(lines.value(line - 1), item.section(':', 1));
    }
}

void TestGcodeFiles::moves_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QImage>("picture");
    QTest::addColumn<Values>("values");
    QTest::addColumn<QStringList>("moves");
    QTest::addColumn<double>("time");

    const Values line{"0.5", "100", "500", "1000", "20"};
    QTest::newRow("line all black: closed at each row's end")
        << int(LaserLine) << pictures::filled(3, 2, qRgb(0, 0, 0)) << line
        << QStringList{"G1 X0.75 Y0.50 F1000", "G1 X-0.75 Y0.50 F500", "G1 X-0.25 Y0.00 F1000",
                       "G1 X1.25 Y0.00 F500"}
        << 3 * 0.5 / 500 + 3 * 0.5 / 500;
    QTest::newRow("line run to the end of an even row")
        << int(LaserLine) << pictures::grayRows({{255, 0, 0}}) << line
        << QStringList{"G1 X0.25 Y0.25 F1000", "G1 X-0.75 Y0.25 F500"}
        << 0.5 / 1000 + 2 * 0.5 / 500;
    QTest::newRow("line run to the end of an odd row")
        << int(LaserLine) << pictures::grayRows({{255, 255, 255}, {0, 0, 255}}) << line
        << QStringList{"G1 X0.25 Y0.00 F1000", "G1 X1.25 Y0.00 F500"} << 0.5 / 1000 + 2 * 0.5 / 500;
    QTest::newRow("line single dark pixel")
        << int(LaserLine) << pictures::grayRows({{255, 0, 255}}) << line
        << QStringList{"G1 X0.25 Y0.25 F1000", "G1 X-0.25 Y0.25 F500"} << 0.5 / 1000 + 0.5 / 500;
    QTest::newRow("line gray 127 neither starts nor ends")
        << int(LaserLine) << pictures::grayRows({{0, 127, 255, 255}, {255, 0, 127, 255}}) << line
        << QStringList{"G1 X1.00 Y0.50 F1000", "G1 X1.00 Y0.00 F500"} << 0.0 + 3 * 0.5 / 500;
    QTest::newRow("line all white") << int(LaserLine) << pictures::filled(5, 3, qRgb(255, 255, 255))
                                    << line << QStringList{} << 0.0;

    const Values dots{"0.5", "15", "0.4", "100", "20"};
    QTest::newRow("dots all white") << int(LaserDots) << pictures::filled(3, 2, qRgb(255, 255, 255))
                                    << dots << QStringList{} << 0.0;
    QTest::newRow("dots all black")
        << int(LaserDots) << pictures::filled(3, 2, qRgb(0, 0, 0)) << dots << QStringList{} << 0.0;
    QTest::newRow("dots every pixel at threshold 0")
        << int(LaserDots) << pictures::grayRows({{255, 0}}) << Values{"0.5", "0", "1", "100", "20"}
        << QStringList{"G1 X0.50 Y0.25 F100", "M106 S0", "G1 X0.00 Y0.25 F100", "M106 S255"}
        << 0.5 / 100;
    QTest::newRow("dots black at index 0.1")
        << int(LaserDots) << pictures::grayRows({{0}}) << Values{"0.5", "0", "0.1", "100", "20"}
        << QStringList{"G1 X0.25 Y0.25 F100", "M106 S25"} << 0.0;
    QTest::newRow("dots 0.7 at gray 245 in single precision")
        << int(LaserDots) << pictures::grayRows({{245}}) << Values{"0.5", "10", "0.7", "100", "20"}
        << QStringList{"G1 X0.25 Y0.25 F100", "M106 S6"} << 0.0;
    QTest::newRow("dots threshold 128 leaves no band")
        << int(LaserDots) << pictures::grayRows({{127, 128}})
        << Values{"0.5", "128", "1", "100", "20"} << QStringList{} << 0.0;
    QTest::newRow("dots threshold 127: only 127 and 128")
        << int(LaserDots) << pictures::grayRows({{126, 127, 128, 129}})
        << Values{"0.5", "127", "1", "100", "20"}
        << QStringList{"G1 X0.50 Y0.25 F100", "M106 S128", "G1 X0.00 Y0.25 F100", "M106 S127"}
        << 0.5 / 100 + 0.5 / 100;
    QTest::newRow("dots odd row starts at its right end")
        << int(LaserDots) << pictures::grayRows({{255, 255}, {100, 100}}) << dots
        << QStringList{"G1 X0.00 Y0.00 F100", "M106 S62", "G1 X0.50 Y0.00 F100", "M106 S62"}
        << 0.5 / 100;

    const Values cnc{"0.5", "100", "40", "1", "500"};
    QTest::newRow("cnc all white") << int(CncLine) << pictures::filled(4, 3, qRgb(255, 255, 255))
                                   << cnc << QStringList{} << 6 / 500.0;
    QTest::newRow("cnc all black: one pair a row, no depth time")
        << int(CncLine) << pictures::filled(3, 2, qRgb(0, 0, 0)) << cnc
        << QStringList{"G1 X0.75 Y0.50", "G1 Z40", "G1 X-0.25 Y0.00", "G1 Z40"} << 3 / 500.0;
    QTest::newRow("cnc changes under 1 mm are free")
        << int(CncLine) << pictures::grayRows({{100, 101}}) << cnc
        << QStringList{"G1 X0.50 Y0.25", "G1 Z24.7059", "G1 X0.00 Y0.25", "G1 Z24.5529"}
        << 15 / 500.0 + 0 / 500.0 + 1 / 500.0;
    QTest::newRow("cnc 1.9 mm costs 1 mm")
        << int(CncLine) << pictures::grayRows({{0, 19}}) << Values{"0.5", "100", "26.5", "1", "500"}
        << QStringList{"G1 X0.50 Y0.25", "G1 Z26.5", "G1 X0.00 Y0.25", "G1 Z24.6"}
        << 0 / 500.0 + 1 / 500.0 + 1 / 500.0;
    QImage sameGray(2, 1, QImage::Format_RGB32);
    sameGray.setPixel(0, 0, qRgb(0, 10, 0)); // both gray level 5
    sameGray.setPixel(1, 0, qRgb(17, 0, 0));
    QTest::newRow("cnc same gray, other colour")
        << int(CncLine) << sameGray << cnc << QStringList{"G1 X0.50 Y0.25", "G1 Z39.2353"}
        << 0 / 500.0 + 1 / 500.0;
}

void TestGcodeFiles::moves()
{
    QFETCH(int, type);
    QFETCH(QImage, picture);
    QFETCH(Values, values);
    QFETCH(QStringList, moves);
    QFETCH(double, time);

    const Written w = write(m_dir.filePath("moves.gcode"), type, picture, values);
    QVERIFY(w.ok);
    const QStringList lines = linesOf(w.bytes);
    const int first = firstMoveLine(type) - 1;
    const QStringList written = lines.mid(first, lines.size() - first - postfixLines[type]);
    QCOMPARE(written.join(" | "), moves.join(" | "));
    QCOMPARE(w.time, time);
}

void TestGcodeFiles::travelLength()
{
    const QImage picture = pictures::filled(280, 100, qRgb(255, 255, 255));
    const Values values[3] = {{"0.5", "100", "500", "1000", "20"},
                              {"0.5", "15", "0.4", "100", "20"},
                              {"0.5", "100", "40", "1", "500"}};
    for (int type = 0; type < 3; ++type)
        QCOMPARE(write(m_dir.filePath("travel.gcode"), type, picture, values[type]).travel, 14000);
}

void TestGcodeFiles::matchesReference_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<quint64>("seed");
    for (int type = 0; type < 3; ++type)
        for (quint64 seed = 1; seed <= 72; ++seed)
            QTest::addRow("type %d seed %llu", type, seed) << type << seed;
}

// Random small pictures (0 to 12 pixels a side; a few wide ones, where rows
// span several 64-pixel blocks) and random accepted texts: the writers must
// produce the reference's bytes and time exactly.
void TestGcodeFiles::matchesReference()
{
    QFETCH(int, type);
    QFETCH(quint64, seed);

    pictures::Random random(seed * 7919 + quint64(type));
    const int grays[] = {0, 126, 127, 128, 255};
    const bool wide = seed > 60;
    QImage picture(wide ? 60 + random.bounded(140) : random.bounded(13),
                   wide ? 1 + random.bounded(4) : random.bounded(13), QImage::Format_RGB32);
    QRgb pixel = qRgb(255, 255, 255);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const int kind = random.bounded(4);
            if (kind == 0) {
                const int g = grays[random.bounded(5)];
                pixel = qRgb(g, g, g);
            } else if (kind == 1) {
                pixel = QRgb(random.next()) | 0xFF000000u;
            } // else repeat the last pixel: runs
            picture.setPixel(x, y, pixel);
        }

    const char* pitches[] = {"0.16", "0.5", "0.65", "0.75", "0.02", "1"};
    const QString pitch = pitches[random.bounded(6)];
    const auto number = [&](int low, int high) {
        return QString::number(low + random.bounded(high - low + 1));
    };
    Values values;
    if (type == LaserLine) {
        const char* heights[] = {"20", "20.0", "0", "150"};
        values = {pitch, number(1, 100), number(1, 2000), number(1, 10000),
                  heights[random.bounded(4)]};
    } else if (type == LaserDots) {
        const char* indices[] = {"0.1", "0.4", "0.7", "1", "0.33"};
        values = {pitch, number(0, 130), indices[random.bounded(5)], number(1, 2000), "20"};
    } else {
        const char* thicknesses[] = {"100", "100.5", "150", "12"};
        const QString thickness = thicknesses[random.bounded(4)];
        const double minDepth = 1 + random.bounded(3) * 0.5;
        const double maxDepth = minDepth + 0.5 + random.bounded(int(thickness.toDouble()) - 5);
        values = {pitch, thickness, QString::number(maxDepth), QString::number(minDepth),
                  number(1, 500)};
    }
    // Some pictures arrive in other formats; the writers read them as 32-bit words.
    const QList<QImage::Format> formats = pictures::decoderFormats();
    QImage given = picture;
    if (random.bounded(3) == 0) {
        given = picture.convertToFormat(formats[random.bounded(formats.size())]);
        picture = given.convertToFormat(QImage::Format_ARGB32);
    }

    const Reference expected = reference(type, picture, values);
    const Written w = write(m_dir.filePath("random.gcode"), type, given, values);
    QVERIFY(w.ok);
    const QString difference = firstDifference(w.bytes, expected.bytes);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
    QCOMPARE(w.time, expected.time);
}

QTEST_GUILESS_MAIN(TestGcodeFiles)
#include "tst_gcodefiles.moc"
