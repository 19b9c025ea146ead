// The Gcode button: the panel's texts reach the file, Laser Line alone turns
// the picture black and white first, and the report, the refusals, the
// cancelled dialog and the unwritable paths as the user sees them.

#include "tavomaintest.h"

#include "pictures.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTextEdit>

using Texts = std::array<QString, 5>;

namespace {

const char* const fieldNames[] = {"txtParam2", "txtParam3", "txtParam4", "txtParam5"};

const Texts labels[] = {
    {"Laser Beam (mm)", "Laser Power (%)", "Travel Speed (mm/min)", "Jump Speed (mm/min)",
     "Start Height (mm)"},
    {"Laser Beam (mm)", "Ignored Threshold", "Power Index", "Travel Speed (mm/min)",
     "Start Height (mm)"},
    {"CNC Precision (mm)", "Sheet Thickness (mm)", "Max Depth (mm)", "Min Depth (mm)",
     "Travel Speed (mm/min)"},
};

const QString previousReport = "the report of an earlier file";

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QList<QByteArray> lines(const QByteArray& bytes)
{
    return bytes.split('\n');
}

bool onlyBlackAndWhite(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != 0xFF000000u && image.pixel(x, y) != 0xFFFFFFFFu)
                return false;
    return true;
}

QString report(const QString& path, int travel, double minutes)
{
    return path + "\nHas been successfully generated!\n\nEstimated travel length (mm): " +
           QString::number(travel) +
           "\n\nEstimated processing time (min): " + QString::number(int(minutes)) + "\n\n";
}

const QString outOfRangeWarning = "The engraving path will be out of the max available range!\n"
                                  "You may have to modify the size of picture or the precision.\n";

} // namespace

class GcodeCommandTest : public QObject, protected WindowFixture
{
    Q_OBJECT

private slots:
    void initTestCase() { silenceOffscreenNoise(); }
    void init();
    void cleanup();

    void refusedParameters_data();
    void refusedParameters();
    void cancelledDialog();
    void writesFile_data();
    void writesFile();
    void rangeWarning_data();
    void rangeWarning();
    void unwritablePath_data();
    void unwritablePath();

private:
    void open(const QImage& picture);
    void selectType(int type);
    void setFields(const QStringList& texts);
    QStringList entries() const
    {
        return QDir(dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    QString gcodeText() const { return widget<QTextEdit>(*window, "txtGcode")->toPlainText(); }
    const QImage& working() const { return TavoMainTest::workingImage(*window); }
    void generate(const QString& path)
    {
        dialogs->answerFileName(path);
        QTest::mouseClick(widget<QPushButton>(*window, "btnGcode"), Qt::LeftButton);
    }
};

void GcodeCommandTest::init()
{
    setUpWindow();
}

void GcodeCommandTest::cleanup()
{
    tearDownWindow();
}

// Opens the picture from a file outside the test's folder, so the folder
// holds only what the command writes.
void GcodeCommandTest::open(const QImage& picture)
{
    static QTemporaryDir pictures;
    const QString path = pictures.filePath("picture.png");
    QVERIFY(picture.save(path));
    openPicture(*window, *dialogs, path);
    QCOMPARE(working(), picture);
    widget<QTextEdit>(*window, "txtGcode")->setPlainText(previousReport);
    dialogs->clear();
}

void GcodeCommandTest::selectType(int type)
{
    if (type == CncLine)
        QTest::mouseClick(widget<QPushButton>(*window, "btnCnc"), Qt::LeftButton);
    else
        widget<QComboBox>(*window, "cmbType")->setCurrentIndex(type);
    QCOMPARE(TavoMainTest::gcodeType(*window), type);
}

void GcodeCommandTest::setFields(const QStringList& texts)
{
    for (int i = 0; i < texts.size(); ++i)
        if (!texts[i].isNull())
            widget<QLineEdit>(*window, fieldNames[i])->setText(texts[i]);
}

void GcodeCommandTest::refusedParameters_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QStringList>("fields"); // null: keep the default
    QTest::addColumn<QString>("message");

    QTest::newRow("Laser Line power")
        << int(LaserLine) << QStringList{"0"} << "Laser Power must be within (1 - 100)";
    QTest::newRow("Laser Line jump speed")
        << int(LaserLine) << QStringList{QString(), QString(), "10001"}
        << "Jump Speed must be within (1 - 10000)";
    QTest::newRow("Laser Dots power index") << int(LaserDots) << QStringList{QString(), "0.09"}
                                            << "Power Index must be within (0.1 - 1.0)";
    QTest::newRow("CNC Line depths") << int(CncLine) << QStringList{QString(), QString(), "40"}
                                     << "Min Depth must be smaller than Max Depth";
}

// Nothing but the message: no file dialog, no black and white picture.
void GcodeCommandTest::refusedParameters()
{
    QFETCH(int, type);
    QFETCH(QStringList, fields);
    QFETCH(QString, message);

    const QImage picture = pictures::randomImage(40, 30, 1);
    open(picture);
    selectType(type);
    setFields(fields);
    QTest::mouseClick(widget<QPushButton>(*window, "btnGcode"), Qt::LeftButton);

    QCOMPARE(dialogs->prompts().size(), 1);
    QCOMPARE(dialogs->prompts()[0].kind, ScriptedDialogs::Critical);
    QCOMPARE(dialogs->prompts()[0].title, QString("Invalid Parameters"));
    QCOMPARE(dialogs->prompts()[0].text, message);
    QCOMPARE(working(), picture);
    QCOMPARE(gcodeText(), previousReport);
    QCOMPARE(entries(), QStringList());
    // The generator holds the panel's texts all the same.
    const GcodeGenerator& generator = TavoMainTest::gcodeGenerator(*window);
    QCOMPARE(generator.paramNames, labels[type]);
    for (int i = 0; i < 4; ++i)
        QCOMPARE(generator.paramValues[std::size_t(i + 1)],
                 widget<QLineEdit>(*window, fieldNames[i])->text());
}

void GcodeCommandTest::cancelledDialog()
{
    const QImage picture = pictures::randomImage(40, 30, 2);
    open(picture);
    generate(QString());

    QCOMPARE(dialogs->prompts().size(), 1);
    const ScriptedDialogs::Prompt& prompt = dialogs->prompts()[0];
    QCOMPARE(prompt.kind, ScriptedDialogs::SaveFile);
    QCOMPARE(prompt.title, QString("Save Gcode"));
    QCOMPARE(prompt.text, QString("GCode(*.gcode)"));
    QCOMPARE(prompt.dir, QString());
    QCOMPARE(working(), picture);
    QCOMPARE(gcodeText(), previousReport);
    QCOMPARE(entries(), QStringList());
}

void GcodeCommandTest::writesFile_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<int>("manualThreshold"); // -1: automatic
    QTest::addColumn<QStringList>("expectedLines");

    QTest::newRow("Laser Line defaults")
        << int(LaserLine) << QStringList() << -1
        << QStringList{"; Line Laser", "; Laser Beam (mm): 0.16", "; Laser Power (%): 100",
                       "; Jump Speed (mm/min): 1000", "G1 Z20"};
    QTest::newRow("Laser Line typed, manual threshold")
        << int(LaserLine) << QStringList{"100", "0500", "01000", "20.0"} << 60
        << QStringList{"; Travel Speed (mm/min): 0500", "; Jump Speed (mm/min): 01000", "G1 Z20.0"};
    QTest::newRow("Laser Dots typed")
        << int(LaserDots) << QStringList{"15", "0.4", "0100", "20"} << -1
        << QStringList{"; Dots Laser", "; Travel Speed (mm/min): 0100"};
    QTest::newRow("CNC Line typed")
        << int(CncLine) << QStringList{"100", "40", "1", "0500"} << -1
        << QStringList{"; Line CNC", "; CNC Precision (mm): 0.16", "G1 F0500"};
}

void GcodeCommandTest::writesFile()
{
    QFETCH(int, type);
    QFETCH(QStringList, fields);
    QFETCH(int, manualThreshold);
    QFETCH(QStringList, expectedLines);

    const QImage picture = pictures::randomImage(40, 30, 3);
    open(picture);
    selectType(type);
    setFields(fields);
    if (manualThreshold >= 0) {
        QTest::keyClick(widget<QCheckBox>(*window, "ckbThreshold"), Qt::Key_Space);
        auto* txtThreshold = widget<QLineEdit>(*window, "txtThreshold");
        QTest::keyClicks(txtThreshold, QString::number(manualThreshold));
        QTest::keyClick(txtThreshold, Qt::Key_Return);
    }
    // An older, longer file of that name is replaced, not overwritten in part.
    const QString path = dir->filePath("engraving.gcode");
    {
        QFile older(path);
        QVERIFY(older.open(QIODevice::WriteOnly));
        older.write(QByteArray(1 << 20, 'x'));
    }

    generate(path);

    QCOMPARE(dialogs->prompts().size(), 1);
    QCOMPARE(dialogs->prompts()[0].kind, ScriptedDialogs::SaveFile);

    // Only Laser Line turns the picture black and white first, with the
    // threshold in force.
    ImageProcessor reference;
    reference.adoptImage(picture);
    if (type == LaserLine) {
        if (manualThreshold >= 0) {
            reference.setManualThreshold(true);
            reference.setThreshold(manualThreshold);
        }
        reference.binaryImage();
        QVERIFY(onlyBlackAndWhite(working()));
    }
    QCOMPARE(working(), *reference.workingImage());

    // The file is what the generator makes of that picture and the panel.
    Texts values;
    values[0] = "0.16";
    for (int i = 0; i < 4; ++i)
        values[std::size_t(i + 1)] = widget<QLineEdit>(*window, fieldNames[i])->text();
    GcodeGenerator expected;
    expected.paramNames = labels[type];
    expected.paramValues = values;
    expected.setImage(reference.workingImage());
    const QString expectedPath = dir->filePath("expected.gcode");
    QVERIFY(expected.generate(type, expectedPath));
    const QByteArray written = contents(path);
    QCOMPARE(written, contents(expectedPath));

    const QList<QByteArray> writtenLines = lines(written);
    for (const QString& line : expectedLines)
        QVERIFY2(writtenLines.contains(line.toUtf8() + '\r'), qPrintable(line));
    if (fields.size() > 2)
        QVERIFY(written.contains(" F" + fields[type == CncLine ? 3 : 2].toUtf8() + "\r\n"));

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

    open(pictures::randomImage(picture.width(), picture.height(), 4));
    selectType(CncLine); // keeps the picture's size and content
    widget<QComboBox>(*window, "cmbParam1")->setCurrentText(pitch);
    QCOMPARE(widget<QComboBox>(*window, "cmbParam1")->currentText(), pitch);
    const QString path = dir->filePath("range.gcode");
    generate(path);

    const double minutes = TavoMainTest::gcodeGenerator(*window).processingTime();
    QCOMPARE(gcodeText(), report(path, travel, minutes) + (warns ? outOfRangeWarning : QString()));
}

void GcodeCommandTest::unwritablePath_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("failure");

    const QString written = " cannot be written!";
    for (int type : {int(LaserLine), int(LaserDots), int(CncLine)}) {
        const char* typeName = type == LaserLine   ? "Laser Line"
                               : type == LaserDots ? "Laser Dots"
                                                   : "CNC Line";
        const QString failure = type == CncLine ? " cannot be writed!" : written;
        QTest::addRow("%s, missing folder", typeName)
            << type << "no such folder/engraving.gcode" << failure;
        QTest::addRow("%s, a folder", typeName) << type << "folder.gcode" << failure;
    }
}

void GcodeCommandTest::unwritablePath()
{
    QFETCH(int, type);
    QFETCH(QString, name);
    QFETCH(QString, failure);

    const QImage picture = pictures::randomImage(40, 30, 5);
    open(picture);
    selectType(type);
    const bool folder = !name.contains('/');
    if (folder)
        QVERIFY(QDir(dir->path()).mkdir(name));
    const QString path = dir->filePath(name);
    generate(path);

    QCOMPARE(dialogs->prompts().size(), 2);
    QCOMPARE(dialogs->prompts()[1].kind, ScriptedDialogs::Critical);
    QCOMPARE(dialogs->prompts()[1].title, QString("Save Gcode"));
    QCOMPARE(dialogs->prompts()[1].text, path + failure);
    QCOMPARE(gcodeText(), previousReport);
    QCOMPARE(entries(), folder ? QStringList{name} : QStringList());
    QVERIFY(folder ? QFileInfo(path).isDir() : !QFileInfo::exists(path));
    // The black and white picture stays, written or not.
    QCOMPARE(onlyBlackAndWhite(working()), type == LaserLine);
}

QTEST_MAIN(GcodeCommandTest)
#include "tst_gcodecommand.moc"
