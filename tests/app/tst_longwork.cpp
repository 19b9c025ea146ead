// Long work in the window, driven through the progress hook: a Cancel leaves
// no trace, and work run to its end gives what it gives without progress.

#include "tavomaintest.h"

#include "pictures.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenuBar>

class LongWorkTest : public QObject, protected WindowFixture
{
    Q_OBJECT

private slots:
    void initTestCase() { silenceOffscreenNoise(); }
    void init() { setUpWindow(); }
    void cleanup() { tearDownWindow(); }

    void command_data();
    void command();
};

void LongWorkTest::command_data()
{
    // next.png is opened, .gcode written (grbl.gcode for GRBL), else saved
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("type");
    QTest::addColumn<double>("cancelAt"); // past 1: never

    for (const double at : {0.0, 0.5, 2.0}) {
        const QByteArray how = at > 1 ? "done" : "cancelled at " + QByteArray::number(at);
        QTest::newRow("open " + how) << "next.png" << -1 << at;
        QTest::newRow("save bmp " + how) << "saved.bmp" << -1 << at;
        QTest::newRow("save png " + how) << "saved.png" << -1 << at;
        for (const QString firmware : {"marlin", "grbl"}) {
            const QByteArray row = firmware.toLatin1() + " " + how;
            QTest::newRow("laser line " + row) << firmware + ".gcode" << int(LaserLine) << at;
            QTest::newRow("laser dots " + row) << firmware + ".gcode" << int(LaserDots) << at;
            QTest::newRow("cnc line " + row) << firmware + ".gcode" << int(CncLine) << at;
        }
    }
}

void LongWorkTest::command()
{
    QFETCH(QString, file);
    QFETCH(int, type);
    QFETCH(double, cancelAt);
    const bool cancelled = cancelAt <= 1;
    const bool opens = file == "next.png";
    QVERIFY(pictures::randomImage(240, 300, 1).save(dir->filePath("first.png")));
    QVERIFY(pictures::randomImage(300, 200, 2).save(dir->filePath("next.png")));
    openPicture(*window, *dialogs, dir->filePath("first.png"));
    if (type == CncLine)
        QTest::mouseClick(widget<QPushButton>(*window, "btnCnc"), Qt::LeftButton);
    else if (type >= 0)
        widget<QComboBox>(*window, "cmbType")->setCurrentIndex(type);
    if (file == "grbl.gcode")
        TavoMainTest::gcodeGenerator(*window).firmware.firmware = Firmware::Grbl;

    const QString target = dir->filePath(opens ? file : "old-" + file);
    QFile older(target);
    QVERIFY(opens || (older.open(QIODevice::WriteOnly) && older.write("older")));
    older.close();
    const QByteArray before = pictures::fileBytes(target);
    const QImage picture = TavoMainTest::workingImage(*window);
    const QStringList entries = QDir(dir->path()).entryList(QDir::Files);
    dialogs->clear();
    dialogs->cancelProgressAt(cancelAt);
    dialogs->answerFileName(target);
    if (opens)
        QTest::mouseClick(widget<QPushButton>(*window, "btnOpen"), Qt::LeftButton);
    else if (type >= 0)
        QTest::mouseClick(widget<QPushButton>(*window, "btnGcode"), Qt::LeftButton);
    else
        window->findChild<QAction*>("actionSave")->trigger();

    // A file written is read back into the preview, with progress of its own.
    QCOMPARE(dialogs->progressLabels().size(), type >= 0 && !cancelled ? 2 : 1);
    QVERIFY(dialogs->progressLabels()[0].contains(QFileInfo(target).fileName() + "…"));
    QVERIFY(window->centralWidget()->isEnabled() && window->menuBar()->isEnabled());
    QVERIFY(widget(*window, "controlWidget")->isEnabled());
    if (cancelled) {
        QCOMPARE(dialogs->prompts().size(), 1); // the file dialog, no message
        QCOMPARE(QDir(dir->path()).entryList(QDir::Files), entries);
        QCOMPARE(pictures::fileBytes(target), before);
        // Laser Line makes the picture black and white before it writes.
        QVERIFY(TavoMainTest::workingImage(*window) == picture || type == LaserLine);
        return;
    }
    // The same work without progress, for comparison.
    const QString plain = dir->filePath("plain-" + file);
    ImageProcessor processor;
    if (opens) {
        QVERIFY(processor.loadImage(target));
        QCOMPARE(TavoMainTest::workingImage(*window), *processor.workingImage());
    } else if (type >= 0) {
        QVERIFY(TavoMainTest::gcodeGenerator(*window).generate(type, plain));
        QCOMPARE(pictures::fileBytes(target), pictures::fileBytes(plain));
    } else {
        QVERIFY(TavoMainTest::imageProcessor(*window).saveImage(plain));
        QCOMPARE(pictures::fileBytes(target), pictures::fileBytes(plain));
        QCOMPARE(dialogs->prompts().size(), 2); // the file dialog and "saved"
    }
    QVERIFY(pictures::fileBytes(target) != before || opens);
}

QTEST_MAIN(LongWorkTest)
#include "tst_longwork.moc"
