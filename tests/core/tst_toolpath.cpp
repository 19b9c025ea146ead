// The G-code reader and the sheet it draws on, behind tavo preview and the
// window's preview pane; the program itself is run in tst_badinput.
#include "gcode/gcodegenerator.h"
#include "gcode/parameters.h"
#include "pictures.h"
#include "preview/sheet.h"
#include "toolpath/toolpathreader.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

namespace {

// In pieces as a file is read, so a long line is never held whole; pieces of
// 1 to 4096 bytes cut lines and CR LF anywhere, and must not change a thing.
ToolpathReport readText(const QByteArray& text, Sheet* sheet = nullptr)
{
    static pictures::Random random(7);
    ToolpathReader reader(Machine::Unknown, sheet);
    for (int at = 0, size = 0; at < text.size(); at += size) {
        size = 1 + random.bounded(QList<int>{3, 60, 4096}[random.bounded(3)]);
        // A copy of its own, so nothing can be read past the piece.
        const QByteArray piece = text.mid(at, size);
        reader.feed(piece.constData(), piece.size());
    }
    reader.finish();
    return reader.report();
}

// A golden case written by the very writer the window uses.
QByteArray goldenFile(int type)
{
    QImage picture = pictures::goldenPicture(type);
    GcodeGenerator generator(&picture);
    const GcodeParameters panel = gcodeParameters(type);
    generator.paramNames = panel.labels;
    generator.paramValues = {"0.5", panel.defaults[0], panel.defaults[1], panel.defaults[2],
                             panel.defaults[3]};
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("golden.gcode"));
    if (!generator.generate(type, path))
        qFatal("the golden case was not written");
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

// Laser power as darkness.
const auto nearest = [](float value) { return int(std::floor(value + 0.5f)); };

// What a report says, in one line, so a whole report compares at once.
QString summary(const ToolpathReport& r)
{
    QString text =
        QStringLiteral("%1 lines, %2 moves, on %3, off %4, %5 min")
            .arg(QString::number(r.lines), QString::number(r.moves), QString::number(r.workLength),
                 QString::number(r.idleLength), QString::number(r.moveMinutes + r.dwellMinutes));
    for (const auto& command : r.unknownCommands)
        text += QStringLiteral(", %1x%2").arg(command.first).arg(command.second);
    for (const ToolpathReport::Problem& problem : r.problems)
        text += QStringLiteral(", line %1").arg(problem.line);
    if (r.problemCount != r.problems.size())
        text += QStringLiteral(" of %1").arg(r.problemCount);
    return text;
}

} // namespace

class TestToolpath : public QObject
{
    Q_OBJECT

private slots:
    void report_data();
    void report();
    void goldenCases();
};

void TestToolpath::report_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("summary");
    const auto row = [](const char* name, const QByteArray& text, const char* summary) {
        QTest::newRow(name) << text << QString(summary);
    };
    row("laser on and off, a diagonal", "G1 F60\nM106 S100\nG1 X3 Y4\nM107\nG1 X0 Y0\n",
        "5 lines, 2 moves, on 5, off 5, 0.166667 min");
    row("power 0 is off, M106 alone is full", "G1 F60\nM106 S0\nG1 X1\nM106\nG1 X3\n",
        "5 lines, 2 moves, on 2, off 1, 0.05 min");
    row("no feed yet: untimed; feed on the move's own line",
        "G1 X1\nM106 S9\nG1 X11 F600\nG1 X1 F60\n", "4 lines, 3 moves, on 20, off 1, 0.183333 min");
    row("dwells in ms and s; homing neither timed nor drawn",
        "G4 P1500\nG4 S30\nG1 X5 F60\nG28\nG1 X5\nG28 Y\n",
        "6 lines, 2 moves, on 0, off 10, 0.691667 min");
    row("CR LF, blanks, comments, G0, compact, lower case, signs, no last end",
        "  G1 X1 F60 ; go\r\n\r\n; note\r\ng0x2Y0\r\nG1X2Y2\r\nG1 X+1\nG1 X.5\nG1 X-0.5\nG1 X2.",
        "9 lines, 7 moves, on 0, off 9, 0.15 min");
    row("unknown commands counted, garbage lines reported, neither fatal",
        "G90\nM3 S100\nM3\nG1 X1 F60\nT1\nhello world\nG1 X1.2.3\nG1 Xabc Y1\n%\nG1 X2\n1234\n",
        "11 lines, 2 moves, on 0, off 2, 0.0333333 min, G90x1, M3x2, T1x1, "
        "line 6, line 7, line 8, line 9, line 11");
    row("a line without an end in sight: reported once, skipped",
        "G1 X1 F60\n" + QByteArray(300000, 'x') + "\nG1 X2\nbad\n",
        "4 lines, 2 moves, on 0, off 2, 0.0333333 min, line 2, line 4");
}

void TestToolpath::report()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, summary);
    QCOMPARE(::summary(readText(text)), summary);
    QCOMPARE(::summary(readText(text)), summary);
}

// The golden cases at 10 px/mm: the mean drawn at points in mm (NaN:
// nothing). Laser Line keeps its power while it jumps, so the jumps are black
// too; a dot's move runs at the power of the dot before it, the first at 2;
// 0.5 mm strokes lie right of a steep stroke, below a flat one. CNC depths
// shade from Min Depth to Max Depth; travel at the safe height is not drawn.
void TestToolpath::goldenCases()
{
    struct Point
    {
        int type;
        double x, y;
        float mean;
    };
    const float none = std::nanf("");
    const Point points[] = {
        {LaserLine, 0, 0.5, 255},    {LaserLine, 0.75, 0, 255},  {LaserLine, 0.3, 0.3, 255},
        {LaserLine, 0.1, 0.2, 255},  {LaserLine, -0.5, 0, none}, {LaserLine, 1.5, 0, none},
        {LaserDots, -0.2, 0.3, 2},   {LaserDots, 0.2, 0.2, 50},  {LaserDots, 0.8, -0.2, 22},
        {LaserDots, 0.8, 0.1, none}, {CncLine, 0, 0.3, 40},      {CncLine, -0.7, 0.3, 1},
        {CncLine, -0.3, -0.2, 40},   {CncLine, 0.3, -0.2, 1},    {CncLine, 0.8, 0.5, none},
    };
    Sheet sheets[3] = {Sheet(10, 1 << 24), Sheet(10, 1 << 24), Sheet(10, 1 << 24)};
    QStringList reports;
    for (int type : {LaserLine, LaserDots, CncLine})
        reports << summary(readText(goldenFile(type), &sheets[type]));
    for (const Point& point : points) {
        const float drawn = sheets[point.type].meanAt(point.x, point.y);
        QVERIFY2(std::isnan(point.mean) ? std::isnan(drawn) : qFuzzyCompare(drawn, point.mean),
                 qPrintable(QStringLiteral("point %1: %2").arg(&point - points).arg(drawn)));
    }
    // Laser Line: Z, then two runs and the jumps to them, 2 s and 9 s dwells.
    // Dots: up to the start height with the laser off. CNC: up to 112, down
    // to 102 and across to the first change; the rest cuts, plunges included.
    QCOMPARE(reports, (QStringList{"29 lines, 5 moves, on 3.32514, off 20, 0.198158 min",
                                   "30 lines, 4 moves, on 1.70711, off 20, 0.237071 min",
                                   "38 lines, 13 moves, on 200.923, off 123.618, 0.777083 min"}));
    QCOMPARE(sheets[LaserDots].thickness(), 5);

    // In the picture X runs to the left, Y up, and the range is dashed in blue.
    const Sheet& line = sheets[LaserLine];
    const QImage image = line.render(nearest);
    QCOMPARE(image.pixel(line.imagePixel(0.0, 0.5)), qRgb(0, 0, 0));
    QCOMPARE(line.imagePixel(1.0, 0.5) - line.imagePixel(0.0, 0.0), QPoint(-10, -5));
    QCOMPARE(image.pixel(line.imagePixel(-1.0, 1.0)), qRgb(255, 255, 255));
    QCOMPARE(image.pixel(line.imagePixel(70.0, -70.0)), qRgb(0, 0, 255));

    // Strokes far outside the range grow the sheet both ways; what was drawn stays.
    sheets[CncLine].stroke(150, -90, 160, -90, 50.0f);
    sheets[CncLine].stroke(-200, 120, -190, 130, 10.0f);
    QVERIFY(sheets[CncLine].meanAt(0, 0.3) == 40.0f && sheets[CncLine].meanAt(-195, 125) == 10.0f);
    QCOMPARE(sheets[CncLine].render(nearest).pixel(sheets[CncLine].imagePixel(155, -90)),
             qRgb(205, 205, 205));
}

QTEST_GUILESS_MAIN(TestToolpath)
#include "tst_toolpath.moc"
