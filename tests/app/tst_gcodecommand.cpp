// The Gcode button as the user sees it: texts, binarising, report, refusals.

#include "tavomaintest.h"

#include "pictures.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextEdit>

namespace {

const QString previousReport = "the report of an earlier file";

} // namespace

class GcodeCommandTest : public QObject, protected WindowFixture
{
    Q_OBJECT

private slots:
    void initTestCase() { silenceOffscreenNoise(); }
    void init() { setUpWindow(); }
    void cleanup() { tearDownWindow(); }

    void nothingWritten_data();
    void nothingWritten();
    void writesFile_data();
    void writesFile();

private:
    // The picture lies outside dir, which then holds only what the command
    // writes. Null texts keep the panel's defaults.
    void open(const QImage& picture, int type, const QStringList& texts)
    {
        static QTemporaryDir pictures;
        const QString path = pictures.filePath("picture.png");
        QVERIFY(picture.save(path));
        openPicture(*window, *dialogs, path);
        widget<QTextEdit>(*window, "txtGcode")->setPlainText(previousReport);
        dialogs->clear();
        if (type == CncLine)
            click("btnCnc");
        else
            widget<QComboBox>(*window, "cmbType")->setCurrentIndex(type);
        QCOMPARE(TavoMainTest::gcodeType(*window), type);
        for (int i = 0; i < texts.size(); ++i)
            if (!texts[i].isNull())
                widget<QLineEdit>(*window, qPrintable(QString("txtParam%1").arg(i + 2)))
                    ->setText(texts[i]);
    }
    QString gcodeText() const { return widget<QTextEdit>(*window, "txtGcode")->toPlainText(); }
};

void GcodeCommandTest::nothingWritten_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QString>("name"); // answered in the file dialog, "" cancels it
    QTest::addColumn<QString>("message");

    const QString none;
    QTest::newRow("Laser Line power") << int(LaserLine) << QStringList{"0"} << none
                                      << "Invalid Parameters: Laser Power must be within (1 - 100)";
    QTest::newRow("cancelled file dialog") << int(LaserLine) << QStringList() << ""
                                           << "";
    QTest::newRow("Laser Line, a folder") << int(LaserLine) << QStringList() << "folder.gcode"
                                          << "Save Gcode: %1 cannot be written!";
}

// A refusal shows only its message, no file dialog. Nothing is written or
// reported, and only Laser Line binarises, once a file name is given.
void GcodeCommandTest::nothingWritten()
{
    QFETCH(int, type);
    QFETCH(QStringList, fields);
    QFETCH(QString, name);
    QFETCH(QString, message);

    const QImage picture = pictures::randomImage(40, 30, 1);
    open(picture, type, fields);
    const bool folder = name == "folder.gcode";
    if (folder)
        QVERIFY(QDir(dir->path()).mkdir(name));
    const QString path = name.isEmpty() ? name : dir->filePath(name);
    if (!name.isNull())
        dialogs->answerFileName(path);
    click("btnGcode");

    QStringList expected;
    if (!name.isNull())
        expected << "save Save Gcode: GCode(*.gcode)";
    if (!message.isEmpty())
        expected << "critical " + QString(message).replace("%1", path);
    QCOMPARE(dialogs->log(), expected);
    QCOMPARE(gcodeText(), previousReport);
    QCOMPARE(QDir(dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             folder ? QStringList{name} : QStringList());
    if (type == LaserLine && !name.isEmpty())
        QCOMPARE(working().convertToFormat(QImage::Format_Mono).convertToFormat(working().format()),
                 working());
    else
        QCOMPARE(working(), picture);
}

void GcodeCommandTest::writesFile_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("pitch");
    QTest::addColumn<int>("travel");
    QTest::addColumn<bool>("warns"); // beyond the machine's range

    const QStringList none;
    QTest::newRow("Laser Line defaults")
        << int(LaserLine) << none << QSize(40, 30) << "0.16" << 192 << false;
    QTest::newRow("Laser Dots typed, 875 high at 0.16")
        << int(LaserDots) << QStringList{"15", "0.4", "0100", "20"} << QSize(10, 875) << "0.16"
        << 1400 << true;
    QTest::newRow("CNC Line typed, 280 wide at 0.5")
        << int(CncLine) << QStringList{"100", "40", "1", "0500"} << QSize(280, 100) << "0.5"
        << 14000 << true;
    QTest::newRow("874 wide at 0.16")
        << int(CncLine) << none << QSize(874, 10) << "0.16" << 1398 << false;
}

void GcodeCommandTest::writesFile()
{
    QFETCH(int, type);
    QFETCH(QStringList, fields);
    QFETCH(QSize, size);
    QFETCH(QString, pitch);
    QFETCH(int, travel);
    QFETCH(bool, warns);

    const QImage picture = pictures::randomImage(size.width(), size.height(), 3);
    open(picture, type, fields);
    widget<QComboBox>(*window, "cmbParam1")->setCurrentText(pitch);
    // An older, longer file of that name is replaced, not overwritten in part.
    const QString path = dir->filePath("engraving.gcode");
    QFile older(path);
    QVERIFY(older.open(QIODevice::WriteOnly) && older.write(QByteArray(1 << 20, 'x')) > 0);
    older.close();

    dialogs->answerFileName(path);
    click("btnGcode");
    QCOMPARE(dialogs->prompts().size(), 1);

    // Only Laser Line binarises first (a manual threshold: tst_convert).
    ImageProcessor reference;
    reference.adoptImage(picture);
    if (type == LaserLine)
        reference.binaryImage();
    QCOMPARE(working(), *reference.workingImage());

    // The older file gave way whole; the bytes are the command-line tool's
    // (tst_convert), which the golden files pin down.
    QVERIFY(pictures::fileBytes(path).endsWith("M84\r\nG1 F2000\r\n") &&
            !pictures::fileBytes(path).contains("xxxx"));
    const QStringList report = gcodeText().split("\n\n");
    QCOMPARE(report.mid(0, 2),
             (QStringList{path + "\nHas been successfully generated!",
                          "Estimated travel length (mm): " + QString::number(travel)}));
    QVERIFY(report.value(2).contains(
        QRegularExpression("^Estimated processing time \\(min\\): \\d+$")));
    QCOMPARE(report.value(3), warns
                                  ? "The engraving path will be out of the max available range!\n"
                                    "You may have to modify the size of picture or the precision.\n"
                                  : "");
}

QTEST_MAIN(GcodeCommandTest)
#include "tst_gcodecommand.moc"
