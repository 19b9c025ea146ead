// The window with the user's answers scripted: the exit question, the hover
// frame, Open and Save, and the machine and type commands.

#include "tavomaintest.h"

#include "pictures.h"
#include "qtdialogs.h"

#include <QAction>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSpinBox>
#include <QTextEdit>
#include <QTimer>
#include <QWindow>

namespace {

const QString pictureFilter = "JPEG(*.jpg);;PNG(*.png);;BMP(*.bmp)";

const QString pixelSizes =
    "0.02 0.04 0.06 0.08 0.1 0.12 0.14 0.16 0.18 0.2 0.22 0.24 0.26 0.28 0.3 0.32 0.34 0.36 0.38 "
    "0.4 0.42 0.44 0.46 0.48 0.5 0.52 0.54 0.56 0.58 0.6 0.65 0.7 0.75 0.8 0.85 0.9 0.95 1";

// A panel as shown: heading, five labels, four defaults.
const QString laserLine =
    "Gcode = Laser Line|Laser Beam (mm)|Laser Power (%)|Travel Speed (mm/min)|"
    "Jump Speed (mm/min)|Start Height (mm)|100|500|1000|20";
const QString laserDots = "Gcode = Laser Dots|Laser Beam (mm)|Ignored Threshold|Power Index|"
                          "Travel Speed (mm/min)|Start Height (mm)|15|0.4|100|20";
const QString cncLine = "Gcode = CNC Line|CNC Precision (mm)|Sheet Thickness (mm)|Max Depth (mm)|"
                        "Min Depth (mm)|Travel Speed (mm/min)|100|40|1|500";

// What each widget shows; for a list, its items and the current one.
QStringList texts(const TavoMain& window, std::initializer_list<const char*> names)
{
    QStringList result;
    for (const char* name : names) {
        QWidget* w = widget(window, name);
        if (auto* combo = qobject_cast<QComboBox*>(w)) {
            QStringList items;
            for (int i = 0; i < combo->count(); ++i)
                items << combo->itemText(i);
            result << items.join(' ') + " @" + combo->currentText();
        } else {
            result << w->property(w->inherits("QTextEdit") ? "plainText" : "text").toString();
        }
    }
    return result;
}

// One line per prompt, so a whole exchange compares at once.
QStringList promptLog(const ScriptedDialogs& dialogs)
{
    const char* kinds[] = {"critical", "information", "question", "open", "save"};
    QStringList log;
    for (const ScriptedDialogs::Prompt& p : dialogs.prompts())
        log << QString("%1 %2: %3%4").arg(kinds[p.kind], p.title, p.text, p.dir);
    return log;
}

QByteArray encodedPng(const QImage& image)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

// A valid PNG whose header, checksum included, claims 100000 x 100000 pixels.
QByteArray hugePng()
{
    QByteArray png = encodedPng(pictures::randomImage(1, 1, 16));
    quint32 crc = ~0u;
    for (int i = 12; i < 29; ++i) { // the IHDR chunk's type and data
        if (i >= 16 && i < 24)
            png[i] = "\0\1\x86\xa0"[i % 4]; // 100000, big-endian
        crc ^= quint8(png[i]);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    for (int i = 0; i < 4; ++i)
        png[29 + i] = char(~crc >> (24 - 8 * i));
    return png;
}

} // namespace

class WindowTest : public QObject, protected WindowFixture
{
    Q_OBJECT

private slots:
    void initTestCase() { silenceOffscreenNoise(); }
    void init() { setUpWindow(); }
    void cleanup() { tearDownWindow(); }

    void exitQuestion_data();
    void exitQuestion();
    void hoverFrame_data();
    void hoverFrame();

    void open_data();
    void open();
    void openAgain();
    void save_data();
    void save();

    void gcodeTypeFollowsCommands();

private:
    QString writePicture(const QString& name, const QImage& image)
    {
        const QString path = dir->filePath(name);
        return image.save(path) ? path : QString();
    }
    void settle();
    QStringList state() const;
    void openFile(const QString& fileName) { openPicture(*window, *dialogs, fileName); }
    void click(const char* name)
    {
        QTest::mouseClick(widget<QPushButton>(*window, name), Qt::LeftButton);
    }
    void trigger(const char* name) { window->findChild<QAction*>(name)->trigger(); }
    int gcodeType() const { return TavoMainTest::gcodeType(*window); }
    const QImage& working() const { return TavoMainTest::workingImage(*window); }
    QString panel() const
    {
        return texts(*window, {"lblCmd", "lblParam1", "lblParam2", "lblParam3", "lblParam4",
                               "lblParam5", "txtParam2", "txtParam3", "txtParam4", "txtParam5"})
            .join('|');
    }
};

// A picture open, processed, with every setting moved from its default.
void WindowTest::settle()
{
    openFile(writePicture("settled.png", pictures::randomImage(50, 40, 6)));
    widget<QComboBox>(*window, "cmbParam1")->setCurrentIndex(20);
    click("btnCnc");
    widget<QLineEdit>(*window, "txtParam3")->setText("77");
    TavoMainTest::setRotated(*window, true);
    TavoMainTest::imageProcessor(*window).workingImage()->invertPixels();
}

// Everything but the picture that a refused command must leave as it was.
QStringList WindowTest::state() const
{
    return texts(*window, {"txtFile", "lblSize", "lblCmd", "txtParam3", "cmbParam1"})
           << QString::number(gcodeType()) << QString::number(TavoMainTest::rotated(*window));
}

void WindowTest::exitQuestion_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("escape"); // pressed on the production box

    for (const char* how : {"close", "File > Exit", "window frame"}) {
        QTest::addRow("%s, Yes", how) << how << int(Dialogs::Yes) << false;
        QTest::addRow("%s, Cancel", how) << how << int(Dialogs::Cancel) << false;
        QTest::addRow("%s, No", how) << how << int(Dialogs::No) << false;
        QTest::addRow("%s, Escape", how) << how << int(Dialogs::Cancel) << true;
    }
}

void WindowTest::exitQuestion()
{
    QFETCH(QString, how);
    QFETCH(int, answer);
    QFETCH(bool, escape);
    const bool closes = answer == Dialogs::Yes; // and nothing else

    settle();
    const QImage before = working();
    const QStringList kept = state();
    dialogs->clear();

    QtDialogs realDialogs;
    Dialogs* scripted = escape ? Dialogs::install(&realDialogs) : nullptr;
    QString asked;
    if (escape) {
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            asked = "question " + box->windowTitle() + ": " + box->text();
            QTest::keyClick(box, Qt::Key_Escape);
        });
    } else {
        dialogs->answerQuestion(Dialogs::Button(answer));
    }
    if (how == "close")
        QCOMPARE(window->close(), closes);
    else if (how == "File > Exit")
        trigger("actionExit");
    else
        window->windowHandle()->close();
    if (scripted)
        Dialogs::install(scripted);

    QCOMPARE(window->isVisible(), !closes);
    if (!escape) {
        asked = promptLog(*dialogs).join('\n');
        QCOMPARE(dialogs->prompts().first().buttons, Dialogs::Yes | Dialogs::Cancel);
        QCOMPARE(dialogs->prompts().first().defaultButton, Dialogs::NoButton);
    }
    QCOMPARE(asked, QString("question Exit: Are you sure to exit TavoAssistant?"));
    if (!closes) {
        QCOMPARE(working(), before);
        QCOMPARE(state(), kept);
    }
}

void WindowTest::hoverFrame_data()
{
    QTest::addColumn<int>("index");
    const QStringList order = QString("btnOpen btnReset btnLaser btnCnc btnGcode btnGray btnBinary "
                                      "btnDither btnInverse btnRelief btnPulverize btnOutline "
                                      "btnSoften btnScale btnFit btnCrop btnRotate")
                                  .split(' ');
    for (int i = 0; i < order.size(); ++i)
        QTest::newRow(qPrintable(order[i])) << i;
}

void WindowTest::hoverFrame()
{
    QFETCH(int, index);

    QPushButton* button = TavoMainTest::hoverButtons(*window)[index];
    QCOMPARE(button->objectName(), QString(QTest::currentDataTag()));
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QEvent leave(QEvent::Leave), focus(QEvent::FocusIn);
    // The filter never swallows the event: the button still gets it.
    QVERIFY(!TavoMainTest::eventFilter(*window, button, &enter));
    QVERIFY(!TavoMainTest::eventFilter(*window, button, &leave));

    // Through the installed filter; other events leave the frame alone.
    QString frames;
    for (QEvent* event : std::initializer_list<QEvent*>{&focus, &enter, &focus, &leave, &focus}) {
        QApplication::sendEvent(button, event);
        frames += button->isFlat() ? '-' : 'F';
    }
    QCOMPARE(frames, QString("-FF--"));
}

void WindowTest::open_data()
{
    QTest::addColumn<bool>("fromMenu");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("contents"); // null: no file at all
    QTest::addColumn<bool>("loads");

    const QByteArray png = encodedPng(pictures::randomImage(640, 480, 3));
    QTest::newRow("btnOpen") << false << "photo 640x480.png" << png << true;
    QTest::newRow("File > Open") << true << "photo 640x480.png" << png << true;
    QTest::newRow("missing file") << false << "missing.png" << QByteArray() << false;
    QTest::newRow("zero bytes") << false << "empty.png" << QByteArray("") << false;
    QTest::newRow("truncated PNG") << false << "cut.png" << png.left(png.size() / 2) << false;
    QTest::newRow("text named .jpg") << false << "notes.jpg" << QByteArray("some words\n") << false;
    QTest::newRow("100000 x 100000 PNG") << false << "huge.png" << hugePng() << false;
}

void WindowTest::open()
{
    QFETCH(bool, fromMenu);
    QFETCH(QString, name);
    QFETCH(QByteArray, contents);
    QFETCH(bool, loads);

    const QString path = dir->filePath(name);
    if (!contents.isNull()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size());
    }
    dialogs->answerFileName(path);
    if (fromMenu)
        trigger("actionOpen");
    else
        click("btnOpen");

    QStringList log = {"open Open Image: " + pictureFilter};
    if (!loads)
        log << "critical Critical Error: Failed to load " + path + ", please try again later!";
    QCOMPARE(promptLog(*dialogs), log);
    const QImage picture = loads ? QImage::fromData(contents) : QImage();
    QCOMPARE(working(), picture);
    QCOMPARE(TavoMainTest::imageProcessor(*window).sourceImage(), picture);
    QCOMPARE(widget<QLabel>(*window, "lblImage")->pixmap(Qt::ReturnByValue).size(), picture.size());
    // A failed load leaves the window as after any open, the panels included.
    QCOMPARE(texts(*window, {"txtFile", "lblInfo", "lblSize", "cmbParam1"}),
             (QStringList{path, loads ? "Image Information: 640 X 480" : "Image Information: 0 X 0",
                          loads ? "Size = X: 102.40 * Y: 76.80" : "Size = X: 0.00 * Y: 0.00",
                          pixelSizes + " @0.16"}));
    QCOMPARE(panel(), laserLine);
    QCOMPARE(gcodeType(), 0);
    QVERIFY(widget(*window, "controlWidget")->isEnabled() &&
            widget(*window, "imageWidget")->isEnabled());

    const QImage next = pictures::randomImage(12, 7, 5);
    openFile(writePicture("after.png", next));
    QCOMPARE(working(), next);
}

// Cancelled before any picture, nothing becomes usable; cancelled after
// one, everything stays. A second picture refills the panel with the laser
// defaults; the zoom, the rotation flag and the type list's own state stay.
void WindowTest::openAgain()
{
    dialogs->answerFileName(QString());
    click("btnOpen");
    QVERIFY(!widget(*window, "controlWidget")->isEnabled());
    QCOMPARE(gcodeType(), -1);
    QCOMPARE(widget<QComboBox>(*window, "cmbParam1")->count(), 0);

    openFile(writePicture("one.png", pictures::randomImage(200, 100, 7)));
    auto* cmbType = widget<QComboBox>(*window, "cmbType");
    cmbType->setCurrentIndex(1);
    widget<QSpinBox>(*window, "spbSize")->setValue(60);
    QCOMPARE(working().size(), QSize(120, 60));
    settle();
    const QImage before = working();
    const QStringList kept = state();
    dialogs->answerFileName(QString());
    trigger("actionOpen");
    QCOMPARE(working(), before);
    QCOMPARE(state(), kept);

    const QImage next = pictures::randomImage(80, 40, 8);
    openFile(writePicture("two.png", next));
    QCOMPARE(working(), next); // as loaded, whatever the zoom
    QCOMPARE(state().mid(2),
             (QStringList{"Gcode = Laser Line", "500", pixelSizes + " @0.16", "0", "1"}));
    QCOMPARE(widget<QSpinBox>(*window, "spbSize")->value(), 60);
    QCOMPARE(cmbType->currentIndex(), 1);
    QVERIFY(!cmbType->isEnabled());
}

void WindowTest::save_data()
{
    QTest::addColumn<QString>("opened"); // empty: nothing opened
    QTest::addColumn<QString>("name");   // empty: the dialog cancelled
    QTest::addColumn<QString>("result"); // empty: no prompt after the dialog

    auto row = [](const char* tag, const char* opened, const char* name, const char* result) {
        QTest::newRow(tag) << QString(opened) << QString(name) << QString(result);
    };
    row("png", "source.png", "saved.png", "saved");
    row("bmp", "source.png", "saved.bmp", "saved");
    row("jpg", "source.png", "saved.jpg", "saved lossy");
    row("upper-case suffix", "source.png", "SAVED.PNG", "saved");
    row("suffix no writer knows", "source.png", "picture.xyz", "cannot");
    row("no suffix", "source.png", "picture", "cannot");
    row("missing folder", "source.png", "no such folder/picture.png", "cannot");
    row("cancelled", "source.png", "", "");
    row("no picture yet", "", "nothing.png", "");
    row("after a failed open", "missing.png", "nothing.png", "");
}

void WindowTest::save()
{
    QFETCH(QString, opened);
    QFETCH(QString, name);
    QFETCH(QString, result);

    if (opened == "source.png") {
        openFile(writePicture(opened, pictures::randomImage(90, 60, 11)));
        // What is saved is the working image, processing included.
        widget<QSpinBox>(*window, "spbSize")->setValue(50);
        TavoMainTest::imageProcessor(*window).workingImage()->invertPixels();
        QCOMPARE(working().size(), QSize(45, 30));
    } else if (!opened.isEmpty()) {
        openFile(dir->filePath(opened));
    }
    const QString path = name.isEmpty() ? QString() : dir->filePath(name);
    // An older file of that name gives way to a saved picture only.
    QFile older(path);
    if (!name.isEmpty() && !name.contains('/'))
        QVERIFY(older.open(QIODevice::WriteOnly) && older.write("older file") == 10);
    older.close();
    const QStringList files = QDir(dir->path()).entryList(QDir::Files | QDir::Hidden);
    dialogs->clear();
    dialogs->answerFileName(path);
    trigger("actionSave");

    QStringList log = {"save Save Image: " + pictureFilter};
    if (result.startsWith("saved"))
        log << "information Save Image: " + path + " has been successfully saved!";
    else if (result == "cannot")
        log << "critical Save Image: " + path + " cannot be saved!";
    QCOMPARE(promptLog(*dialogs), log);
    // No scratch file stays behind.
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files | QDir::Hidden), files);
    if (result.startsWith("saved")) {
        const QImage saved(path);
        QCOMPARE(saved.size(), working().size());
        if (result != "saved lossy")
            QCOMPARE(saved.convertToFormat(QImage::Format_RGB32), working());
    } else if (older.exists()) {
        QVERIFY(older.open(QIODevice::ReadOnly));
        QCOMPARE(older.readAll(), QByteArray("older file"));
    }
}

// The type, whether the type list is open to choice, and the panel shown.
void WindowTest::gcodeTypeFollowsCommands()
{
    auto* cmbType = widget<QComboBox>(*window, "cmbType");
    openFile(writePicture("types.png", pictures::randomImage(10, 10, 14)));
    const auto now = [&] {
        return QString("%1 %2 ").arg(gcodeType()).arg(cmbType->isEnabled()) + panel();
    };
    QCOMPARE(now(), "0 1 " + laserLine);
    click("btnCnc");
    QCOMPARE(now(), "2 0 " + cncLine);
    click("btnLaser");
    QCOMPARE(now(), "0 1 " + laserLine);
    cmbType->setCurrentIndex(1);
    QCOMPARE(now(), "1 1 " + laserDots);

    // CNC, then Laser again: back to the laser type the list still names, the
    // defaults replacing whatever was typed.
    for (const char* name : {"txtParam2", "txtParam3", "txtParam4", "txtParam5"})
        widget<QLineEdit>(*window, name)->setText("edited");
    click("btnCnc");
    QCOMPARE(now(), "2 0 " + cncLine);
    click("btnLaser");
    QCOMPARE(now(), "1 1 " + laserDots);
    cmbType->setCurrentIndex(0);
    QCOMPARE(now(), "0 1 " + laserLine);
    // Any other type shows the CNC panel; only the texts change, not the type
    // list nor the generator.
    for (int type : {-1, 3}) {
        TavoMainTest::setupParameterPanel(*window, type);
        QCOMPARE(now(), QString("%1 1 ").arg(type) + cncLine);
        QCOMPARE(cmbType->currentIndex(), 0);
        QCOMPARE(TavoMainTest::gcodeGenerator(*window).paramValues[1], QString("0"));
    }
    // None of this touches the pitch choice.
    QCOMPARE(texts(*window, {"cmbParam1"}).first(), pixelSizes + " @0.16");
}

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
