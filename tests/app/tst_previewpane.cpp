// The toolpath preview dock: the very drawing and report tavo preview makes
// of the same file, and bad files refused by name with the preview kept.
#include "gcode/gcodegenerator.h"
#include "pictures.h"
#include "previewpane.h"
#include "tavomaintest.h"

#include <QAction>
#include <QDockWidget>
#include <QPlainTextEdit>
#include <QProcess>

#include <sys/stat.h>

class PreviewPaneTest : public QObject, private WindowFixture
{
    Q_OBJECT

private slots:
    void initTestCase() { silenceOffscreenNoise(); }
    void init() { setUpWindow(); }
    void cleanup() { tearDownWindow(); }
    void sameAsTavo_data();
    void sameAsTavo();
    void refused_data();
    void refused();

private:
    PreviewPane& pane() const { return *window->findChild<PreviewPane*>(); }
    QString report() const { return pane().findChild<QPlainTextEdit*>()->toPlainText(); }
    void preview(const QString& path)
    {
        dialogs->answerFileName(path);
        window->findChild<QAction*>("actionPreviewGcode")->trigger();
    }
};

void PreviewPaneTest::sameAsTavo_data()
{
    QTest::addColumn<int>("type");
    QTest::newRow("Laser Line") << int(LaserLine);
    QTest::newRow("Laser Dots") << int(LaserDots);
    QTest::newRow("CNC Line") << int(CncLine);
}

// The file the Gcode button writes is shown at once, as tavo draws it.
void PreviewPaneTest::sameAsTavo()
{
    QFETCH(int, type);
    const QString picture = dir->filePath("picture.png"), path = dir->filePath("out.gcode");
    QVERIFY(pictures::randomImage(60, 40, 7).save(picture));
    openPicture(*window, *dialogs, picture);
    if (type == CncLine)
        QTest::mouseClick(widget<QPushButton>(*window, "btnCnc"), Qt::LeftButton);
    else
        widget<QComboBox>(*window, "cmbType")->setCurrentIndex(type);
    dialogs->answerFileName(path);
    QTest::mouseClick(widget<QPushButton>(*window, "btnGcode"), Qt::LeftButton);
    QVERIFY(window->findChild<QDockWidget*>("previewDock")->isVisible());
    QVERIFY(!pane().drawing().isNull());

    QProcess tavo;
    tavo.start(TAVO_EXECUTABLE, {"preview", path, "-o", dir->filePath("tavo.png"), "--px-per-mm",
                                 QString::number(pane().pixelsPerMm(), 'g', 17)});
    QVERIFY(tavo.waitForFinished(60000) && tavo.exitCode() == 0);
    const QString printed = QString::fromUtf8(tavo.readAllStandardOutput());
    QCOMPARE(report(), printed.left(printed.indexOf("Preview: ")));
    QCOMPARE(pane().drawing(),
             QImage(dir->filePath("tavo.png"))
                 .convertToFormat(pane().drawing().format(), pane().drawing().colorTable()));
}

void PreviewPaneTest::refused_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content"); // null: made below
    QTest::addColumn<QString>("why");
    QTest::newRow("missing") << "none.gcode" << QByteArray() << "No such file";
    QTest::newRow("folder") << "folder.gcode" << QByteArray() << "it is a folder";
    QTest::newRow("FIFO") << "fifo.gcode" << QByteArray() << "it is not a regular file";
    QTest::newRow("empty") << "empty.gcode" << QByteArray("") << "it is empty";
    QTest::newRow("not G-code") << "text.gcode" << QByteArray("G1 X1 Y1\nhello\nG1 Xz\n")
                                << "line 2 is not G-code (not a G-code command: hello)";
}

void PreviewPaneTest::refused()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, why);
    const QString good = dir->filePath("good.gcode"), path = dir->filePath(name);
    QFile file(content.isNull() ? good : path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content.isNull() ? "M106 S128\nG1 X10 Y5 F600\n" : content.constData());
    file.close();
    QVERIFY(name != "folder.gcode" || QDir(dir->path()).mkdir(name));
    QVERIFY(name != "fifo.gcode" || mkfifo(QFile::encodeName(path), 0600) == 0);
    if (content.isNull()) {
        preview(good);
        QVERIFY(dialogs->prompts().size() == 1 && !pane().drawing().isNull());
    }
    const qint64 shown = pane().drawing().cacheKey();
    const QString shownReport = report();
    preview(path);
    QCOMPARE(dialogs->prompts().last().kind, ScriptedDialogs::Critical);
    QVERIFY2(dialogs->prompts().last().text.startsWith("Cannot preview " + path + ": " + why),
             qPrintable(dialogs->prompts().last().text));
    QCOMPARE(pane().drawing().cacheKey(), shown);
    QCOMPARE(report(), shownReport);
}

QTEST_MAIN(PreviewPaneTest)
#include "tst_previewpane.moc"
