// tavo convert against the window: the same picture, commands and texts give
// the same bytes and the same report; and its answers to bad input.
#include "../app/tavomaintest.h"

#include "cli/console.h"
#include "cli/convert.h"
#include "gcode/parameters.h"
#include "pictures.h"

#include <QCheckBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QProcess>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTextEdit>

#include <climits>

namespace {

struct Run
{
    int status = -1;
    QString out;
    QString err;
};

Run tavo(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral(TAVO_EXECUTABLE), arguments);
    process.waitForFinished(120000);
    Run run;
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const char* const typeNames[] = {"laser-line", "laser-dots", "cnc-line"};
const char* const parameterFields[] = {"txtParam2", "txtParam3", "txtParam4", "txtParam5"};

// What the user does in the window for the same job: the machine and type,
// the pitch and the texts, the threshold, the zoom, the buttons in order (the
// geometry ones after sizing the window to their area), then Gcode.
QString generateInWindow(const QString& picture, int type, const QString& pitch,
                         const QStringList& texts, int zoom, int threshold,
                         const QList<cli::PictureStep>& steps, const QString& path)
{
    ScriptedDialogs dialogs;
    TavoMain window;
    openPicture(window, dialogs, picture);
    if (type == LaserDots)
        widget<QComboBox>(window, "cmbType")->setCurrentIndex(1);
    else if (type == CncLine)
        QTest::mouseClick(widget<QPushButton>(window, "btnCnc"), Qt::LeftButton);
    widget<QComboBox>(window, "cmbParam1")->setCurrentIndex(pixelSizeChoices().indexOf(pitch));
    for (int i = 0; i < texts.size(); ++i)
        widget<QLineEdit>(window, parameterFields[i])->setText(texts[i]);
    if (threshold != INT_MIN) {
        widget<QCheckBox>(window, "ckbThreshold")->setChecked(true);
        QLineEdit* field = widget<QLineEdit>(window, "txtThreshold");
        field->setText(QString::number(threshold));
        emit field->editingFinished();
    }
    if (zoom)
        widget<QSpinBox>(window, "spbSize")->setValue(zoom);

    static const char* const buttons[] = {"btnGray",   "btnBinary",    "btnDither",  "btnInverse",
                                          "btnRelief", "btnPulverize", "btnOutline", "btnSoften",
                                          "btnRotate", "btnCrop",      "btnScale",   "btnFit"};
    for (const cli::PictureStep& step : steps) {
        if (step.size.isValid() && !setViewArea(window, step.size))
            qFatal("the window cannot offer a view area of %dx%d", step.size.width(),
                   step.size.height());
        const QImage& working = TavoMainTest::workingImage(window);
        if (step.kind == cli::PictureStep::Rotate && working.height() < working.width())
            dialogs.answerQuestion(Dialogs::Ok);
        QTest::mouseClick(widget<QPushButton>(window, buttons[step.kind]), Qt::LeftButton);
    }
    dialogs.answerFileName(path);
    QTest::mouseClick(widget<QPushButton>(window, "btnGcode"), Qt::LeftButton);
    if (dialogs.unexpectedPrompts() || dialogs.unusedAnswers())
        qFatal("the window asked something unexpected");
    return widget<QTextEdit>(window, "txtGcode")->toPlainText();
}

} // namespace

class ConvertTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void sameBytesAsTheWindow_data();
    void sameBytesAsTheWindow();
    void answers_data();
    void answers();
    void jsonRecords();
    void savedPictureIsThePreparedOne();
    void pictureSteps();
    void progressBar();

private:
    QString picture(const QString& name, const QImage& image);

    QTemporaryDir m_dir;
};

void ConvertTest::initTestCase()
{
    silenceOffscreenNoise();
    QVERIFY(m_dir.isValid());
}

QString ConvertTest::picture(const QString& name, const QImage& image)
{
    const QString path = m_dir.filePath(name);
    if (!image.save(path))
        qFatal("cannot write a test picture");
    return path;
}

void ConvertTest::sameBytesAsTheWindow_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("pitch");
    QTest::addColumn<QStringList>("texts"); // slots 2 to 5; empty: the defaults
    QTest::addColumn<int>("zoom");          // 0: none
    QTest::addColumn<int>("threshold");     // INT_MIN: automatic
    QTest::addColumn<QString>("apply");

    const auto row = [](const char* name, const QImage& image, int type, const char* pitch,
                        const QStringList& texts, int zoom, int threshold, const char* apply) {
        QTest::newRow(name) << image << type << QString(pitch) << texts << zoom << threshold
                            << QString(apply);
    };
    const int automatic = INT_MIN;
    row("Laser Line worked example", pictures::grayRows({{255, 0, 0, 255}, {255, 0, 255, 255}}),
        LaserLine, "0.5", {}, 0, automatic, "");
    row("Laser Dots worked example", pictures::grayRows({{255, 0, 128, 255}, {100, 200, 255, 0}}),
        LaserDots, "0.5", {}, 0, automatic, "");
    row("CNC Line worked example", pictures::grayRows({{255, 0, 0, 255}, {128, 128, 255, 0}}),
        CncLine, "0.5", {}, 0, automatic, "");
    row("texts as typed, automatic threshold", pictures::randomImage(41, 29, 1), LaserLine, "0.16",
        {"50", "0700", "01000", "20.0"}, 0, automatic, "");
    row("every dot, gray and dither", pictures::randomImage(64, 48, 2), LaserDots, "0.1",
        {"0", "0.7", "150", "5"}, 0, automatic, "gray,dither");
    row("zoom, soften and relief on the mill", pictures::randomImage(90, 70, 3), CncLine, "1",
        {"50.5", "40", "1.5", "250"}, 60, automatic, "soften,relief");
    row("manual threshold, outline, rotate a tall picture", pictures::randomImage(50, 80, 4),
        LaserLine, "0.3", {}, 0, 100, "outline,rotate");
    row("rotate a wide picture, binary twice, out of range", pictures::randomImage(300, 120, 5),
        LaserLine, "0.5", {}, 0, automatic, "binary,rotate");
    row("crop, scale and fit to given areas, inverse, pulverize",
        pictures::randomImage(900, 700, 6), LaserDots, "0.16", {}, 80, automatic,
        "crop=640x480,inverse,scale=760x560,pulverize,fit=700x500");
}

void ConvertTest::sameBytesAsTheWindow()
{
    QFETCH(QImage, image);
    QFETCH(int, type);
    QFETCH(QString, pitch);
    QFETCH(QStringList, texts);
    QFETCH(int, zoom);
    QFETCH(int, threshold);
    QFETCH(QString, apply);

    const QString source = picture(QStringLiteral("same.png"), image);
    QList<cli::PictureStep> steps;
    QString error;
    QVERIFY2(cli::parseSteps(apply, &steps, &error), qPrintable(error));

    const QString windowFile = m_dir.filePath(QStringLiteral("window.gcode"));
    const QString windowReport =
        generateInWindow(source, type, pitch, texts, zoom, threshold, steps, windowFile);

    const QString tavoFile = m_dir.filePath(QStringLiteral("tavo.gcode"));
    QStringList arguments{"convert", source, "--type", typeNames[type],
                          "--pitch", pitch,  "-o",     tavoFile};
    const char* const options[3][4] = {
        {"--power", "--travel-speed", "--jump-speed", "--start-height"},
        {"--ignored-threshold", "--power-index", "--travel-speed", "--start-height"},
        {"--thickness", "--max-depth", "--min-depth", "--travel-speed"}};
    for (int i = 0; i < texts.size(); ++i)
        arguments << options[type][i] << texts[i];
    if (zoom)
        arguments << "--zoom" << QString::number(zoom);
    if (threshold != INT_MIN)
        arguments << "--threshold" << QString::number(threshold);
    if (!apply.isEmpty())
        arguments << "--apply" << apply;
    const Run run = tavo(arguments);
    QVERIFY2(run.status == 0, qPrintable(run.err));

    const QByteArray expected = contents(windowFile);
    QVERIFY(expected.size() > 400);
    // Line by line, so a failure names the first line that differs.
    QCOMPARE(contents(tavoFile).split('\n'), expected.split('\n'));
    // The report too, but for the path it begins with.
    QVERIFY(windowReport.startsWith(windowFile + '\n'));
    QVERIFY(run.out.startsWith(tavoFile + '\n'));
    QCOMPARE(run.out.mid(tavoFile.size()), windowReport.mid(windowFile.size()));
}

void ConvertTest::answers_data()
{
    QTest::addColumn<QStringList>("arguments"); // {dir}, {a} and {b} are filled in
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    QTest::addColumn<QStringList>("written"); // the files in {dir}/out afterwards
    const auto row = [](const char* name, const QStringList& arguments, int status, const char* out,
                        const char* err, const QStringList& written = {}) {
        QTest::newRow(name) << arguments << status << QString(out) << QString(err) << written;
    };
    // Refused before anything is written: the command line, the window's
    // parameter checks, the picture commands.
    const auto refused = [&row](const char* name, const QStringList& options, const char* err) {
        row(name, QStringList{"convert", "{a}"} + options + QStringList{"-o", "{dir}/out/a.gcode"},
            2, "", err);
    };
    row("help", {"convert", "--help"}, 0, "Usage: tavo convert", "");
    row("no command", {}, 2, "", "no command given");
    row("no picture", {"convert", "-o", "{dir}/out/a.gcode"}, 2, "", "no picture given");
    row("nothing to write", {"convert", "{a}"}, 2, "", "nothing to write");
    refused("unknown option", {"--frobnicate"}, "unknown option --frobnicate");
    refused("refused parameter, the window's message", {"--power", "0"},
            "tavo: Invalid Parameters: Laser Power must be within (1 - 100)\n");
    refused("only the first refusal", {"--jump-speed", "0", "--travel-speed", "abc"},
            "Jump Speed must be within (1 - 10000)");
    refused("CNC cross-check", {"--type", "cnc-line", "--max-depth", "99.5"},
            "Max Depth must be at least 1.00 smaller than Sheet Thickness");
    refused("a parameter of another type", {"--type", "cnc-line", "--power", "50"},
            "--power does not apply to cnc-line");
    refused("a pitch the panel does not offer", {"--pitch", "0.17"},
            "--pitch must be one of 0.02, 0.04");
    refused("an unknown picture command", {"--apply", "gray,blur"},
            "unknown picture command \"blur\"");
    refused("a crop without its size", {"--apply", "crop"}, "crop needs a size");
    refused("zoom beyond the spin box", {"--zoom", "150"}, "--zoom must be");
    row("several pictures into one file", {"convert", "{a}", "{b}", "-o", "{dir}/a.png"}, 2, "",
        "-o must name a folder");
    row("output over its own picture", {"convert", "{a}", "--save-picture", "{dir}/a.png"}, 2, "",
        "would overwrite");
    row("a picture format nobody knows", {"convert", "{a}", "--save-picture", "{dir}/out/a.xyz"}, 2,
        "", "cannot tell the picture format");
    row("an unreadable picture among several",
        {"convert", "{a}", "{dir}/missing.png", "{b}", "-o", "{dir}/out"}, 1,
        "out/b.gcode\nHas been successfully generated!",
        "tavo: Critical Error: Failed to load {dir}/missing.png, please try again later!",
        {"a.gcode", "b.gcode"});
    row("a file that cannot be written", {"convert", "{a}", "-o", "{dir}/a.png/x.gcode"}, 1, "",
        "Save Gcode: {dir}/a.png/x.gcode cannot be written!");
    row("the prepared picture alone",
        {"convert", "{a}", "--apply", "gray", "--save-picture", "{dir}/out/gray.bmp"}, 0,
        "{dir}/out/gray.bmp has been successfully saved!\n", "", {"gray.bmp"});
    row("a crop to nothing writes nothing",
        {"convert", "{a}", "--apply", "scale=100000x100000", "-o", "{dir}/out/a.gcode"}, 1, "",
        "the prepared picture is empty");
}

void ConvertTest::answers()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QFETCH(QStringList, written);

    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("out")));
    const QString a = dir.filePath(QStringLiteral("a.png"));
    const QString b = dir.filePath(QStringLiteral("b.png"));
    QVERIFY(pictures::randomImage(30, 20, 8).save(a));
    QVERIFY(pictures::randomImage(20, 30, 9).save(b));
    const auto fill = [&](QString text) {
        return text.replace(QLatin1String("{dir}"), dir.path())
            .replace(QLatin1String("{a}"), a)
            .replace(QLatin1String("{b}"), b);
    };
    for (QString& argument : arguments)
        argument = fill(argument);

    const Run run = tavo(arguments);
    QVERIFY2(run.out.contains(fill(out)), qPrintable(run.out));
    QVERIFY2(run.err.contains(fill(err)), qPrintable(run.err));
    QCOMPARE(run.status, status);
    // Quiet when nobody watches: no progress bar on a pipe.
    QVERIFY(!run.err.contains(QLatin1Char('\r')));
    // Nothing half-written, no temporary file left behind.
    QCOMPARE(QDir(dir.filePath(QStringLiteral("out"))).entryList(QDir::Files), written);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), (QStringList{"a.png", "b.png"}));
}

void ConvertTest::jsonRecords()
{
    const QString wide = picture(QStringLiteral("wide.png"), pictures::randomImage(300, 40, 10));
    const QString missing = m_dir.filePath(QStringLiteral("nothing.png"));
    const QString folder = m_dir.filePath(QStringLiteral("json"));
    const Run run = tavo(
        {"convert", wide, missing, "--type", "cnc-line", "--pitch", "0.5", "-o", folder, "--json"});
    QCOMPARE(run.status, 1);
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);

    const QJsonObject good = QJsonDocument::fromJson(lines[0].toUtf8()).object();
    QCOMPARE(good.value("input").toString(), wide);
    QCOMPARE(good.value("path").toString(), folder + "/wide.gcode");
    QCOMPARE(good.value("travelLengthMm").toInt(), 6000); // 300 x 40 x 0.5
    QCOMPARE(good.value("widthMm").toDouble(), 150.0);
    QCOMPARE(good.value("heightMm").toDouble(), 20.0);
    QCOMPARE(good.value("outOfRange").toBool(), true);
    // Above the travel length divided by the feed rate: the depth changes.
    QVERIFY(good.value("processingTimeMin").toDouble() > 6000.0 / 500);
    QVERIFY(!good.contains("error"));

    const QJsonObject bad = QJsonDocument::fromJson(lines[1].toUtf8()).object();
    QCOMPARE(bad.value("input").toString(), missing);
    QVERIFY(bad.value("error").toString().startsWith("Failed to load"));
    QVERIFY(!bad.contains("path"));
}

// The picture saved is the one the commands prepared, not the black and
// white one Laser Line makes of it before writing.
void ConvertTest::savedPictureIsThePreparedOne()
{
    const QImage original = pictures::randomImage(120, 90, 11);
    const QString source = picture(QStringLiteral("prepared.png"), original);
    const QString saved = m_dir.filePath(QStringLiteral("prepared-out.png"));
    const Run run =
        tavo({"convert", source, "--zoom", "50", "--apply", "gray,soften", "--save-picture", saved,
              "-o", m_dir.filePath(QStringLiteral("prepared.gcode"))});
    QVERIFY2(run.status == 0, qPrintable(run.err));

    ImageProcessor processor;
    processor.adoptImage(original);
    cli::zoomFromSource(processor, 50);
    processor.grayImage();
    processor.softenImage();
    QCOMPARE(QImage(saved).convertToFormat(QImage::Format_RGB32), *processor.workingImage());
}

void ConvertTest::pictureSteps()
{
    QList<cli::PictureStep> steps;
    QString error;
    QVERIFY(cli::parseSteps(" gray,dither ,crop=620x420,,fit=10X20", &steps, &error));
    QCOMPARE(steps.size(), 4);
    QCOMPARE((QList<int>{steps[0].kind, steps[1].kind, steps[2].kind, steps[3].kind}),
             (QList<int>{cli::PictureStep::Gray, cli::PictureStep::Dither, cli::PictureStep::Crop,
                         cli::PictureStep::Fit}));
    QCOMPARE(steps[2].size, QSize(620, 420));
    QCOMPARE(steps[3].size, QSize(10, 20));
    for (const char* bad : {"scale=0x10", "fit=10", "gray=1x1", "crop=-1x5", "Gray"}) {
        QList<cli::PictureStep> none;
        QVERIFY2(!cli::parseSteps(QLatin1String(bad), &none, &error) && none.isEmpty(), bad);
    }
}

void ConvertTest::progressBar()
{
    QCOMPARE(cli::Progress::barLine(3, 12, "a.png: dither", 4600, 12),
             QStringLiteral("[###.........] 3/12 4s  a.png: dither"));
    // Never wider than a terminal line, whatever the label.
    const QString line = cli::Progress::barLine(1, 2, QString(200, 'x') + "end", 0);
    QVERIFY(line.size() <= 79);
    QVERIFY(line.endsWith("xend"));
}

QTEST_MAIN(ConvertTest)
#include "tst_convert.moc"
