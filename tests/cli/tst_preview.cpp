// The G-code reader and the sheet behind `tavo preview`, and the program
// itself on good and bad files.
#include "cli/sheet.h"
#include "cli/toolpath.h"
#include "gcode/gcodegenerator.h"
#include "gcode/parameters.h"
#include "pictures.h"
#include "scripteddialogs.h"

#include <QBuffer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

using namespace cli;

namespace {

ToolpathReport readText(const QByteArray& text, Sheet* sheet = nullptr,
                        Machine machine = Machine::Unknown)
{
    ToolpathReader reader(machine, sheet);
    reader.feed(text.constData(), text.size());
    reader.finish();
    return reader.report();
}

// A worked example written by the very writer the window uses.
QByteArray workedFile(int type)
{
    const QImage pictures[3] = {
        pictures::grayRows({{255, 0, 0, 255}, {255, 0, 255, 255}}),
        pictures::grayRows({{255, 0, 128, 255}, {100, 200, 255, 0}}),
        pictures::grayRows({{255, 0, 0, 255}, {128, 128, 255, 0}}),
    };
    QImage picture = pictures[type];
    GcodeGenerator generator(&picture);
    const GcodeParameters panel = gcodeParameters(type);
    for (int i = 0; i < 5; ++i)
        generator.paramNames[std::size_t(i)] = panel.labels[std::size_t(i)];
    generator.paramValues[0] = QStringLiteral("0.5");
    for (int i = 0; i < 4; ++i)
        generator.paramValues[std::size_t(i + 1)] = panel.defaults[std::size_t(i)];
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("worked.gcode"));
    if (!generator.generate(type, path))
        qFatal("the worked example was not written");
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

// Laser power as darkness.
int nearest(float value)
{
    return int(std::floor(value + 0.5f));
}

QString problemLines(const ToolpathReport& report)
{
    QStringList lines;
    for (const ToolpathReport::Problem& problem : report.problems)
        lines << QString::number(problem.line);
    return lines.join(QLatin1Char(','));
}

QString unknownCommands(const ToolpathReport& report)
{
    QStringList names;
    for (const auto& command : report.unknownCommands)
        names << QStringLiteral("%1x%2").arg(command.first).arg(command.second);
    return names.join(QLatin1Char(','));
}

QByteArray runTavo(const QStringList& arguments, int* status, QByteArray* errors = nullptr)
{
    QProcess process;
    process.start(QStringLiteral(TAVO_EXECUTABLE), arguments);
    process.waitForFinished(120000);
    *status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    if (errors)
        *errors = process.readAllStandardError();
    return process.readAllStandardOutput();
}

} // namespace

class TestPreview : public QObject
{
    Q_OBJECT

private slots:
    void report_data();
    void report();
    void chunksDoNotMatter();
    void longLineIsSkipped();
    void workedLaserLine();
    void workedLaserDots();
    void workedCncLine();
    void strokeEnds_data();
    void strokeEnds();
    void sheetGrowsAndKeepsDrawing();
    void sheetBudget();
    void program_data();
    void program();
};

void TestPreview::report_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<qint64>("lines");
    QTest::addColumn<qint64>("moves");
    QTest::addColumn<double>("work");
    QTest::addColumn<double>("idle");
    QTest::addColumn<double>("minutes"); // moves and dwells
    QTest::addColumn<QString>("unknown");
    QTest::addColumn<QString>("problems");

    QTest::newRow("laser on and off, a diagonal")
        << QByteArray("G1 F60\nM106 S100\nG1 X3 Y4\nM107\nG1 X0 Y0\n") << 5LL << 2LL << 5.0 << 5.0
        << 10.0 / 60 << ""
        << "";
    QTest::newRow("power 0 is off, M106 alone is full")
        << QByteArray("G1 F60\nM106 S0\nG1 X1\nM106\nG1 X3\n") << 5LL << 2LL << 2.0 << 1.0
        << 3.0 / 60 << ""
        << "";
    QTest::newRow("feed on the move's own line")
        << QByteArray("M106 S9\nG1 X10 F600\nG1 X0 F60\n") << 3LL << 2LL << 20.0 << 0.0
        << 10.0 / 600 + 10.0 / 60 << ""
        << "";
    QTest::newRow("dwells in milliseconds and seconds")
        << QByteArray("G4 P1500\nG4 S30\n") << 2LL << 0LL << 0.0 << 0.0 << 0.025 + 0.5 << ""
        << "";
    QTest::newRow("homing is neither timed nor drawn")
        << QByteArray("G1 X5 F60\nG28\nG1 X5\nG28 Y\n") << 4LL << 2LL << 0.0 << 10.0 << 10.0 / 60
        << ""
        << "";
    QTest::newRow("CR LF, blanks, comments, G0, compact and lower case")
        << QByteArray("  G1 X1 F60 ; go\r\n\r\n; note\r\ng0x2Y0\r\nG1X2Y2\r\n") << 5LL << 3LL << 0.0
        << 4.0 << 4.0 / 60 << ""
        << "";
    QTest::newRow("signs and points") << QByteArray("G1 F60 X+1\nG1 X.5\nG1 X-0.5\nG1 X2.\n") << 4LL
                                      << 4LL << 0.0 << 5.0 << 5.0 / 60 << ""
                                      << "";
    QTest::newRow("unknown commands counted, never fatal")
        << QByteArray("G90\nM3 S100\nM3\nG1 X1 F60\nT1\n") << 5LL << 1LL << 0.0 << 1.0 << 1.0 / 60
        << "G90x1,M3x2,T1x1"
        << "";
    QTest::newRow("garbage lines reported and skipped")
        << QByteArray("G1 X1 F60\nhello world\nG1 X1.2.3\nG1 Xabc Y1\n%\nG1 X2\n1234\n") << 7LL
        << 2LL << 0.0 << 2.0 << 2.0 / 60 << ""
        << "2,3,4,5,7";
    QTest::newRow("moves before any feed rate are not timed")
        << QByteArray("G1 X1\nG1 X2 F60\n") << 2LL << 2LL << 0.0 << 2.0 << 1.0 / 60 << ""
        << "";
    QTest::newRow("last line without its end")
        << QByteArray("G1 X1 F60\nG1 X4") << 2LL << 2LL << 0.0 << 4.0 << 4.0 / 60 << ""
        << "";
}

void TestPreview::report()
{
    QFETCH(QByteArray, text);
    QFETCH(qint64, lines);
    QFETCH(qint64, moves);
    QFETCH(double, work);
    QFETCH(double, idle);
    QFETCH(double, minutes);
    QFETCH(QString, unknown);
    QFETCH(QString, problems);

    const ToolpathReport report = readText(text);
    QCOMPARE(report.lines, lines);
    QCOMPARE(report.moves, moves);
    QVERIFY(qAbs(report.workLength - work) < 1e-9);
    QVERIFY(qAbs(report.idleLength - idle) < 1e-9);
    QVERIFY2(qAbs(report.moveMinutes + report.dwellMinutes - minutes) < 1e-9,
             qPrintable(QString::number(report.moveMinutes + report.dwellMinutes)));
    QCOMPARE(unknownCommands(report), unknown);
    QCOMPARE(problemLines(report), problems);
    QCOMPARE(report.problemCount, qint64(report.problems.size()));
}

// A file read in pieces of any size, lines cut anywhere, CR LF split from
// its LF, gives the very report and drawing of the file read at once.
void TestPreview::chunksDoNotMatter()
{
    const QByteArray text = workedFile(LaserLine) + workedFile(LaserDots) +
                            "G1 X1.5 Y-2 F300\nfoo\nM106 S77\nG1 X-3 Y1.25\nG4 P20\nG1 X0";
    Sheet whole(20, 1 << 24);
    const ToolpathReport expected = readText(text, &whole);
    const QImage expectedImage = whole.render(nearest);

    pictures::Random random(7);
    for (int round = 0; round < 20; ++round) {
        Sheet sheet(20, 1 << 24);
        ToolpathReader reader(Machine::Unknown, &sheet);
        for (int at = 0; at < text.size();) {
            const int size = qMin(text.size() - at, 1 + random.bounded(round < 10 ? 3 : 60));
            // A copy of its own, so nothing can be read past the piece.
            const QByteArray piece = text.mid(at, size);
            reader.feed(piece.constData(), piece.size());
            at += size;
        }
        reader.finish();
        const ToolpathReport& report = reader.report();
        QCOMPARE(report.lines, expected.lines);
        QCOMPARE(report.moves, expected.moves);
        QCOMPARE(report.workLength, expected.workLength);
        QCOMPARE(report.moveMinutes, expected.moveMinutes);
        QCOMPARE(report.dwellMinutes, expected.dwellMinutes);
        QCOMPARE(report.maxX, expected.maxX);
        QCOMPARE(problemLines(report), problemLines(expected));
        QCOMPARE(sheet.render(nearest), expectedImage);
    }

    // The same through a device, read on a thread of its own in chunks.
    for (qint64 chunk : {1, 5, 64, 1 << 20}) {
        QBuffer device;
        device.setData(text);
        QVERIFY(device.open(QIODevice::ReadOnly));
        Sheet sheet(20, 1 << 24);
        ToolpathReader reader(Machine::Unknown, &sheet);
        QString error;
        QVERIFY(reader.read(device, &error, chunk));
        reader.finish();
        QCOMPARE(reader.report().lines, expected.lines);
        QCOMPARE(reader.report().moveMinutes, expected.moveMinutes);
        QCOMPARE(problemLines(reader.report()), problemLines(expected));
        QCOMPARE(sheet.render(nearest), expectedImage);
    }
}

// A line without an end in sight is not buffered whole: it is reported once
// and skipped, and the lines after it keep their numbers.
void TestPreview::longLineIsSkipped()
{
    ToolpathReader reader(Machine::Laser, nullptr);
    const QByteArray first("G1 X1 F60\n");
    const QByteArray junk(300000, 'x');
    const QByteArray rest("\nG1 X2\nbad\n");
    reader.feed(first.constData(), first.size());
    for (int at = 0; at < junk.size(); at += 4096)
        reader.feed(junk.constData() + at, qMin(4096, junk.size() - at));
    reader.feed(rest.constData(), rest.size());
    reader.finish();
    QCOMPARE(reader.report().lines, 4LL);
    QCOMPARE(reader.report().moves, 2LL);
    QCOMPARE(problemLines(reader.report()), QStringLiteral("2,4"));
}

// The worked examples at 10 pixels per millimetre. The laser stays on at the
// engraving power while it jumps: the jumps are drawn black like the runs.
void TestPreview::workedLaserLine()
{
    Sheet sheet(10, 1 << 24);
    const ToolpathReport report = readText(workedFile(LaserLine), &sheet);
    QCOMPARE(report.machine, Machine::Laser);
    QCOMPARE(report.moves, 5LL);               // Z, then two runs and the jumps to them
    QCOMPARE(sheet.meanAt(0.0, 0.5), 255.0f);  // the run of row 0
    QCOMPARE(sheet.meanAt(0.75, 0.0), 255.0f); // the run of row 1
    QCOMPARE(sheet.meanAt(0.3, 0.3), 255.0f);  // the first jump, from home
    QCOMPARE(sheet.meanAt(0.1, 0.2), 255.0f);  // the jump between the rows
    QVERIFY(std::isnan(sheet.meanAt(-0.5, 0.0)));
    QVERIFY(std::isnan(sheet.meanAt(1.5, 0.0)));
    QCOMPARE(report.minX, -0.5);
    QCOMPARE(report.maxX, 1.0);
    QCOMPARE(report.minY, 0.0);
    QCOMPARE(report.maxY, 0.5);
    QCOMPARE(report.dwellMinutes, (2000 + 9000) / 60000.0);

    // In the picture: X to the left, Y up, the range dashed in blue.
    const QImage image = sheet.render(nearest);
    QCOMPARE(image.pixel(sheet.imagePixel(0.0, 0.5)), qRgb(0, 0, 0));
    QCOMPARE(sheet.imagePixel(1.0, 0.0).x(), sheet.imagePixel(0.0, 0.0).x() - 10);
    QCOMPARE(sheet.imagePixel(0.0, 0.5).y(), sheet.imagePixel(0.0, 0.0).y() - 5);
    QCOMPARE(image.pixel(sheet.imagePixel(-1.0, 1.0)), qRgb(255, 255, 255));
    QCOMPARE(image.pixel(sheet.imagePixel(70.0, 70.0)), qRgb(0, 0, 255));
    QCOMPARE(image.pixel(sheet.imagePixel(-70.0, -70.0)), qRgb(0, 0, 255));
    QCOMPARE(image.width(), 1400 + 1 + 2 * 50);
}

// Each move runs at the power of the dot before it; the first at power 2.
// Strokes are as wide as the beam, 0.5 mm: 5 pixels across, to the right of
// a steep stroke and below a flat one, where the picture's pixel lies.
void TestPreview::workedLaserDots()
{
    Sheet sheet(10, 1 << 24);
    const ToolpathReport report = readText(workedFile(LaserDots), &sheet);
    QCOMPARE(sheet.thickness(), 5);
    QCOMPARE(sheet.meanAt(-0.2, 0.3), 2.0f);  // home to the first dot
    QCOMPARE(sheet.meanAt(0.2, 0.2), 50.0f);  // on to the second dot, row 1
    QCOMPARE(sheet.meanAt(0.8, -0.2), 22.0f); // and the third
    QVERIFY(std::isnan(sheet.meanAt(0.8, 0.1)));
    QCOMPARE(report.workLength, 0.5 + std::sqrt(0.5) + 0.5);
    QCOMPARE(report.idleLength, 20.0); // up to the start height, laser off
    QCOMPARE(report.moveMinutes, 20.0 / 1000 + (0.5 + std::sqrt(0.5) + 0.5) / 100);
}

// Depths shade from the file's Min Depth (white) to its Max Depth (black);
// moves between the set-up heights are travel and stay undrawn.
void TestPreview::workedCncLine()
{
    Sheet sheet(10, 1 << 24);
    const ToolpathReport report = readText(workedFile(CncLine), &sheet);
    QCOMPARE(report.machine, Machine::Cnc);
    QCOMPARE(report.whiteDepth, 1.0);
    QCOMPARE(report.blackDepth, 40.0);
    QCOMPARE(sheet.meanAt(0.0, 0.3), 40.0f);     // row 0, black
    QCOMPARE(sheet.meanAt(-0.7, 0.3), 1.0f);     // down to row 1 at white's depth
    QCOMPARE(sheet.meanAt(-0.3, -0.2), 40.0f);   // row 1, black
    QCOMPARE(sheet.meanAt(0.3, -0.2), 1.0f);     // row 1, white
    QVERIFY(std::isnan(sheet.meanAt(0.8, 0.5))); // travel at the safe height
    QCOMPARE(report.maxZ, 112.0);
    QCOMPARE(report.minZ, 1.0);
    // Travel: up to 112, down to 102 and across to the first change; the
    // rest cuts, plunges included.
    QCOMPARE(report.idleLength, 112.0 + 10.0 + std::sqrt(1.0 + 0.25) + 0.5);
    QCOMPARE(report.workLength,
             62.0 + 1.0 + 39.0 + 0.5 + 39.0 + 0.5 + 39.0 + 0.5 + (20.4235 - 1.0));

    const QImage image = sheet.render([&report](float v) {
        return int(std::floor(
            (v - report.whiteDepth) / (report.blackDepth - report.whiteDepth) * 255.0 + 0.5));
    });
    QCOMPARE(image.pixel(sheet.imagePixel(0.0, 0.3)), qRgb(0, 0, 0));
    QCOMPARE(image.pixel(sheet.imagePixel(0.3, -0.2)), qRgb(255, 255, 255));
}

void TestPreview::strokeEnds_data()
{
    QTest::addColumn<QPointF>("from");
    QTest::addColumn<QPointF>("to");
    for (const QPointF& to : {QPointF(3, 0.4), QPointF(0.4, 3), QPointF(-3, 1), QPointF(-1, -3),
                              QPointF(2, -2), QPointF(0, 0.05), QPointF(-2.5, 0)})
        QTest::newRow(qPrintable(QStringLiteral("to %1,%2").arg(to.x()).arg(to.y())))
            << QPointF(0.2, 0.1) << to;
}

// Whatever the direction, a stroke covers both its ends, one pixel per step
// along its longer axis, and nothing else.
void TestPreview::strokeEnds()
{
    QFETCH(QPointF, from);
    QFETCH(QPointF, to);
    Sheet sheet(10, 1 << 22);
    sheet.stroke(from.x(), from.y(), to.x(), to.y(), 200.0f);
    QCOMPARE(sheet.meanAt(from.x(), from.y()), 200.0f);
    QCOMPARE(sheet.meanAt(to.x(), to.y()), 200.0f);
    const QImage image = sheet.render(nearest);
    int drawn = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            drawn += image.pixel(x, y) == qRgb(55, 55, 55) ? 1 : 0;
    const QPoint a(sheet.column(from.x()), sheet.row(from.y()));
    const QPoint b(sheet.column(to.x()), sheet.row(to.y()));
    QCOMPARE(drawn, qMax(qAbs(b.x() - a.x()), qAbs(b.y() - a.y())) + 1);
}

// Strokes far outside the range grow the sheet; what was drawn stays where
// it was, and the mean of crossing strokes is weighted by their lengths.
void TestPreview::sheetGrowsAndKeepsDrawing()
{
    Sheet sheet(4, 1 << 24);
    sheet.stroke(-10, 5, 10, 5, 100.0f);
    sheet.stroke(150, -90, 160, -90, 50.0f);
    sheet.stroke(-200, 120, -190, 130, 10.0f);
    QCOMPARE(sheet.meanAt(0, 5), 100.0f);
    QCOMPARE(sheet.meanAt(155, -90), 50.0f);
    QCOMPARE(sheet.meanAt(-195, 125), 10.0f);
    QVERIFY(std::isnan(sheet.meanAt(0, 6)));
    const QImage image = sheet.render(nearest);
    QCOMPARE(image.pixel(sheet.imagePixel(155, -90)), qRgb(205, 205, 205));
    QCOMPARE(image.pixel(sheet.imagePixel(0, 5)), qRgb(155, 155, 155));

    // A beam three pixels wide: a flat stroke covers its row and the two
    // below, a steep one its column and the two to the right.
    Sheet wide(10, 1 << 22);
    wide.setBeam(0.3);
    wide.stroke(0, 0, -1, 0, 80.0f);
    wide.stroke(2, 0, 2, 1, 60.0f);
    QCOMPARE(wide.meanAt(-0.5, -0.2), 80.0f);
    QVERIFY(std::isnan(wide.meanAt(-0.5, -0.3)));
    QVERIFY(std::isnan(wide.meanAt(-0.5, 0.1)));
    QCOMPARE(wide.meanAt(1.8, 0.5), 60.0f);
    QVERIFY(std::isnan(wide.meanAt(1.7, 0.5)));
    QVERIFY(std::isnan(wide.meanAt(2.1, 0.5)));

    // One pixel crossed by a long and a short stroke.
    Sheet mixed(1, 1 << 22);
    mixed.stroke(0, 0, 0.4, 0, 200.0f);
    mixed.stroke(0, 0.1, 0, 0.2, 100.0f);
    QCOMPARE(mixed.meanAt(0, 0), float((200 * 0.4 + 100 * 0.1) / 0.5));
}

// A drawing that would need more pixels than allowed is refused, not cut.
void TestPreview::sheetBudget()
{
    Sheet sheet(10, 2000 * 2000);
    QVERIFY(sheet.complete());
    sheet.stroke(0, 0, 1, 1, 9.0f);
    sheet.stroke(0, 0, 500, 0, 9.0f);
    QVERIFY(!sheet.complete());
    QVERIFY(sheet.render(nearest).isNull());
}

void TestPreview::program_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");  // expected in standard output
    QTest::addColumn<QString>("err");  // expected in standard error
    QTest::addColumn<bool>("picture"); // the preview is written

    QTest::newRow("worked example") << workedFile(LaserLine) << QStringList() << 0
                                    << "Bounds: X -0.50 to 1.00 mm, Y 0.00 to 0.50 mm"
                                    << "" << true;
    QTest::newRow("report only") << workedFile(CncLine) << QStringList{"--no-picture"} << 0
                                 << "Cutting: "
                                 << "" << false;
    QTest::newRow("unknown commands are named")
        << QByteArray("G90\nG1 X1 F60\nM3\n") << QStringList() << 0
        << "Unknown commands, skipped: G90 (1), M3 (1)"
        << "" << true;
    QTest::newRow("garbage lines: their numbers, status 1, still drawn")
        << QByteArray("G1 X1 F60\nG1 X1..2\nrubbish\n") << QStringList() << 1 << "Laser off: 1.00"
        << "line 2: malformed number \"X1..2\"" << true;
    QTest::newRow("too many pixels: nothing written")
        << QByteArray("M106\nG1 X5000 F60\n") << QStringList{"--px-per-mm", "50"} << 1
        << "Laser on: 5000.00"
        << "more than" << false;
    QTest::newRow("a missing file") << QByteArray() << QStringList{"--missing"} << 1 << ""
                                    << "cannot read" << false;
    QTest::newRow("unknown option") << QByteArray() << QStringList{"--colour"} << 2 << ""
                                    << "unknown option --colour" << false;
    QTest::newRow("no sensible scale") << QByteArray() << QStringList{"--px-per-mm", "0"} << 2 << ""
                                       << "--px-per-mm" << false;
    QTest::newRow("not a picture name")
        << QByteArray() << QStringList{"--to", "preview.txt"} << 2 << ""
        << "-o needs" << false;
}

void TestPreview::program()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, options);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QFETCH(bool, picture);

    QTemporaryDir dir;
    const QString input = dir.filePath(QStringLiteral("file.gcode"));
    QString output = dir.filePath(QStringLiteral("preview.png"));
    if (!options.contains(QStringLiteral("--missing"))) {
        QFile gcode(input);
        QVERIFY(gcode.open(QIODevice::WriteOnly));
        gcode.write(file);
    }
    QStringList arguments{QStringLiteral("preview"), input};
    for (int i = 0; i < options.size(); ++i) {
        if (options[i] == QLatin1String("--to"))
            output = dir.filePath(options[++i]);
        else if (options[i] != QLatin1String("--missing") &&
                 options[i] != QLatin1String("--no-picture"))
            arguments << options[i];
    }
    if (!options.contains(QStringLiteral("--no-picture")))
        arguments << QStringLiteral("-o") << output;

    int exitStatus = -1;
    QByteArray errors;
    const QString printed = QString::fromLocal8Bit(runTavo(arguments, &exitStatus, &errors));
    QVERIFY2(printed.contains(out), qPrintable(printed));
    QVERIFY2(QString::fromLocal8Bit(errors).contains(err), errors.constData());
    QCOMPARE(exitStatus, status);
    QCOMPARE(QFileInfo::exists(output), picture);
    if (picture)
        QVERIFY(!QImage(output).isNull());
    // No temporary file is left behind either.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(),
             (options.contains(QStringLiteral("--missing")) ? 0 : 1) + (picture ? 1 : 0));
}

QTEST_GUILESS_MAIN(TestPreview)
#include "tst_preview.moc"
