// The Gcode button: the panel's texts reach the file, Laser Line alone turns
// the picture black and white first, and the report, the refusals, the
// cancelled dialog and the unwritable paths as the user sees them.

#include "tavomaintest.h"

#include "gcode/parameters.h"
#include "pictures.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTextEdit>

namespace {

const char* const fieldNames[] = {"txtParam2", "txtParam3", "txtParam4", "txtParam5"};

const QString previousReport = "the report of an earlier file";

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool onlyBlackAndWhite(const QImage& image)
{
    const QImage mono = image.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
    return image == mono.convertToFormat(image.format());
}

QString report(const QString& path, int travel, double minutes)
{
    return path + "\nHas been successfully generated!\n\nEstimated travel length (mm): " +
           QString::number(travel) +
           "\n\nEstimated processing time (min): " + QString::number(int(minutes)) + "\n\n";
}

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
    void rangeWarning_data();
    void rangeWarning();
    void unwritablePath_data();
    void unwritablePath();

private:
    // The picture comes from outside the test's folder, so the folder holds
    // only what the command writes. Null texts keep the panel's defaults.
    void open(const QImage& picture, int type, const QStringList& texts = QStringList())
    {
        static QTemporaryDir pictures;
        const QString path = pictures.filePath("picture.png");
        QVERIFY(picture.save(path));
        openPicture(*window, *dialogs, path);
        QCOMPARE(working(), picture);
        widget<QTextEdit>(*window, "txtGcode")->setPlainText(previousReport);
        dialogs->clear();
        if (type == CncLine)
            QTest::mouseClick(widget<QPushButton>(*window, "btnCnc"), Qt::LeftButton);
        else
            widget<QComboBox>(*window, "cmbType")->setCurrentIndex(type);
        QCOMPARE(TavoMainTest::gcodeType(*window), type);
        for (int i = 0; i < texts.size(); ++i)
            if (!texts[i].isNull())
                widget<QLineEdit>(*window, fieldNames[i])->setText(texts[i]);
    }
    QStringList entries() const
    {
        return QDir(dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    QString gcodeText() const { return widget<QTextEdit>(*window, "txtGcode")->toPlainText(); }
    const QImage& working() const { return TavoMainTest::workingImage(*window); }
    void generate() { QTest::mouseClick(widget<QPushButton>(*window, "btnGcode"), Qt::LeftButton); }
};

void GcodeCommandTest::nothingWritten_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QString>("message"); // empty: the file dialog, cancelled

    QTest::newRow("Laser Line power")
        << int(LaserLine) << QStringList{"0"} << "Laser Power must be within (1 - 100)";
    QTest::newRow("Laser Line jump speed")
        << int(LaserLine) << QStringList{QString(), QString(), "10001"}
        << "Jump Speed must be within (1 - 10000)";
    QTest::newRow("Laser Dots power index") << int(LaserDots) << QStringList{QString(), "0.09"}
                                            << "Power Index must be within (0.1 - 1.0)";
    QTest::newRow("CNC Line depths") << int(CncLine) << QStringList{QString(), QString(), "40"}
                                     << "Min Depth must be smaller than Max Depth";
    QTest::newRow("cancelled file dialog") << int(LaserLine) << QStringList() << QString();
}

// A refusal shows nothing but its message: no file dialog. Neither it nor a
// cancelled dialog turns the picture black and white or writes anything.
void GcodeCommandTest::nothingWritten()
{
    QFETCH(int, type);
    QFETCH(QStringList, fields);
    QFETCH(QString, message);

    const QImage picture = pictures::randomImage(40, 30, 1);
    open(picture, type, fields);
    if (message.isEmpty())
        dialogs->answerFileName(QString());
    generate();

    QCOMPARE(dialogs->prompts().size(), 1);
    const ScriptedDialogs::Prompt& prompt = dialogs->prompts()[0];
    if (message.isEmpty()) {
        QCOMPARE(prompt.kind, ScriptedDialogs::SaveFile);
        QCOMPARE(prompt.title, QString("Save Gcode"));
        QCOMPARE(prompt.text, QString("GCode(*.gcode)"));
        QCOMPARE(prompt.dir, QString());
    } else {
        QCOMPARE(prompt.kind, ScriptedDialogs::Critical);
        QCOMPARE(prompt.title, QString("Invalid Parameters"));
        QCOMPARE(prompt.text, message);
        // The generator holds the panel's texts all the same.
        const GcodeGenerator& generator = TavoMainTest::gcodeGenerator(*window);
        QCOMPARE(generator.paramNames, gcodeParameters(type).labels);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(generator.paramValues[std::size_t(i + 1)],
                     widget<QLineEdit>(*window, fieldNames[i])->text());
    }
    QCOMPARE(working(), picture);
    QCOMPARE(gcodeText(), previousReport);
    QCOMPARE(entries(), QStringList());
}

void GcodeCommandTest::writesFile_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<int>("manualThreshold"); // -1: automatic

    QTest::newRow("Laser Line defaults") << int(LaserLine) << QStringList() << -1;
    QTest::newRow("Laser Line typed, manual threshold")
        << int(LaserLine) << QStringList{"100", "0500", "01000", "20.0"} << 60;
    QTest::newRow("Laser Dots typed")
        << int(LaserDots) << QStringList{"15", "0.4", "0100", "20"} << -1;
    QTest::newRow("CNC Line typed") << int(CncLine) << QStringList{"100", "40", "1", "0500"} << -1;
}

void GcodeCommandTest::writesFile()
{
    QFETCH(int, type);
    QFETCH(QStringList, fields);
    QFETCH(int, manualThreshold);

    const QImage picture = pictures::randomImage(40, 30, 3);
    open(picture, type, fields);
    if (manualThreshold >= 0) {
        QTest::keyClick(widget<QCheckBox>(*window, "ckbThreshold"), Qt::Key_Space);
        auto* txtThreshold = widget<QLineEdit>(*window, "txtThreshold");
        QTest::keyClicks(txtThreshold, QString::number(manualThreshold));
        QTest::keyClick(txtThreshold, Qt::Key_Return);
    }
    // An older, longer file of that name is replaced, not overwritten in part.
    const QString path = dir->filePath("engraving.gcode");
    QFile older(path);
    QVERIFY(older.open(QIODevice::WriteOnly) && older.write(QByteArray(1 << 20, 'x')) > 0);
    older.close();

    dialogs->answerFileName(path);
    generate();
    QCOMPARE(dialogs->prompts().size(), 1);

    // Only Laser Line turns the picture black and white first, with the
    // threshold in force.
    ImageProcessor reference;
    reference.adoptImage(picture);
    if (type == LaserLine) {
        reference.setManualThreshold(manualThreshold >= 0);
        reference.setThreshold(manualThreshold);
        reference.binaryImage();
        QVERIFY(onlyBlackAndWhite(working()));
    }
    QCOMPARE(working(), *reference.workingImage());

    // The file is what the generator makes of that picture and the panel's
    // texts as typed, the pitch in slot 1.
    GcodeGenerator expected;
    expected.paramNames = gcodeParameters(type).labels;
    expected.paramValues[0] = "0.16";
    for (std::size_t i = 0; i < 4; ++i)
        expected.paramValues[i + 1] = fields.value(int(i), gcodeParameters(type).defaults[i]);
    expected.setImage(reference.workingImage());
    const QString expectedPath = dir->filePath("expected.gcode");
    QVERIFY(expected.generate(type, expectedPath));
    QCOMPARE(contents(path), contents(expectedPath));
    QCOMPARE(gcodeText(), report(path, int(40 * 30 * 0.16), expected.processingTime()));
}

void GcodeCommandTest::rangeWarning_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QString>("pitch");
    QTest::addColumn<int>("travel");
    QTest::addColumn<bool>("warns");

    QTest::newRow("280 wide at 0.5") << QSize(280, 100) << "0.5" << 14000 << true;
    QTest::newRow("280 high at 0.5") << QSize(100, 280) << "0.5" << 14000 << true;
    QTest::newRow("279x279 at 0.5") << QSize(279, 279) << "0.5" << 38920 << false;
    QTest::newRow("875 wide at 0.16") << QSize(875, 10) << "0.16" << 1400 << true;
    QTest::newRow("875 high at 0.16") << QSize(10, 875) << "0.16" << 1400 << true;
    QTest::newRow("874 wide at 0.16") << QSize(874, 10) << "0.16" << 1398 << false;
}

void GcodeCommandTest::rangeWarning()
{
    QFETCH(QSize, picture);
    QFETCH(QString, pitch);
    QFETCH(int, travel);
    QFETCH(bool, warns);

    // CNC Line keeps the picture's size and content.
    open(pictures::randomImage(picture.width(), picture.height(), 4), CncLine);
    widget<QComboBox>(*window, "cmbParam1")->setCurrentText(pitch);
    QCOMPARE(widget<QComboBox>(*window, "cmbParam1")->currentText(), pitch);
    const QString path = dir->filePath("range.gcode");
    dialogs->answerFileName(path);
    generate();

    const double minutes = TavoMainTest::gcodeGenerator(*window).processingTime();
    const QString warning = "The engraving path will be out of the max available range!\n"
                            "You may have to modify the size of picture or the precision.\n";
    QCOMPARE(gcodeText(), report(path, travel, minutes) + (warns ? warning : QString()));
}

void GcodeCommandTest::unwritablePath_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("name");

    const char* const typeNames[] = {"Laser Line", "Laser Dots", "CNC Line"};
    for (int type : {int(LaserLine), int(LaserDots), int(CncLine)}) {
        QTest::addRow("%s, missing folder", typeNames[type])
            << type << "no such folder/engraving.gcode";
        QTest::addRow("%s, a folder", typeNames[type]) << type << "folder.gcode";
    }
}

void GcodeCommandTest::unwritablePath()
{
    QFETCH(int, type);
    QFETCH(QString, name);

    open(pictures::randomImage(40, 30, 5), type);
    const bool folder = !name.contains('/');
    if (folder)
        QVERIFY(QDir(dir->path()).mkdir(name));
    const QString path = dir->filePath(name);
    dialogs->answerFileName(path);
    generate();

    QCOMPARE(dialogs->prompts().size(), 2);
    QCOMPARE(dialogs->prompts()[1].kind, ScriptedDialogs::Critical);
    QCOMPARE(dialogs->prompts()[1].title, QString("Save Gcode"));
    QCOMPARE(dialogs->prompts()[1].text,
             path + (type == CncLine ? " cannot be writed!" : " cannot be written!"));
    QCOMPARE(gcodeText(), previousReport);
    QCOMPARE(entries(), folder ? QStringList{name} : QStringList());
    QVERIFY(folder ? QFileInfo(path).isDir() : !QFileInfo::exists(path));
    // The black and white picture stays, written or not.
    QCOMPARE(onlyBlackAndWhite(working()), type == LaserLine);
}

QTEST_MAIN(GcodeCommandTest)
#include "tst_gcodecommand.moc"
