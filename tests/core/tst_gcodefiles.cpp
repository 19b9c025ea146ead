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
    void fileLines_data();
    void fileLines();
    void travelLength();
    void matchesReference_data();
    void matchesReference();

private:
    QTemporaryDir m_dir;
};

namespace {

const Values names[3] = {{"Laser Beam (mm)", "Laser Power (%)", "Travel Speed (mm/min)",
                          "Jump Speed (mm/min)", "Start Height (mm)"},
                         {"Laser Beam (mm)", "Ignored Threshold", "Power Index",
                          "Travel Speed (mm/min)", "Start Height (mm)"},
                         {"CNC Precision (mm)", "Sheet Thickness (mm)", "Max Depth (mm)",
                          "Min Depth (mm)", "Travel Speed (mm/min)"}};
const Values defaults[3] = {{"0.5", "100", "500", "1000", "20"},
                            {"0.5", "15", "0.4", "100", "20"},
                            {"0.5", "100", "40", "1", "500"}};
const char* const notice =
    "; TavoAssistant: check the machine's working area before you run this file";

struct Written
{
    QStringList lines;
    double time = 0;
    int travel = 0;
};

Written write(const QString& path, int type, QImage picture, const Values& values)
{
    GcodeGenerator generator(&picture);
    generator.paramNames = names[type];
    generator.paramValues = values;
    if (!generator.generate(type, path))
        return {};
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return {QString::fromUtf8(file.readAll()).split("\r\n"), generator.processingTime(),
            generator.travelLength()};
}

// A plain reference written straight from the rules, line by line.
QStringList reference(int type, const QImage& picture, const Values& v, double& time)
{
    const int w = picture.width(), h = picture.height();
    const double p = v[0].toDouble(), maxDepth = v[2].toDouble(), minDepth = v[3].toDouble();
    const auto pos = [&](int r, int c) {
        return QString("X%1 Y%2")
            .arg((w * 0.5 - c) * p, 0, 'f', 2)
            .arg((h * 0.5 - r) * p, 0, 'f', 2);
    };
    const char* kinds[] = {"Laser Engraving>|; Line Laser", "Laser Engraving>|; Dots Laser",
                           "CNC Milling>|; Line CNC"};
    QStringList out =
        QString("; ****** G-code Prefix ******|; <Tavo %1|%2").arg(kinds[type], notice).split('|');
    for (int k = 0; k < 5; ++k)
        out << "; " + names[type][k] + ": " + v[k];
    out << QString("; ****** Main G-code ******|M107|G28").split('|');
    const QString sheet = QString::number(v[1].toDouble() + 2);
    if (type != CncLine)
        out << QString("G1 F%1|G4 P2000|G1 Z%2|M106 S2|G4 P%3|M106 S%4")
                   .arg(type == LaserLine ? "2000" : "1000", v[4],
                        type == LaserLine ? "9000" : "10000",
                        QString::number(type == LaserLine ? int(v[1].toDouble() * 255 / 100) : 2))
                   .split('|');
    else
        out << QString("G4 P2000|G1 F1000|G1 Z%1|G1 Z%2|G4 P10000|M106 S255|G4 P3000|G1 Z%2|"
                       "G1 F%3|G1 %4 Z%2")
                   .arg(QString::number(v[1].toDouble() + 12), sheet, v[4], pos(0, 0))
                   .split('|');
    time = 0;
    double previousDepth = maxDepth;
    for (int r = 0; r < h; ++r) {
        const int step = r % 2 ? -1 : 1, end = r % 2 ? -1 : w;
        int last = r % 2 ? w - 1 : 0, previous = 255;
        const auto move = [&](int c, const QString& feed) {
            out << "G1 " + pos(r, c) + " F" + feed;
            time += std::abs(c - last) * p / feed.toDouble();
            last = c;
        };
        for (int c = last; c != end; c += step) {
            const int g = grayLevel(picture.pixel(c, r));
            if (type == LaserLine) {
                if (g <= 126 && previous >= 128)
                    move(c, v[3]);
                else if (g >= 128 && previous <= 126)
                    move(c, v[2]);
            } else if (type == LaserDots) {
                if (g >= v[1].toInt() && g <= 255 - v[1].toInt()) {
                    move(c, v[3]);
                    out << "M106 S" + QString::number(int((255 - g) * double(v[2].toFloat())));
                }
            } else if (g != previous) {
                const double depth = (255 - g) * ((maxDepth - minDepth) / 255.0) + minDepth;
                time += std::abs(int(previousDepth - depth)) / v[4].toDouble();
                out << "G1 " + pos(r, c) << QString("G1 Z%1").arg(depth);
                previousDepth = depth;
            }
            previous = g;
        }
        if (type == LaserLine && previous <= 126) // a run reaching the row's end
            move(end, v[2]);
    }
    out << "; ****** G-code Postfix ******"
        << "M107";
    if (type == LaserLine)
        out << "G1 F2000";
    else if (type == CncLine)
        time += int(qint64(w) * h * p) / v[4].toDouble();
    return out << QString("G28|M107|M84|G1 F2000|").split('|');
}

} // namespace

void TestGcodeFiles::goldenFiles_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QImage>("picture");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<double>("time");

    const QString prefix = QString("; ****** G-code Prefix ******\n%1\n%2\n") + notice + "\n";
    QTest::newRow("laser line")
        << int(LaserLine) << pictures::grayRows({{255, 0, 0, 255}, {255, 0, 255, 255}})
        << prefix.arg("; <Tavo Laser Engraving>", "; Line Laser") +
               "; Laser Beam (mm): 0.5\n; Laser Power (%): 100\n; Travel Speed (mm/min): 500\n"
               "; Jump Speed (mm/min): 1000\n; Start Height (mm): 20\n"
               "; ****** Main G-code ******\nM107\nG28\nG1 F2000\nG4 P2000\nG1 Z20\nM106 S2\n"
               "G4 P9000\nM106 S255\nG1 X0.50 Y0.50 F1000\nG1 X-0.50 Y0.50 F500\n"
               "G1 X0.50 Y0.00 F1000\nG1 X1.00 Y0.00 F500\n; ****** G-code Postfix ******\n"
               "M107\nG1 F2000\nG28\nM107\nM84\nG1 F2000\n"
        << 0.0045;
    QTest::newRow("laser dots")
        << int(LaserDots) << pictures::grayRows({{255, 0, 128, 255}, {100, 200, 255, 0}})
        << prefix.arg("; <Tavo Laser Engraving>", "; Dots Laser") +
               "; Laser Beam (mm): 0.5\n; Ignored Threshold: 15\n; Power Index: 0.4\n"
               "; Travel Speed (mm/min): 100\n; Start Height (mm): 20\n"
               "; ****** Main G-code ******\nM107\nG28\nG1 F1000\nG4 P2000\nG1 Z20\nM106 S2\n"
               "G4 P10000\nM106 S2\nG1 X0.00 Y0.50 F100\nM106 S50\nG1 X0.50 Y0.00 F100\n"
               "M106 S22\nG1 X1.00 Y0.00 F100\nM106 S62\n; ****** G-code Postfix ******\n"
               "M107\nG28\nM107\nM84\nG1 F2000\n"
        << 0.025;
    QTest::newRow("cnc line")
        << int(CncLine) << pictures::grayRows({{255, 0, 0, 255}, {128, 128, 255, 0}})
        << prefix.arg("; <Tavo CNC Milling>", "; Line CNC") +
               "; CNC Precision (mm): 0.5\n; Sheet Thickness (mm): 100\n; Max Depth (mm): 40\n"
               "; Min Depth (mm): 1\n; Travel Speed (mm/min): 500\n"
               "; ****** Main G-code ******\nM107\nG28\nG4 P2000\nG1 F1000\nG1 Z112\nG1 Z102\n"
               "G4 P10000\nM106 S255\nG4 P3000\nG1 Z102\nG1 F500\nG1 X1.00 Y0.50 Z102\n"
               "G1 X0.50 Y0.50\nG1 Z40\nG1 X-0.50 Y0.50\nG1 Z1\nG1 X-0.50 Y0.00\nG1 Z40\n"
               "G1 X0.00 Y0.00\nG1 Z1\nG1 X0.50 Y0.00\nG1 Z20.4235\n"
               "; ****** G-code Postfix ******\nM107\nG28\nM107\nM84\nG1 F2000\n"
        << 0.28;
}

void TestGcodeFiles::goldenFiles()
{
    QFETCH(int, type);
    QFETCH(QImage, picture);
    QFETCH(QString, expected);
    QFETCH(double, time);

    ScriptedDialogs dialogs;
    const Written w = write(m_dir.filePath("golden.gcode"), type, picture, defaults[type]);
    QCOMPARE(w.lines, expected.split('\n'));
    QCOMPARE(w.time, time);
    QCOMPARE(w.travel, 4);
    QVERIFY(dialogs.prompts().isEmpty());
}

void TestGcodeFiles::fileLines_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QImage>("picture");
    QTest::addColumn<Values>("values");
    QTest::addColumn<QString>("lines"); // "number:text", separated by " | "
    QTest::addColumn<double>("time");

    using pictures::grayRows;
    // Line 19 is the first move of a laser file, line 23 that of a CNC file.
    QTest::newRow("line, black rows closed at their ends")
        << 0 << pictures::filled(3, 2, qRgb(0, 0, 0)) << defaults[0]
        << "19:G1 X0.75 Y0.50 F1000 | 20:G1 X-0.75 Y0.50 F500 | 21:G1 X-0.25 Y0.00 F1000 | "
           "22:G1 X1.25 Y0.00 F500 | 23:; ****** G-code Postfix ******"
        << 3 * 0.5 / 500 + 3 * 0.5 / 500;
    QTest::newRow("line, power 1 and texts as typed")
        << 0 << grayRows({{255, 0}}) << Values{"0.5", "1", "500", "01000", "20.0"}
        << "15:G1 Z20.0 | 16:M106 S2 | 18:M106 S2 | 19:G1 X0.00 Y0.25 F01000"
        << 0.5 / 1000 + 0.5 / 500;
    QTest::newRow("line, power 99")
        << 0 << grayRows({{255}}) << Values{"1", "99", "1", "1", "0"} << "18:M106 S252" << 0.0;
    QTest::newRow("dots, single precision index: 0.7 at 245 gives 6")
        << 1 << grayRows({{245, 0, 255}}) << Values{"0.5", "0", "0.7", "0100", "20.0"}
        << "15:G1 Z20.0 | 19:G1 X0.75 Y0.25 F0100 | 20:M106 S6 | 22:M106 S178 | 24:M106 S0"
        << 0.5 / 100 + 0.5 / 100;
    QTest::newRow("cnc, under 1 mm is free, 2.9 mm costs 2")
        << 2 << grayRows({{100, 101, 120}}) << defaults[2]
        << "24:G1 Z24.7059 | 26:G1 Z24.5529 | 28:G1 Z21.6471" << 15 / 500.0 + 2 / 500.0 + 1 / 500.0;
    QImage sameGray(2, 1, QImage::Format_RGB32); // two colours of gray level 5
    sameGray.setPixel(0, 0, qRgb(0, 10, 0));
    sameGray.setPixel(1, 0, qRgb(17, 0, 0));
    QTest::newRow("cnc, same gray in another colour")
        << 2 << sameGray << Values{"0.5", "100.5", "40", "1", "0500"}
        << "15:G1 Z112.5 | 16:G1 Z102.5 | 21:G1 F0500 | 22:G1 X0.50 Y0.25 Z102.5 | "
           "24:G1 Z39.2353 | 25:; ****** G-code Postfix ******"
        << 1 / 500.0;
}

void TestGcodeFiles::fileLines()
{
    QFETCH(int, type);
    QFETCH(QImage, picture);
    QFETCH(Values, values);
    QFETCH(QString, lines);
    QFETCH(double, time);

    const Written w = write(m_dir.filePath("lines.gcode"), type, picture, values);
    for (const QString& item : lines.split(" | "))
        QCOMPARE(w.lines.value(item.section(':', 0, 0).toInt() - 1), item.section(':', 1));
    QCOMPARE(w.time, time);
}

void TestGcodeFiles::travelLength()
{
    const QImage picture = pictures::filled(280, 100, qRgb(255, 255, 255));
    for (int type = 0; type < 3; ++type)
        QCOMPARE(write(m_dir.filePath("t.gcode"), type, picture, defaults[type]).travel, 14000);
}

void TestGcodeFiles::matchesReference_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("seed");
    for (int type = 0; type < 3; ++type)
        for (int seed = 1; seed <= 72; ++seed)
            QTest::addRow("type %d seed %d", type, seed) << type << seed;
}

// Random pictures (up to 12 pixels a side, and some wide ones whose rows span
// several 64-pixel blocks, some in other pixel formats) with random accepted
// texts: the writers must give the reference's lines and time exactly.
void TestGcodeFiles::matchesReference()
{
    QFETCH(int, type);
    QFETCH(int, seed);

    pictures::Random random(quint64(seed) * 7919 + quint64(type));
    const bool wide = seed > 60;
    QImage picture(wide ? 60 + random.bounded(140) : random.bounded(13),
                   wide ? 1 + random.bounded(4) : random.bounded(13), QImage::Format_RGB32);
    const int grays[] = {0, 126, 127, 128, 255};
    QRgb pixel = qRgb(255, 255, 255);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const int kind = random.bounded(4), g = grays[random.bounded(5)];
            if (kind < 2) // else repeat the last pixel, making runs
                pixel = kind ? qRgb(g, g, g) : QRgb(random.next()) | 0xFF000000u;
            picture.setPixel(x, y, pixel);
        }

    // Accepted texts only; every CNC Line combination keeps its depths in order.
    const QStringList choices[3][4] = {
        {{"1", "37", "99", "100"},
         {"1", "500", "2000"},
         {"1", "01000", "10000"},
         {"20", "20.0", "0", "150"}},
        {{"0", "15", "127", "130"},
         {"0.1", "0.4", "0.7", "1", "0.33"},
         {"1", "0100", "2000"},
         {"20"}},
        {{"100", "100.5", "150", "12"}, {"2", "10.5", "11"}, {"1", "1.5"}, {"1", "77", "500"}}};
    const QStringList pitches{"0.16", "0.5", "0.65", "0.75", "0.02", "1"};
    Values values{pitches[random.bounded(6)]};
    for (int k = 0; k < 4; ++k)
        values[k + 1] = choices[type][k][random.bounded(choices[type][k].size())];
    QImage given = picture;
    if (random.bounded(3) == 0) { // read as 32-bit words whatever the format
        const QList<QImage::Format> formats = pictures::decoderFormats();
        given = picture.convertToFormat(formats[random.bounded(formats.size())]);
        picture = given.convertToFormat(QImage::Format_ARGB32);
    }

    double time = 0;
    const QStringList expected = reference(type, picture, values, time);
    const Written w = write(m_dir.filePath("random.gcode"), type, given, values);
    QCOMPARE(w.lines, expected);
    QCOMPARE(w.time, time);
}

QTEST_GUILESS_MAIN(TestGcodeFiles)
#include "tst_gcodefiles.moc"
