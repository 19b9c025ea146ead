// The window with the user's answers scripted: exit, hover, Open, Save, types,
// and the slots the form connects by name.

#include "tavomaintest.h"

#include "pictures.h"

#include <QAccessible>
#include <QAccessibleInterface>
#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSpinBox>

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
    void hoverFrame();
    void open_data();
    void open();
    void save_data();
    void save();
    void gcodeTypeFollowsCommands();

    // The panels wait for a picture; the settings column is capped from the
    // designed width, not the screen's; every command reaches its slot.
    void beforeAnyPicture()
    {
        QVERIFY(!widget(*window, "controlWidget")->isEnabled());
        QVERIFY(!widget(*window, "imageWidget")->isEnabled());
        window->showNormal();
        window->resize(1900, 1000);
        QTRY_COMPARE(widget(*window, "settingWidget")->width(), 340);
        QCOMPARE(spoken({"txtFile", "txtGcode", "txtThreshold", "spbSize", "sldSize"}),
                 QStringList({"Picture File", "Report", "Threshold", "Zoom (%)", "Zoom (%)"}));
        // connectSlotsByName only warns about a slot whose object or signal
        // is missing: a renamed widget would leave its command dead.
        const QMetaObject* meta = window->metaObject();
        for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
            const QByteArray slot = meta->method(i).methodSignature();
            if (!slot.startsWith("on_"))
                continue;
            const int split = slot.lastIndexOf('_', slot.indexOf('('));
            const QObject* object = window->findChild<QObject*>(slot.mid(3, split - 3));
            QVERIFY2(object && object->metaObject()->indexOfSignal(slot.mid(split + 1)) >= 0, slot);
        }
    }

private:
    void trigger(const char* name) { window->findChild<QAction*>(name)->trigger(); }
    // What a screen reader says for each widget.
    QStringList spoken(const QStringList& names) const
    {
        QStringList said;
        for (const QString& name : names)
            said << QAccessible::queryAccessibleInterface(widget(*window, qPrintable(name)))
                        ->text(QAccessible::Name);
        return said;
    }
    QString panel() const
    {
        return texts(*window, {"lblCmd", "lblParam1", "lblParam2", "lblParam3", "lblParam4",
                               "lblParam5", "txtParam2", "txtParam3", "txtParam4", "txtParam5"})
            .join('|');
    }
};

// File > Exit and the window manager's close are driven by the end-to-end test.
void WindowTest::exitQuestion_data()
{
    QTest::addColumn<int>("answer");
    QTest::newRow("Yes") << int(Dialogs::Yes);
    QTest::newRow("Cancel") << int(Dialogs::Cancel);
}

void WindowTest::exitQuestion()
{
    QFETCH(int, answer);
    const bool closes = answer == Dialogs::Yes; // and nothing else

    openImage(pictures::randomImage(50, 40, 6));
    const qint64 kept = working().cacheKey();
    dialogs->answerQuestion(Dialogs::Button(answer));
    QCOMPARE(window->close(), closes);
    QCOMPARE(window->isVisible(), !closes);
    QCOMPARE(dialogs->log(), QStringList("question Exit: Are you sure to exit TavoAssistant?"));
    QCOMPARE(dialogs->prompts().first().buttons, Dialogs::Yes | Dialogs::Cancel);
    if (!closes)
        QCOMPARE(working().cacheKey(), kept); // the picture as it was
}

// Entering frames a button, leaving flattens it, and nothing else does.
void WindowTest::hoverFrame()
{
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QEvent leave(QEvent::Leave), focus(QEvent::FocusIn);
    for (QPushButton* button : window->findChildren<QPushButton*>()) {
        QString frames;
        for (QEvent* event : {&focus, static_cast<QEvent*>(&enter), &focus, &leave, &focus}) {
            QApplication::sendEvent(button, event);
            frames += button->isFlat() ? '-' : 'F';
        }
        QCOMPARE(button->objectName() + " " + frames, button->objectName() + " -FF--");
    }
}

void WindowTest::open_data()
{
    QTest::addColumn<bool>("loads");
    QTest::newRow("btnOpen") << true;
    QTest::newRow("text named .png") << false;
}

void WindowTest::open()
{
    QFETCH(bool, loads);
    const QImage picture = loads ? pictures::randomImage(640, 480, 3) : QImage();
    const QString path = dir->filePath("photo 640x480.png");
    QFile file(path);
    QVERIFY(loads ? picture.save(path)
                  : file.open(QIODevice::WriteOnly) && file.write("some words\n") == 11);
    file.close();
    dialogs->answerFileName(path);
    click("btnOpen"); // File > Open: tst_commandfuzz

    QStringList log = {"open Open Image: " + pictureFilter};
    if (!loads)
        log << "critical Critical Error: Failed to load " + path + ", please try again later!";
    QCOMPARE(dialogs->log(), log);
    QCOMPARE(working(), picture);
    QCOMPARE(widget<QLabel>(*window, "lblImage")->pixmap(Qt::ReturnByValue).size(), picture.size());
    // A failed load leaves the window as after any open, the panels included.
    QCOMPARE(texts(*window, {"txtFile", "lblInfo", "lblSize", "cmbParam1"}),
             (QStringList{path, loads ? "Image Information: 640 X 480" : "Image Information: 0 X 0",
                          loads ? "Size = X: 102.40 * Y: 76.80" : "Size = X: 0.00 * Y: 0.00",
                          pixelSizes + " @0.16"}));
    QCOMPARE(panel(), laserLine);
    QCOMPARE(TavoMainTest::gcodeType(*window), 0);
    QVERIFY(widget(*window, "controlWidget")->isEnabled() &&
            widget(*window, "imageWidget")->isEnabled());
}

void WindowTest::save_data()
{
    QTest::addColumn<QString>("name");   // empty: the dialog cancelled
    QTest::addColumn<QString>("result"); // empty: no prompt after the dialog
    QTest::newRow("png") << "saved.png"
                         << "information Save Image: %1 has been successfully saved!";
    QTest::newRow("suffix no writer knows") << "picture.xyz"
                                            << "critical Save Image: %1 cannot be saved!";
    QTest::newRow("cancelled") << ""
                               << "";
}

void WindowTest::save()
{
    QFETCH(QString, name);
    QFETCH(QString, result);
    openImage(pictures::randomImage(90, 60, 11));
    // What is saved is the working image, zoom and processing included.
    widget<QSpinBox>(*window, "spbSize")->setValue(50);
    processor().workingImage()->invertPixels();
    const QString path = name.isEmpty() ? QString() : dir->filePath(name);
    // An older file of that name gives way to a saved picture only.
    QFile older(path);
    if (!name.isEmpty())
        QVERIFY(older.open(QIODevice::WriteOnly) && older.write("older file") == 10);
    older.close();
    const QStringList files = QDir(dir->path()).entryList(QDir::Files | QDir::Hidden);
    dialogs->clear();
    dialogs->answerFileName(path);
    trigger("actionSave");

    QStringList log = {"save Save Image: " + pictureFilter};
    if (!result.isEmpty())
        log << result.arg(path);
    QCOMPARE(dialogs->log(), log);
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files | QDir::Hidden), files); // no scratch file
    if (result.startsWith("information")) {
        QCOMPARE(working().size(), QSize(45, 30));
        QCOMPARE(QImage(path).convertToFormat(QImage::Format_RGB32), working());
    } else if (!name.isEmpty()) {
        QCOMPARE(older.open(QIODevice::ReadOnly) ? older.readAll() : "", QByteArray("older file"));
    }
}

// The type, whether the type list is open to choice, and the panel shown.
void WindowTest::gcodeTypeFollowsCommands()
{
    auto* cmbType = widget<QComboBox>(*window, "cmbType");
    openImage(pictures::randomImage(10, 10, 14));
    const auto now = [&] {
        return QString("%1 %2 ").arg(TavoMainTest::gcodeType(*window)).arg(cmbType->isEnabled()) +
               panel();
    };
    cmbType->setCurrentIndex(1);
    QCOMPARE(now(), "1 1 " + laserDots);
    // CNC, then Laser again: back to the laser type the list still names, the
    // defaults replacing whatever was typed.
    for (const char* name : {"txtParam2", "txtParam3", "txtParam4", "txtParam5"})
        widget<QLineEdit>(*window, name)->setText("edited");
    click("btnCnc");
    QCOMPARE(now(), "2 0 " + cncLine);
    // Screen readers name each field after its label, whatever the type.
    QCOMPARE(spoken({"txtParam2", "txtParam3", "txtParam4", "txtParam5"}),
             texts(*window, {"lblParam2", "lblParam3", "lblParam4", "lblParam5"}));
    click("btnLaser");
    QCOMPARE(now(), "1 1 " + laserDots);
    cmbType->setCurrentIndex(0);
    QCOMPARE(now(), "0 1 " + laserLine);
    // A second picture brings back the laser defaults; the zoom, the rotation
    // flag and the type list's own state stay.
    widget<QComboBox>(*window, "cmbParam1")->setCurrentIndex(20);
    widget<QSpinBox>(*window, "spbSize")->setValue(60);
    click("btnCnc");
    TavoMainTest::setRotated(*window, true);
    openImage(pictures::randomImage(80, 40, 8)); // as loaded, whatever the zoom
    QCOMPARE(now(), "0 0 " + laserLine);
    QCOMPARE(widget<QComboBox>(*window, "cmbParam1")->currentText(), QString("0.16"));
    QVERIFY(TavoMainTest::rotated(*window) && widget<QSpinBox>(*window, "spbSize")->value() == 60);
}

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
