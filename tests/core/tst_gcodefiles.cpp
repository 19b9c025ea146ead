#include "gcode/gcodegenerator.h"
#include "gcode/gcodereport.h"
#include "gcode/parameters.h"
#include "pictures.h"
#include "scripteddialogs.h"

#include <QtTest>

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
    void wideRows();
    // The report's texts and range warning are checked through the window
    // and the command-line tool; its minutes can be larger than they reach.
    void reportMinutesBeyondTheIntRange()
    {
        QVERIFY(gcodeReport("x", 0, 5e9 + 0.7, 1, 1, "0.5").contains("(min): 5000000000\n"));
    }

private:
    QTemporaryDir m_dir;
};

namespace {

// The panel's labels and defaults at a 0.5 mm pitch; the golden files pin their texts.
Values defaults(int type)
{
    const GcodeParameters panel = gcodeParameters(type);
    return {"0.5", panel.defaults[0], panel.defaults[1], panel.defaults[2], panel.defaults[3]};
}
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
    generator.paramNames = gcodeParameters(type).labels;
    generator.paramValues = values;
    if (!generator.generate(type, path))
        return {};
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return {QString::fromUtf8(file.readAll()).split("\r\n"), generator.processingTime(),
            generator.travelLength()};
}

} // namespace

// The golden cases, byte for byte.
void TestGcodeFiles::goldenFiles_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QImage>("picture");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<double>("time");

    const QString prefix = QString("; ****** G-code Prefix ******\n%1\n%2\n") + notice + "\n";
    QTest::newRow("laser line")
        << int(LaserLine) << pictures::goldenPicture(LaserLine)
        << prefix.arg("; <Tavo Laser Engraving>", "; Line Laser") +
               "; Laser Beam (mm): 0.5\n; Laser Power (%): 100\n; Travel Speed (mm/min): 500\n"
               "; Jump Speed (mm/min): 1000\n; Start Height (mm): 20\n"
               "; ****** Main G-code ******\nM107\nG28\nG1 F2000\nG4 P2000\nG1 Z20\nM106 S2\n"
               "G4 P9000\nM106 S255\nG1 X0.50 Y0.50 F1000\nG1 X-0.50 Y0.50 F500\n"
               "G1 X0.50 Y0.00 F1000\nG1 X1.00 Y0.00 F500\n; ****** G-code Postfix ******\n"
               "M107\nG1 F2000\nG28\nM107\nM84\nG1 F2000\n"
        << 0.0045;
    QTest::newRow("laser dots")
        << int(LaserDots) << pictures::goldenPicture(LaserDots)
        << prefix.arg("; <Tavo Laser Engraving>", "; Dots Laser") +
               "; Laser Beam (mm): 0.5\n; Ignored Threshold: 15\n; Power Index: 0.4\n"
               "; Travel Speed (mm/min): 100\n; Start Height (mm): 20\n"
               "; ****** Main G-code ******\nM107\nG28\nG1 F1000\nG4 P2000\nG1 Z20\nM106 S2\n"
               "G4 P10000\nM106 S2\nG1 X0.00 Y0.50 F100\nM106 S50\nG1 X0.50 Y0.00 F100\n"
               "M106 S22\nG1 X1.00 Y0.00 F100\nM106 S62\n; ****** G-code Postfix ******\n"
               "M107\nG28\nM107\nM84\nG1 F2000\n"
        << 0.025;
    QTest::newRow("cnc line")
        << int(CncLine) << pictures::goldenPicture(CncLine)
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
    const Written w = write(m_dir.filePath("golden.gcode"), type, picture, defaults(type));
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
        << 0 << pictures::filled(3, 2, qRgb(0, 0, 0)) << defaults(0)
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
        << 2 << grayRows({{100, 101, 120}}) << defaults(2)
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

// Rows across several of the writers' 64-pixel blocks, gray 100 and white in
// turn: the first row moves at every column (CNC), at every run's start and
// end (Laser Line, the last run closed at the row's end) or to every gray
// dot (Laser Dots), block edges included.
void TestGcodeFiles::wideRows()
{
    QImage picture(203, 3, QImage::Format_RGB32);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 203; ++x)
            picture.setPixel(x, y, (x + y) % 2 ? qRgb(255, 255, 255) : qRgb(100, 100, 100));
    for (int type = 0; type < 3; ++type) {
        const QStringList lines =
            write(m_dir.filePath("w.gcode"), type, picture, defaults(type)).lines;
        QStringList xs, wanted;
        for (const QString& line : lines)
            if (line.startsWith("G1 X") && line.contains(" Y0.75") && !line.contains('Z'))
                xs << line.section(' ', 1, 1);
        for (int c = 0; c <= (type == LaserLine ? 203 : 202); c += type == LaserDots ? 2 : 1)
            wanted << QString("X%1").arg((203 * 0.5 - c) * 0.5, 0, 'f', 2);
        QCOMPARE(xs, wanted);
    }
}

QTEST_GUILESS_MAIN(TestGcodeFiles)
#include "tst_gcodefiles.moc"
