// GRBL files against a machine model and GRBL's parser; dialog, preview (the
// options refused: tst_badinput).
#include "../app/tavomaintest.h"

#include "imaging/graylevel.h"
#include "machinedialog.h"
#include "pictures.h"
#include "preview/sheet.h"
#include "toolpath/toolpathreader.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QProcess>
#include <QStandardPaths>

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
    void preview();
    void machineDialog();

private:
    QTemporaryDir m_dir;
    QStringList m_written;
};

namespace {

const std::array<QString, 5> values[3] = {{"0.5", "60", "500", "1000", "20"},
                                          {"0.65", "15", "0.4", "100", "20"},
                                          {"0.5", "100", "40", "1", "500"}};

QString write(const QString& path, int type, QImage picture, FirmwareSettings firmware,
              double* minutes)
{
    GcodeGenerator generator(&picture);
    generator.paramValues = values[type];
    generator.firmware = firmware;
    QFile file(path);
    const bool ok = generator.generate(type, path) && file.open(QIODevice::ReadOnly);
    *minutes = generator.processingTime();
    return ok ? QString(file.readAll()) : QString();
}

// Records per pixel the power (or depth) it was worked at, NaN where it was
// not, and a fault for anything a GRBL file must not do. CNC G0 at the feed.
struct Model
{
    int w, h;
    double p, feed, safe; // safe: NaN for a laser
    QVector<double> work = QVector<double>(w * h, NAN);
    double x = 0, y = 0, z = NAN, f = 0, s = 0, minutes = 0, widest = 0;
    QString fault = QString();

    int column(double at) const { return int(std::lround(at / p + w * 0.5)); }
    void run(const QString& text)
    {
        const bool laser = safe != safe;
        int spindle = 5;
        bool units = false;
        for (const QString& line : text.split('\n', Qt::SkipEmptyParts)) {
            QMap<QChar, double> word;
            for (const QString& token : line.split(' '))
                word[token[0]] = token.mid(1).toDouble();
            const int code = line[0] == ';' ? -1 : int(word.value(line[0]));
            units |= line == "G21" || line == "G90";
            if (line[0] == 'M')
                spindle = code >= 3 && code <= 5 ? code : (fault = line, 0);
            else if (code == 4)
                minutes += word['P'] <= 10 ? word['P'] / 60 : (fault = line, 0);
            s = word.value('S', s);
            f = word.value('F', f);
            if (line[0] != 'G' || code > 1)
                continue;
            const double nx = word.value('X', x), ny = word.value('Y', y), nz = word.value('Z', z);
            minutes += z == z ? std::hypot(nx - x, ny - y, nz - z) / (code == 0 ? feed : f) : 0;
            widest = std::max(widest, std::abs(nx));
            const bool along = ny == y && nz == z && nx != x;
            const bool working = laser ? code == 1 && s > 0 && spindle == 4 : nz < safe && z < safe;
            const bool stepOver = nx == x && std::abs(std::abs(ny - y) - p) < 1e-9;
            if (!units ||
                (!laser && code == 0 && (nz < safe || (z < safe && (nx != x || ny != y)))))
                fault = "a move before G21 G90, or G0 below the safe height";
            else if (working && !along && (laser || !(nx == x && (ny == y || stepOver))))
                fault = "working move across pixels";
            for (double edge : {x, nx})
                if (working && along && std::abs(edge / p + w * 0.5 - column(edge)) > 1e-3 / p)
                    fault = QString("off the pixel edges at X%1").arg(edge);
            const int row = int(std::lround(h * 0.5 - y / p));
            for (int c = std::min(column(x), column(nx));
                 working && along && c < std::max(column(x), column(nx)); ++c) {
                double& pixel = work[row * w + c];
                pixel = pixel == pixel ? (fault = "pixel worked twice", 0) : (laser ? s : z);
            }
            x = nx, y = ny, z = nz;
        }
        if (spindle != 5)
            fault = "no M5 at the end";
    }
};

// Per pixel: S for the laser types (NaN: not burned), the Marlin depth for CNC.
double expected(int type, int gray, int sMax)
{
    const auto& v = values[type];
    if (type == LaserLine)
        return gray < 128 ? std::lround(v[1].toInt() * sMax / 100.0) : NAN;
    const bool dot = gray >= v[1].toInt() && gray <= 255 - v[1].toInt();
    const double s = std::lround(int((255 - gray) * double(v[2].toFloat())) * sMax / 255.0);
    if (type == LaserDots)
        return dot && s > 0 ? s : NAN;
    const double step = (v[2].toDouble() - v[3].toDouble()) / 255.0;
    return QString("%1").arg((255 - gray) * step + v[3].toDouble()).toDouble();
}

} // namespace

void TestGrbl::pixels_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<FirmwareSettings>("firmware");
    for (int k = 0; k < 12; ++k)
        QTest::addRow("type %d, %s, overscan %d", k / 4, k % 2 ? "one way" : "both ways", k / 2 % 2)
            << k / 4 << FirmwareSettings{Firmware::Grbl, 777, k / 2 % 2 * 1.3, k % 2 == 1};
}

void TestGrbl::pixels()
{
    QFETCH(int, type);
    QFETCH(FirmwareSettings, firmware);
    const double p = values[type][0].toDouble();
    const double feed = values[type][type == LaserLine ? 2 : type == LaserDots ? 3 : 4].toDouble();
    for (int seed = 1; seed <= 6; ++seed) {
        // Odd and even sizes up to 41, blank rows and rows dark to their ends.
        pictures::Random random(seed);
        QImage picture(5 + seed * seed, 3 + seed % 3, QImage::Format_RGB32);
        const int w = picture.width(), h = picture.height();
        for (int k = 0; k < w * h; ++k) {
            const int g = random.bounded(3) == 0 ? 255 : random.bounded(256);
            const int v = type == LaserLine ? (g < 128 ? 0 : 255) : g;
            picture.setPixel(k % w, k / w, qRgb(v, v, v));
        }
        double minutes = 0;
        m_written << m_dir.filePath(QString("%1-%2.gcode").arg(QTest::currentDataTag()).arg(seed));
        Model machine{w, h, p, feed, type == CncLine ? values[type][1].toDouble() + 2 : NAN};
        machine.run(write(m_written.last(), type, picture, firmware, &minutes));
        QCOMPARE(machine.fault, QString());
        QVERIFY(qAbs(machine.minutes - minutes) < 1e-9 * (1 + minutes));
        QVERIFY(machine.widest <= w * 0.5 * p + (type == CncLine ? 0 : firmware.overscan) + 1e-9);
        for (int k = 0; k < w * h; ++k) {
            const double want = expected(type, grayLevel(picture.pixel(k % w, k / w)), 777);
            QVERIFY(want == machine.work[k] ||
                    (want != want && machine.work[k] != machine.work[k]));
        }
    }
}

// From the firmware line on (the prefix is the Marlin file's); overscan both ways.
void TestGrbl::goldenFiles_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QImage>("picture");
    QTest::addColumn<FirmwareSettings>("settings");
    QTest::addColumn<QString>("expected");
    const QString head = "; Firmware: GRBL 1.1, S-max %1, overscan %2 mm, rows %3\n"
                         "; ****** Main G-code ******\nG21\nG90\n";
    const QString laser = head + "G0 Z20\nM4 S0\n", end = "; ****** G-code Postfix ******\nM5\n";
    QTest::newRow("laser line")
        << int(LaserLine) << pictures::grayRows({{255, 0, 0, 255}, {0, 255, 255, 0}})
        << FirmwareSettings{Firmware::Grbl, 1000, 1, false}
        << laser.arg("1000", "1", "both ways") +
               "G1 X-1.5 Y0.5 S0 F1000\nG1 X-0.5 S0 F500\nG1 X0.5 S600\nG1 X1.5 S0\n"
               "G1 X2 Y0 S0 F1000\nG1 X1 S0 F500\nG1 X0.5 S600\nG1 X-0.5 S0 F1000\n"
               "G1 X-1 S600 F500\nG1 X-2 S0\n" +
               end;
    QTest::newRow("laser dots")
        << int(LaserDots) << pictures::grayRows({{255, 0, 128, 255}, {100, 200, 255, 0}})
        << FirmwareSettings{Firmware::Grbl, 255, 0, true}
        << laser.arg("255", "0", "left to right") +
               "G1 X0 Y0.65 S0 F100\nG1 X0.65 S50\nG1 X-1.3 Y0 S0\nG1 X-0.65 S62\nG1 X0 S22\n" +
               end;
    QTest::newRow("cnc line")
        << int(CncLine) << pictures::grayRows({{255, 0, 0, 255}, {128, 128, 255, 0}})
        << FirmwareSettings{Firmware::Grbl, 1000, 0, false}
        << head.arg("1000", "0", "both ways") +
               "G4 P2\nG0 Z112\nG0 Z102\nG4 P10\nM3 S1000\nG4 P3\nG0 X-1 Y0.5\nG1 Z1 F500\n"
               "G1 X-0.5\nG1 Z40\nG1 X0.5\nG1 Z1\nG1 X1\nG1 Y0\nG1 Z40\nG1 X0.5\nG1 Z1\n"
               "G1 X0\nG1 Z20.4235\nG1 X-1\nG0 Z102\n" +
               end;
}

void TestGrbl::goldenFiles()
{
    QFETCH(int, type);
    QFETCH(QImage, picture);
    QFETCH(FirmwareSettings, settings);
    QFETCH(QString, expected);
    double minutes = 0;
    const QString file = write(m_dir.filePath("golden.gcode"), type, picture, settings, &minutes);
    QCOMPARE(file.mid(file.indexOf("; Firmware")), expected);
}

// Every file above; grbl-validate: ../shared/grbl/build.sh ../grbl-bin, or $TAVO_GRBL_VALIDATE.
void TestGrbl::grblAccepts()
{
    const QString validator = qEnvironmentVariable("TAVO_GRBL_VALIDATE", TAVO_GRBL_VALIDATE);
    if (!QFileInfo(validator).isExecutable())
        QSKIP("grbl-validate is not built");
    for (const QString& path : qAsConst(m_written)) // it keeps its settings in the folder
        QVERIFY2(QProcess::execute("sh", {"-c", "cd \"$0\" && \"$1\" \"$2\" >/dev/null",
                                          m_dir.path(), validator, path}) == 0,
                 qPrintable(path));
    qInfo("grbl-validate accepted %d files", m_written.size());
}

// Dark left and bottom pixels drawn there (sheet X grows leftwards), with overscan.
void TestGrbl::preview()
{
    const QString file = m_dir.filePath("corner.gcode");
    QVERIFY(pictures::grayRows({{0, 255, 255, 255}, {0, 0, 0, 255}}).save(file + ".png"));
    QProcess tavo;
    tavo.start(TAVO_EXECUTABLE,
               {"convert", file + ".png", "-o", file, "--pitch", "0.5", "--power", "50",
                "--firmware", "grbl", "--s-max", "255", "--overscan", "2", "--json"});
    QVERIFY(tavo.waitForFinished(60000) && tavo.readAll().contains("\"firmware\":\"grbl\""));
    QFile gcode(file);
    Sheet sheet(20, 1 << 24);
    ToolpathReader reader(Machine::Unknown, &sheet);
    QVERIFY(gcode.open(QIODevice::ReadOnly) && reader.read(gcode, nullptr));
    reader.finish();
    const ToolpathReport& report = reader.report();
    // The second row starts 2 mm after its last dark pixel.
    QVERIFY(report.grbl && report.sMax == 255 && report.workLength == 2.0);
    QVERIFY(report.minX == -3.0 && report.maxX == 2.5);
    QVERIFY(sheet.meanAt(0.75, 0.5) == 128 && sheet.meanAt(0.25, 0) == 128);
    QVERIFY(std::isnan(sheet.meanAt(-0.75, 0.5)));
}

// Refused: the dialog stays, nothing changes; OK: applied, shown and kept.
void TestGrbl::machineDialog()
{
    QStandardPaths::setTestModeEnabled(true);
    ScriptedDialogs dialogs;
    TavoMain window;
    window.findChild<QAction*>("actionMachine")->trigger();
    auto* dialog = window.findChild<MachineDialog*>("machineDialog");
    dialog->findChild<QComboBox*>("cmbFirmware")->setCurrentIndex(1);
    dialog->findChild<QLineEdit*>("txtSMax")->setText("300");
    dialog->findChild<QLineEdit*>("txtOverscan")->setText("nan");
    dialog->findChild<QCheckBox*>("ckbOneWay")->setChecked(true);
    dialog->accept();
    QVERIFY(dialog->isVisible() && dialogs.prompts().last().text.endsWith("not \"nan\""));
    QCOMPARE(TavoMainTest::gcodeGenerator(window).firmware.firmware, Firmware::Marlin);
    dialog->findChild<QLineEdit*>("txtOverscan")->setText("1.5");
    dialog->accept();
    const FirmwareSettings& used = TavoMainTest::gcodeGenerator(window).firmware;
    QVERIFY(used.firmware == Firmware::Grbl && used.sMax == 300 && used.overscan == 1.5);
    QVERIFY(used.oneWay && loadFirmwareSettings().oneWay && loadFirmwareSettings().sMax == 300);
    QCOMPARE(widget<QLabel>(window, "lblFirmware")->text(), QString("for GRBL 1.1"));
}

QTEST_MAIN(TestGrbl)
#include "tst_grbl.moc"
