// The toolpath preview dock: the very drawing and report tavo preview makes
// of the same file, and bad files refused by name with the preview kept.
#include "pictures.h"
#include "previewpane.h"
#include "tavomaintest.h"

#include <QAction>
#include <QPlainTextEdit>
#include <QProcess>

#include <sys/stat.h>

class PreviewPaneTest : public QObject, private WindowFixture
{
    Q_OBJECT

private slots:
    void init() { setUpWindow(); }
    void cleanup() { tearDownWindow(); }
    void sameAsTavo_data();
    void sameAsTavo();
    void refused_data();
    void refused();
    void cancelKeepsPrevious();

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
    for (int type : {LaserLine, LaserDots, CncLine})
        QTest::addRow("type %d", type) << type;
}

// The file the Gcode button writes is shown at once, as tavo draws it.
void PreviewPaneTest::sameAsTavo()
{
    QFETCH(int, type);
    const QString picture = dir->filePath("picture.png"), path = dir->filePath("out.gcode");
    QVERIFY(pictures::randomImage(60, 40, 7).save(picture));
    openPicture(*window, *dialogs, picture);
    QTest::mouseClick(widget<QPushButton>(*window, type == CncLine ? "btnCnc" : "btnLaser"),
                      Qt::LeftButton);
    widget<QComboBox>(*window, "cmbType")->setCurrentIndex(type == LaserDots);
    dialogs->answerFileName(path);
    QTest::mouseClick(widget<QPushButton>(*window, "btnGcode"), Qt::LeftButton);
    QVERIFY(pane().isVisible() && !pane().drawing().isNull());

    QProcess tavo;
    tavo.start(TAVO_EXECUTABLE, {"preview", path, "-o", dir->filePath("tavo.png"), "--px-per-mm",
                                 QString::number(pane().pixelsPerMm(), 'g', 17)});
    QVERIFY(tavo.waitForFinished(60000) && tavo.exitCode() == 0);
    const QString printed = QString::fromUtf8(tavo.readAllStandardOutput());
    QCOMPARE(report(), printed.left(printed.indexOf("Preview: ")));
    const QImage& shown = pane().drawing();
    QCOMPARE(shown,
             QImage(dir->filePath("tavo.png")).convertToFormat(shown.format(), shown.colorTable()));
}

void PreviewPaneTest::refused_data()
{
    QTest::addColumn<QByteArray>("content"); // of a regular file
    QTest::addColumn<QString>("why");
    QTest::newRow("missing") << QByteArray() << "No such file";
    QTest::newRow("folder") << QByteArray() << "it is a folder";
    QTest::newRow("FIFO") << QByteArray() << "it is not a regular file";
    QTest::newRow("empty") << QByteArray("") << "it is empty";
    QTest::newRow("not G-code") << QByteArray("G1 X1 Y1\nhello\nG1 Xz\n")
                                << "line 2 is not G-code (not a G-code command: hello)";
}

void PreviewPaneTest::refused()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, why);
    const QString good = dir->filePath("good.gcode"), path = dir->filePath("bad.gcode");
    const auto write = [](const QString& name, const QByteArray& bytes) {
        QFile file(name);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    };
    const QByteArray tag = QTest::currentDataTag();
    QVERIFY(write(good, "M106 S128\nG1 X10 Y5 F600\n"));
    QVERIFY(tag == "folder" ? QDir(dir->path()).mkdir("bad.gcode")
            : tag == "FIFO" ? mkfifo(QFile::encodeName(path), 0600) == 0
                            : tag == "missing" || write(path, content));
    preview(good);
    const auto shown = std::make_pair(pane().drawing().cacheKey(), report());
    QVERIFY(dialogs->prompts().size() == 1 && !shown.second.isEmpty());
    preview(path);
    const ScriptedDialogs::Prompt& message = dialogs->prompts().last();
    QVERIFY2(message.kind == ScriptedDialogs::Critical &&
                 message.text.startsWith("Cannot preview " + path + ": " + why),
             qPrintable(message.text));
    QCOMPARE(std::make_pair(pane().drawing().cacheKey(), report()), shown);
}

// A cancelled preview keeps the one shown before, without a message.
void PreviewPaneTest::cancelKeepsPrevious()
{
    QVERIFY(pictures::randomImage(40, 30, 1).save(dir->filePath("p.png")));
    openPicture(*window, *dialogs, dir->filePath("p.png"));
    dialogs->answerFileName(dir->filePath("a.gcode"));
    QTest::mouseClick(widget<QPushButton>(*window, "btnGcode"), Qt::LeftButton);
    const QImage first = pane().drawing();
    // b.gcode is written in full, its preview cancelled.
    QTest::mouseClick(widget<QPushButton>(*window, "btnCnc"), Qt::LeftButton);
    dialogs->cancelProgressAt(2.0);
    dialogs->cancelProgressAt(0.0);
    dialogs->answerFileName(dir->filePath("b.gcode"));
    QTest::mouseClick(widget<QPushButton>(*window, "btnGcode"), Qt::LeftButton);
    QVERIFY(QFile::exists(dir->filePath("b.gcode")) && pane().drawing() == first);
    preview(dir->filePath("b.gcode"));
    QVERIFY(pane().drawing() != first && dialogs->log().filter("critical").isEmpty());
}

QTEST_MAIN(PreviewPaneTest)
#include "tst_previewpane.moc"
