// tavo convert against the window: the same picture, commands and texts give
// the same bytes and the same report. Its answers to bad input are in
// tst_badinput.
#include "../app/tavomaintest.h"

#include "cli/convert.h"
#include "gcode/parameters.h"
#include "pictures.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QProcess>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTextEdit>

namespace {

const QStringList typeNames{"laser-line", "laser-dots", "cnc-line"};
const QStringList parameterOptions[] = {
    {"--power", "--travel-speed", "--jump-speed", "--start-height"},
    {"--ignored-threshold", "--power-index", "--travel-speed", "--start-height"},
    {"--thickness", "--max-depth", "--min-depth", "--travel-speed"}};

// The same job done by hand, option by option in the order given, geometry
// buttons after sizing the view area. *prepared: the picture Gcode is given.
QString generateInWindow(const QString& picture, const QStringList& options, const QString& path,
                         QImage* prepared)
{
    ScriptedDialogs dialogs;
    TavoMain window;
    openPicture(window, dialogs, picture);
    static const char* const fields[] = {"txtParam2", "txtParam3", "txtParam4", "txtParam5"};
    int type = LaserLine;
    for (int i = 0; i + 1 < options.size(); i += 2) {
        const QString& option = options[i];
        const QString& value = options[i + 1];
        QList<cli::PictureStep> steps;
        QString error;
        if (option == "--type") {
            type = typeNames.indexOf(value);
            if (type == LaserDots)
                widget<QComboBox>(window, "cmbType")->setCurrentIndex(1);
            else if (type == CncLine)
                QTest::mouseClick(widget<QPushButton>(window, "btnCnc"), Qt::LeftButton);
        } else if (option == "--pitch") {
            widget<QComboBox>(window, "cmbParam1")
                ->setCurrentIndex(pixelSizeChoices().indexOf(value));
        } else if (option == "--threshold") {
            widget<QCheckBox>(window, "ckbThreshold")->setChecked(true);
            QLineEdit* field = widget<QLineEdit>(window, "txtThreshold");
            field->setText(value);
            emit field->editingFinished();
        } else if (option == "--zoom") {
            widget<QSpinBox>(window, "spbSize")->setValue(value.toInt());
        } else if (option == "--apply") {
            if (!cli::parseSteps(value, &steps, &error))
                qFatal("%s", qPrintable(error));
        } else if (parameterOptions[type].contains(option)) {
            widget<QLineEdit>(window, fields[parameterOptions[type].indexOf(option)])
                ->setText(value);
        } else {
            qFatal("no window field for %s", qPrintable(option));
        }
        for (const cli::PictureStep& step : steps) {
            if (step.size.isValid() && !setViewArea(window, step.size))
                qFatal("no view area of %dx%d", step.size.width(), step.size.height());
            const QImage& working = TavoMainTest::workingImage(window);
            if (step.kind == cli::PictureStep::Rotate && working.height() < working.width())
                dialogs.answerQuestion(Dialogs::Ok);
            const QString word = step.text.section('=', 0, 0); // "crop" clicks btnCrop
            const QByteArray button = ("btn" + word.left(1).toUpper() + word.mid(1)).toLatin1();
            QTest::mouseClick(widget<QPushButton>(window, button.constData()), Qt::LeftButton);
        }
    }
    *prepared = TavoMainTest::workingImage(window);
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

private:
    QTemporaryDir m_dir;
};

void ConvertTest::initTestCase()
{
    silenceOffscreenNoise();
    QVERIFY(m_dir.isValid());
}

void ConvertTest::sameBytesAsTheWindow_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<QStringList>("options"); // in the order the window is given them
    const auto row = [](const char* name, const QImage& image, const QStringList& options) {
        QTest::newRow(name) << image << options;
    };
    for (int type = LaserLine; type <= CncLine; ++type)
        row(qPrintable("golden case, " + typeNames[type]), pictures::goldenPicture(type),
            {"--type", typeNames[type], "--pitch", "0.5"});
    row("texts as typed, threshold, outline, rotate wide", pictures::randomImage(300, 120, 1),
        {"--pitch", "0.16", "--power", "50", "--travel-speed", "0700", "--jump-speed", "01000",
         "--start-height", "20.0", "--threshold", "100", "--apply", "outline,rotate"});
    row("zoom, soften and relief on the mill", pictures::randomImage(90, 70, 3),
        {"--type", "cnc-line", "--pitch", "1", "--thickness", "50.5", "--max-depth", "40",
         "--min-depth", "1.5", "--travel-speed", "250", "--zoom", "60", "--apply",
         "soften,relief"});
    row("every dot; crop, scale and fit; the other filters", pictures::randomImage(900, 700, 6),
        {"--type", "laser-dots", "--pitch", "0.16", "--ignored-threshold", "0", "--power-index",
         "0.7", "--travel-speed", "150", "--start-height", "5", "--zoom", "80", "--apply",
         "gray,crop=640x480,inverse,scale=760x560,pulverize,dither,fit=700x500,binary"});
}

void ConvertTest::sameBytesAsTheWindow()
{
    QFETCH(QImage, image);
    QFETCH(QStringList, options);
    const QString source = m_dir.filePath(QStringLiteral("same.png"));
    QVERIFY(image.save(source));
    const QString windowFile = m_dir.filePath(QStringLiteral("window.gcode"));
    QImage prepared;
    const QString windowReport = generateInWindow(source, options, windowFile, &prepared);

    const QString tavoFile = m_dir.filePath("tavo.gcode"), saved = m_dir.filePath("tavo.png");
    QProcess tavo;
    tavo.start(TAVO_EXECUTABLE,
               QStringList{"convert", source, "-o", tavoFile, "--save-picture", saved} + options);
    QVERIFY2(tavo.waitForFinished(120000) && tavo.exitStatus() == QProcess::NormalExit &&
                 tavo.exitCode() == 0,
             tavo.readAllStandardError());
    const QByteArray expected = pictures::fileBytes(windowFile);
    QVERIFY(expected.size() > 400);
    // Line by line, so a failure names the first line that differs.
    QCOMPARE(pictures::fileBytes(tavoFile).split('\n'), expected.split('\n'));
    QCOMPARE(QString::fromLocal8Bit(tavo.readAllStandardOutput()),
             saved + " has been successfully saved!\n" + tavoFile +
                 windowReport.mid(windowFile.size()));
    // The picture as prepared, not the black and white one Laser Line writes from.
    QCOMPARE(QImage(saved).convertToFormat(QImage::Format_RGB32), prepared);
}

QTEST_MAIN(ConvertTest)
#include "tst_convert.moc"
