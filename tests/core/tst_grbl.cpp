// The GRBL files, run through a small machine model: what each pixel gets
// (burned interval and power, or depth) against a plain walk of the pixels.
#include "gcode/gcodegenerator.h"
#include "gcode/parameters.h"
#include "imaging/graylevel.h"
#include "pictures.h"
#include "scripteddialogs.h"

#include <QtTest>

#include <cmath>

using Values = std::array<QString, 5>;
Q_DECLARE_METATYPE(Values)
Q_DECLARE_METATYPE(FirmwareSettings)

class TestGrbl : public QObject
{
    Q_OBJECT

private slots:
    void pixels_data();
    void pixels();
    void goldenFiles_data();
    void goldenFiles();
    void grblAccepts();

private:
    QTemporaryDir m_dir;
    QStringList m_written;
};

namespace {

const Values values[3] = {{"0.5", "60", "500", "1000", "20"},
                          {"0.65", "15", "0.4", "100", "20"},
                          {"0.5", "100", "40", "1", "500"}};

QString write(const QString& path, int type, QImage picture, const FirmwareSettings& settings,
              double* minutes)
{
    GcodeGenerator generator(&picture);
    generator.paramNames = gcodeParameters(type).labels;
    generator.paramValues = values[type];
    generator.firmware = settings;
    if (!generator.generate(type, path))
        return QString();
    *minutes = generator.processingTime();
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return QString::fromUtf8(file.readAll());
}

// Runs a file the way GRBL would move, recording per pixel the power (or
// depth) it was worked at; NaN where it was not, and a fault text for
// anything a GRBL file must not do.
struct Machine
{
    int w, h;
    double p, feedG0;
    QVector<double> work;
    QVector<double> reachLeft, reachRight; // per row, laser off at engraving feed
    double x = 0, y = 0, z = NAN, f = 0, s = 0, minutes = 0;
    int spindle = 5;
    QString fault;

    Machine(int width, int height, double pitch, double rapid)
        : w(width), h(height), p(pitch), feedG0(rapid), work(w * h, NAN), reachLeft(h, INFINITY),
          reachRight(h, -INFINITY)
    {
    }
    int column(double at) const { return int(std::lround(at / p + w * 0.5)); }
    int row(double at) const { return int(std::lround(h * 0.5 - at / p)); }
    bool onEdge(double at) const { return std::abs(at / p + w * 0.5 - column(at)) < 1e-3 / p; }

    void run(const QString& text, bool laser, double engraveFeed, double safe)
    {
        bool units = false;
        for (QString line : text.split('\n')) {
            line = line.section(';', 0, 0).trimmed();
            if (line.isEmpty())
                continue;
            QMap<QChar, double> word;
            for (const QString& token : line.split(' '))
                word[token[0]] = token.mid(1).toDouble();
            const int code = int(word.value(line[0]));
            if (line.startsWith("G21") || line.startsWith("G90"))
                units = true;
            else if (line[0] == 'M')
                spindle = code == 5 ? 5 : code;
            else if (code == 4)
                minutes += word['P'] <= 10 ? word['P'] / 60 : (fault = "long dwell", 0);
            if (line[0] == 'M' && code != 3 && code != 4 && code != 5)
                fault = "command " + line;
            s = word.value('S', s);
            f = word.value('F', f);
            if (line[0] == 'G' && code <= 1 && !units)
                fault = "move before G21 G90";
            if (line[0] == 'G' && code <= 1)
                move(word.value('X', x), word.value('Y', y), word.value('Z', z), code, laser,
                     engraveFeed, safe);
        }
        if (spindle != 5)
            fault = "no M5 at the end";
    }

    void move(double nx, double ny, double nz, int code, bool laser, double engraveFeed,
              double safe)
    {
        if (z == z)
            minutes += std::sqrt((nx - x) * (nx - x) + (ny - y) * (ny - y) + (nz - z) * (nz - z)) /
                       (code == 0 ? feedG0 : f);
        const bool along = ny == y && nz == z && nx != x;
        const bool working = laser ? code == 1 && s > 0 && spindle == 4 : nz < safe && z < safe;
        if (laser && !working && along && f == engraveFeed) {
            reachLeft[row(y)] = std::min({reachLeft[row(y)], x, nx});
            reachRight[row(y)] = std::max({reachRight[row(y)], x, nx});
        }
        if (!laser && code == 0 && (nz < safe || (z < safe && (nx != x || ny != y))))
            fault = "G0 below the safe height";
        if (working && along) {
            if (!onEdge(x) || !onEdge(nx))
                fault = QString("move off the pixel edges at X%1").arg(nx);
            for (int c = std::min(column(x), column(nx)); c < std::max(column(x), column(nx)); ++c)
                if (work[row(y) * w + c] == work[row(y) * w + c])
                    fault = "pixel worked twice";
                else
                    work[row(y) * w + c] = laser ? s : z;
        } else if (working &&
                   (laser || nx != x || (ny != y && std::abs(std::abs(ny - y) - p) > 1e-9))) {
            fault = "working move across pixels";
        }
        x = nx, y = ny, z = nz;
    }
};

// The plain rule per pixel: S for the laser types (NaN: not burned), the
// depth as the Marlin file writes it for CNC Line.
double expected(int type, int gray, int sMax)
{
    const Values& v = values[type];
    if (type == LaserLine)
        return gray < 128 ? std::lround(v[1].toInt() * sMax / 100.0) : NAN;
    if (type == LaserDots) {
        const bool dot = gray >= v[1].toInt() && gray <= 255 - v[1].toInt();
        const double s = std::lround(int((255 - gray) * double(v[2].toFloat())) * sMax / 255.0);
        return dot && s > 0 ? s : NAN;
    }
    const double depth =
        (255 - gray) * ((v[2].toDouble() - v[3].toDouble()) / 255.0) + v[3].toDouble();
    return QString("%1").arg(depth).toDouble();
}

QString grblValidate()
{
    const QString path = qEnvironmentVariable("TAVO_GRBL_VALIDATE", TAVO_GRBL_VALIDATE);
    return QFileInfo(path).isExecutable() ? path : QString();
}

} // namespace

void TestGrbl::pixels_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("oneWay");
    QTest::addColumn<double>("overscan");
    for (int type : {LaserLine, LaserDots, CncLine})
        for (bool oneWay : {false, true})
            for (double overscan : {0.0, 1.3})
                QTest::addRow("type %d%s overscan %g", type, oneWay ? " one-way" : "", overscan)
                    << type << oneWay << overscan;
}

void TestGrbl::pixels()
{
    QFETCH(int, type);
    QFETCH(bool, oneWay);
    QFETCH(double, overscan);
    const FirmwareSettings settings{Firmware::Grbl, 777, overscan, oneWay};
    const double p = values[type][0].toDouble();
    const double engraveFeed = values[type][type == LaserDots ? 3
                                            : type == CncLine ? 4
                                                              : 2]
                                   .toDouble();

    for (int seed = 1; seed <= 6; ++seed) {
        // Odd and even sizes, blank rows and rows dark to their ends.
        pictures::Random random(seed);
        QImage picture = pictures::randomImage(5 + seed, 3 + seed % 3, seed);
        for (int k = 0; k < picture.width() * picture.height(); ++k) {
            const int g = random.bounded(3) == 0 ? 255 : random.bounded(256);
            const int v = type == LaserLine ? (g < 128 ? 0 : 255) : g;
            picture.setPixel(k % picture.width(), k / picture.width(), qRgb(v, v, v));
        }
        double minutes = 0;
        const QString path =
            m_dir.filePath(QString("%1-%2.gcode").arg(QTest::currentDataTag()).arg(seed));
        m_written << path;
        const QString file = write(path, type, picture, settings, &minutes);
        Machine machine(picture.width(), picture.height(), p, engraveFeed);
        machine.run(file, type != CncLine, engraveFeed, values[type][1].toDouble() + 2);
        QCOMPARE(machine.fault, QString());
        QVERIFY(qAbs(machine.minutes - minutes) < 1e-9 * (1 + minutes));
        for (int r = 0; r < picture.height(); ++r) {
            double first = INFINITY, last = -INFINITY;
            for (int c = 0; c < picture.width(); ++c) {
                const double want = expected(type, grayLevel(picture.pixel(c, r)), 777);
                const double got = machine.work[r * picture.width() + c];
                QVERIFY2(
                    want == got || (want != want && got != got),
                    qPrintable(
                        QString("row %1 column %2: %3, not %4").arg(r).arg(c).arg(got).arg(want)));
                if (want == want)
                    first = std::min(first, (c - picture.width() * 0.5) * p),
                    last = std::max(last, (c + 1 - picture.width() * 0.5) * p);
            }
            if (type != CncLine && overscan > 0 && first < last)
                QVERIFY(machine.reachLeft[r] <= first - overscan + 1e-9 &&
                        machine.reachRight[r] >= last + overscan - 1e-9);
        }
        const QRegularExpression reach("X(-?[0-9.]+)");
        for (auto m = reach.globalMatch(file); m.hasNext();)
            QVERIFY(qAbs(m.next().captured(1).toDouble()) <=
                    picture.width() * 0.5 * p + (type == CncLine ? 0 : overscan) + 1e-9);
    }
}

void TestGrbl::goldenFiles_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QImage>("picture");
    QTest::addColumn<FirmwareSettings>("settings");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<double>("minutes");

    const QString head = "; ****** G-code Prefix ******\n; <Tavo %1>\n; %2\n; TavoAssistant: "
                         "check the machine's working area before you run this file\n";
    const QString laser = "; Start Height (mm): 20\n; Firmware: GRBL 1.1, S-max %1, overscan %2 "
                          "mm, rows %3\n; ****** Main G-code ******\nG21\nG90\nG0 Z20\nM4 S0\n";
    const QString end = "; ****** G-code Postfix ******\nM5\n";
    QTest::newRow("laser line")
        << int(LaserLine) << pictures::grayRows({{255, 0, 0, 255}, {0, 255, 255, 0}})
        << FirmwareSettings{Firmware::Grbl, 1000, 1, false}
        << head.arg("Laser Engraving", "Line Laser") +
               "; Laser Beam (mm): 0.5\n; Laser Power (%): 60\n; Travel Speed (mm/min): 500\n"
               "; Jump Speed (mm/min): 1000\n" +
               laser.arg("1000", "1", "both ways") +
               "G1 X-1.5 Y0.5 S0 F1000\nG1 X-0.5 S0 F500\nG1 X0.5 S600\nG1 X1.5 S0\n"
               "G1 X2 Y0 S0 F1000\nG1 X1 S0 F500\nG1 X0.5 S600\nG1 X-0.5 S0 F1000\n"
               "G1 X-1 S600 F500\nG1 X-2 S0\n" +
               end
        << (std::hypot(1.5, 0.5) + std::hypot(0.5, 0.5) + 1) / 1000 + 6 / 500.0;
    QTest::newRow("laser dots")
        << int(LaserDots) << pictures::grayRows({{255, 0, 128, 255}, {100, 200, 255, 0}})
        << FirmwareSettings{Firmware::Grbl, 255, 0, true}
        << head.arg("Laser Engraving", "Dots Laser") +
               "; Laser Beam (mm): 0.65\n; Ignored Threshold: 15\n; Power Index: 0.4\n"
               "; Travel Speed (mm/min): 100\n" +
               laser.arg("255", "0", "left to right") +
               "G1 X0 Y0.65 S0 F100\nG1 X0.65 S50\nG1 X-1.3 Y0 S0\nG1 X-0.65 S62\nG1 X0 S22\n" + end
        << (0.65 * 4 + std::hypot(1.95, 0.65)) / 100;
    QTest::newRow("cnc line")
        << int(CncLine) << pictures::grayRows({{255, 0, 0, 255}, {128, 128, 255, 0}})
        << FirmwareSettings{Firmware::Grbl, 1000, 0, false}
        << head.arg("CNC Milling", "Line CNC") +
               "; CNC Precision (mm): 0.5\n; Sheet Thickness (mm): 100\n; Max Depth (mm): 40\n"
               "; Min Depth (mm): 1\n; Travel Speed (mm/min): 500\n; Firmware: GRBL 1.1, S-max "
               "1000, overscan 0 mm, rows both ways\n; ****** Main G-code ******\nG21\nG90\n"
               "G4 P2\nG0 Z112\nG0 Z102\nG4 P10\nM3 S1000\nG4 P3\nG0 X-1 Y0.5\nG1 Z1 F500\n"
               "G1 X-0.5\nG1 Z40\nG1 X0.5\nG1 Z1\nG1 X1\nG1 Y0\nG1 Z40\nG1 X0.5\nG1 Z1\n"
               "G1 X0\nG1 Z20.4235\nG1 X-1\nG0 Z102\n" +
               end
        << (10 + std::hypot(1, 0.5) + 101 + 39 * 4 + 0.5 * 5 + 1 * 2 + 19.4235 + 81.5765) / 500 +
               0.25;
}

void TestGrbl::goldenFiles()
{
    QFETCH(int, type);
    QFETCH(QImage, picture);
    QFETCH(FirmwareSettings, settings);
    QFETCH(QString, expected);
    QFETCH(double, minutes);

    double written = 0;
    const QString file = write(m_dir.filePath("golden.gcode"), type, picture, settings, &written);
    QCOMPARE(file, expected);
    QVERIFY(qAbs(written - minutes) < 1e-12);
}

// Every file written above through GRBL 1.1h's own parser, when it is built
// (../shared/grbl/build.sh; TAVO_GRBL_VALIDATE names another copy).
void TestGrbl::grblAccepts()
{
    const QString validator = grblValidate();
    if (validator.isEmpty())
        QSKIP("grbl-validate is not built");
    for (const QString& path : qAsConst(m_written)) {
        QProcess grbl;
        grbl.setWorkingDirectory(m_dir.path()); // it keeps its settings there
        grbl.start(validator, {path});
        QVERIFY(grbl.waitForFinished(60000));
        QVERIFY2(grbl.exitCode() == 0,
                 qPrintable(path + ": " + grbl.readAllStandardOutput().right(200)));
    }
    qInfo("grbl-validate accepted %d files", m_written.size());
}

QTEST_GUILESS_MAIN(TestGrbl)
#include "tst_grbl.moc"
