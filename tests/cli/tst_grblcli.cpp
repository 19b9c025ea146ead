// GRBL files from tavo and the window: the firmware options and their
// refusals, the Machine dialog, and the preview of a GRBL file.
#include "../app/tavomaintest.h"

#include "cli/sheet.h"
#include "cli/toolpath.h"
#include "machinedialog.h"
#include "pictures.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace cli;

class TestGrblCli : public QObject
{
    Q_OBJECT

private slots:
    void refusals_data();
    void refusals();
    void preview();
    void machineDialog();

private:
    QTemporaryDir m_dir;
};

namespace {

int tavo(const QStringList& arguments, QString* out = nullptr, QString* err = nullptr)
{
    QProcess process;
    process.start(QStringLiteral(TAVO_EXECUTABLE), arguments);
    process.waitForFinished(60000);
    if (out)
        *out = QString::fromUtf8(process.readAllStandardOutput());
    if (err)
        *err = QString::fromUtf8(process.readAllStandardError());
    return process.exitCode();
}

} // namespace

void TestGrblCli::refusals_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("named");
    for (const char* value : {"0", "-5", "nan", "1e9", "abc"})
        QTest::addRow("s-max %s", value)
            << QStringList{"--firmware", "grbl", "--s-max", value} << QString("\"%1\"").arg(value);
    for (const char* value : {"-1", "nan", "51"})
        QTest::addRow("overscan %s", value)
            << QStringList{"--firmware", "grbl", "--overscan", value}
            << QString("\"%1\"").arg(value);
    QTest::newRow("firmware") << QStringList{"--firmware", "smoothie"} << "\"smoothie\"";
    QTest::newRow("marlin s-max") << QStringList{"--s-max", "500"} << "--s-max 500";
    QTest::newRow("marlin overscan")
        << QStringList{"--firmware", "marlin", "--overscan", "2"} << "--overscan 2";
    QTest::newRow("marlin one-way") << QStringList{"--one-way"} << "--one-way";
}

void TestGrblCli::refusals()
{
    QFETCH(QStringList, options);
    QFETCH(QString, named);
    const QString picture = m_dir.filePath("p.png");
    QVERIFY(pictures::grayRows({{0, 255}}).save(picture));
    const QString out = m_dir.filePath("refused.gcode");
    QString err;
    QCOMPARE(tavo(QStringList{"convert", picture, "-o", out} + options, nullptr, &err), 2);
    QVERIFY2(err.contains(named), qPrintable(err));
    QVERIFY(!QFile::exists(out));
}

// Dark pixels on the picture's left and bottom: drawn where the picture has
// them, with S-max as black, bounds widened by the overscan.
void TestGrblCli::preview()
{
    const QString picture = m_dir.filePath("corner.png");
    QVERIFY(pictures::grayRows({{0, 255, 255, 255}, {0, 0, 0, 255}}).save(picture));
    const QString file = m_dir.filePath("corner.gcode");
    QString out;
    QCOMPARE(tavo({"convert", picture, "-o", file, "--pitch", "0.5", "--power", "50", "--firmware",
                   "grbl", "--s-max", "255", "--overscan", "2", "--json"},
                  &out),
             0);
    QVERIFY2(out.contains("\"firmware\":\"grbl\""), qPrintable(out));

    QFile gcode(file);
    QVERIFY(gcode.open(QIODevice::ReadOnly));
    Sheet sheet(20, 1 << 24);
    ToolpathReader reader(Machine::Unknown, &sheet);
    QVERIFY(reader.read(gcode, nullptr));
    reader.finish();
    const ToolpathReport& report = reader.report();
    QVERIFY(report.grbl);
    QCOMPARE(report.sMax, 255.0);
    QCOMPARE(report.minX, -3.0);
    QCOMPARE(report.maxX, 2.5); // the second row starts 2 mm after its last dark pixel
    QCOMPARE(report.workLength, 2.0);
    // The sheet's X grows to the left, as the source picture is seen.
    QCOMPARE(sheet.meanAt(0.75, 0.5), 128.0f);
    QCOMPARE(sheet.meanAt(0.25, 0), 128.0f);
    QVERIFY(std::isnan(sheet.meanAt(-0.75, 0.5)));
}

// Refused values keep the dialog open and change nothing; OK applies the
// rest to the next file and the panel, and keeps it between runs.
void TestGrblCli::machineDialog()
{
    QStandardPaths::setTestModeEnabled(true);
    ScriptedDialogs dialogs;
    TavoMain window;
    window.findChild<QAction*>("actionMachine")->trigger();
    auto* dialog = window.findChild<MachineDialog*>("machineDialog");
    QVERIFY(dialog && dialog->isVisible());
    dialog->findChild<QComboBox*>("cmbFirmware")->setCurrentIndex(1);
    auto* sMax = dialog->findChild<QLineEdit*>("txtSMax");
    auto* overscan = dialog->findChild<QLineEdit*>("txtOverscan");
    const QList<QPair<QLineEdit*, QString>> refused = {
        {sMax, "0"},   {sMax, "-5"},     {sMax, "nan"},     {sMax, "1e9"},
        {sMax, "abc"}, {overscan, "-1"}, {overscan, "nan"}, {overscan, "51"}};
    for (const auto& [field, text] : refused) {
        sMax->setText("300");
        overscan->setText("1.5");
        field->setText(text);
        dialogs.clear();
        dialog->accept();
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialogs.prompts().size(), 1);
        QVERIFY(dialogs.prompts()[0].text.contains('"' + text + '"'));
    }
    QCOMPARE(TavoMainTest::gcodeGenerator(window).firmware.firmware, Firmware::Marlin);

    overscan->setText("1.5");
    dialog->findChild<QCheckBox*>("ckbOneWay")->setChecked(true);
    dialog->accept();
    const FirmwareSettings& used = TavoMainTest::gcodeGenerator(window).firmware;
    QCOMPARE(used.firmware, Firmware::Grbl);
    QCOMPARE(used.sMax, 300);
    QCOMPARE(used.overscan, 1.5);
    QVERIFY(used.oneWay);
    QCOMPARE(widget<QLabel>(window, "lblFirmware")->text(), QString("for GRBL 1.1"));
    QCOMPARE(loadFirmwareSettings().sMax, 300);
    QVERIFY(loadFirmwareSettings().oneWay);
}

QTEST_MAIN(TestGrblCli)
#include "tst_grblcli.moc"
