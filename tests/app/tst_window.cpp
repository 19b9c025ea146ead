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
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <QWindow>

#include <QtEndian>

namespace {

const QString pictureFilter = "JPEG(*.jpg);;PNG(*.png);;BMP(*.bmp)";

const QStringList pixelSizes = {"0.02", "0.04", "0.06", "0.08", "0.1",  "0.12", "0.14", "0.16",
                                "0.18", "0.2",  "0.22", "0.24", "0.26", "0.28", "0.3",  "0.32",
                                "0.34", "0.36", "0.38", "0.4",  "0.42", "0.44", "0.46", "0.48",
                                "0.5",  "0.52", "0.54", "0.56", "0.58", "0.6",  "0.65", "0.7",
                                "0.75", "0.8",  "0.85", "0.9",  "0.95", "1"};

QStringList comboItems(const QComboBox* combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

QByteArray pngChunk(const char* type, const QByteArray& data)
{
    QByteArray body = QByteArray(type, 4) + data;
    quint32 crc = 0xFFFFFFFFu;
    for (unsigned char byte : body) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    crc ^= 0xFFFFFFFFu;
    QByteArray chunk(4, '\0');
    qToBigEndian<quint32>(quint32(data.size()), chunk.data());
    QByteArray tail(4, '\0');
    qToBigEndian<quint32>(crc, tail.data());
    return chunk + body + tail;
}

// A PNG whose header claims a picture far beyond any memory.
QByteArray hugePngHeader()
{
    QByteArray header(13, '\0');
    qToBigEndian<quint32>(100000, header.data());
    qToBigEndian<quint32>(100000, header.data() + 4);
    header[8] = 8; // bits per channel
    header[9] = 6; // RGBA
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header) +
           pngChunk("IDAT", QByteArray::fromHex("789c030000000001")) + pngChunk("IEND", {});
}

} // namespace

class WindowTest : public QObject, protected WindowFixture
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void exitQuestion_data();
    void exitQuestion();
    void exitThroughRealMessageBox_data();
    void exitThroughRealMessageBox();
    void cancelledExitKeepsEverything();

    void hoverFrame_data();
    void hoverFrame();
    void hoverButtonsAreThePushButtons();
    void hoverWithTheMouse();

    void open_data();
    void open();
    void openFailure_data();
    void openFailure();
    void openCancelled();
    void openAgainRefillsPanel();
    void openKeepsZoomAndTypeChoice();

    void save_data();
    void save();
    void saveFailure_data();
    void saveFailure();
    void saveCancelled();
    void saveWithoutPicture();

    void gcodeTypeFollowsCommands();
    void parameterPanel_data();
    void parameterPanel();
    void panelDefaultsReplaceEdits();

private:
    QString writePicture(const QString& name, const QImage& image);
    void openFile(const QString& fileName) { openPicture(*window, *dialogs, fileName); }
};

void WindowTest::initTestCase()
{
    silenceOffscreenNoise();
}

void WindowTest::init()
{
    setUpWindow();
}

void WindowTest::cleanup()
{
    tearDownWindow();
}

QString WindowTest::writePicture(const QString& name, const QImage& image)
{
    const QString path = dir->filePath(name);
    if (!image.save(path))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void WindowTest::exitQuestion_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("closes");

    for (const char* how : {"close", "File > Exit", "window frame"}) {
        QTest::addRow("%s, Yes", how) << how << int(Dialogs::Yes) << true;
        QTest::addRow("%s, Cancel", how) << how << int(Dialogs::Cancel) << false;
        QTest::addRow("%s, No", how) << how << int(Dialogs::No) << false;
    }
}

void WindowTest::exitQuestion()
{
    QFETCH(QString, how);
    QFETCH(int, answer);
    QFETCH(bool, closes);

    dialogs->answerQuestion(Dialogs::Button(answer));
    if (how == "close")
        QCOMPARE(window->close(), closes);
    else if (how == "File > Exit")
        window->findChild<QAction*>("actionExit")->trigger();
    else
        window->windowHandle()->close();

    QCOMPARE(window->isVisible(), !closes);
    QCOMPARE(dialogs->prompts().size(), 1);
    const ScriptedDialogs::Prompt& prompt = dialogs->prompts().first();
    QCOMPARE(prompt.kind, ScriptedDialogs::Question);
    QCOMPARE(prompt.title, QString("Exit"));
    QCOMPARE(prompt.text, QString("Are you sure to exit TavoAssistant?"));
    QCOMPARE(prompt.buttons, Dialogs::Yes | Dialogs::Cancel);
    QCOMPARE(prompt.defaultButton, Dialogs::NoButton);
}

// The production dialogs: Escape on the real box must keep the window open.
void WindowTest::exitThroughRealMessageBox_data()
{
    QTest::addColumn<bool>("pressYes");
    QTest::addColumn<bool>("closes");
    QTest::newRow("Escape") << false << false;
    QTest::newRow("Yes") << true << true;
}

void WindowTest::exitThroughRealMessageBox()
{
    QFETCH(bool, pressYes);
    QFETCH(bool, closes);

    QtDialogs realDialogs;
    Dialogs* scripted = Dialogs::install(&realDialogs);
    QString title, text;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        title = box->windowTitle();
        text = box->text();
        if (pressYes)
            box->button(QMessageBox::Yes)->click();
        else
            QTest::keyClick(box, Qt::Key_Escape);
    });
    window->close();
    Dialogs::install(scripted);

    QCOMPARE(title, QString("Exit"));
    QCOMPARE(text, QString("Are you sure to exit TavoAssistant?"));
    QCOMPARE(window->isVisible(), !closes);
}

void WindowTest::cancelledExitKeepsEverything()
{
    const QString path = writePicture("keep.png", pictures::randomImage(30, 20, 1));
    openFile(path);
    QTest::mouseClick(widget<QPushButton>(*window, "btnCnc"), Qt::LeftButton);
    widget<QLineEdit>(*window, "txtParam3")->setText("77");
    TavoMainTest::setRotated(*window, true);
    const QImage before = TavoMainTest::workingImage(*window);

    dialogs->answerQuestion(Dialogs::Cancel);
    QVERIFY(!window->close());

    QVERIFY(window->isVisible());
    QCOMPARE(TavoMainTest::workingImage(*window), before);
    QCOMPARE(TavoMainTest::gcodeType(*window), 2);
    QCOMPARE(TavoMainTest::rotated(*window), true);
    QCOMPARE(widget<QLineEdit>(*window, "txtParam3")->text(), QString("77"));
    QCOMPARE(widget<QTextEdit>(*window, "txtFile")->toPlainText(), path);
}

void WindowTest::hoverFrame_data()
{
    QTest::addColumn<int>("index");
    const char* order[] = {"btnOpen",      "btnReset",   "btnLaser",  "btnCnc",     "btnGcode",
                           "btnGray",      "btnBinary",  "btnDither", "btnInverse", "btnRelief",
                           "btnPulverize", "btnOutline", "btnSoften", "btnScale",   "btnFit",
                           "btnCrop",      "btnRotate"};
    for (int i = 0; i < 17; ++i)
        QTest::newRow(order[i]) << i;
}

void WindowTest::hoverFrame()
{
    QFETCH(int, index);

    QPushButton* button = TavoMainTest::hoverButtons(*window)[index];
    QCOMPARE(button->objectName(), QString(QTest::currentDataTag()));
    QVERIFY(button->isFlat());

    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QVERIFY(!TavoMainTest::eventFilter(*window, button, &enter)); // the button still gets it
    QVERIFY(!button->isFlat());
    QEvent leave(QEvent::Leave);
    QVERIFY(!TavoMainTest::eventFilter(*window, button, &leave));
    QVERIFY(button->isFlat());

    // Delivered the ordinary way, through the installed filter.
    QApplication::sendEvent(button, &enter);
    QVERIFY(!button->isFlat());
    QApplication::sendEvent(button, &leave);
    QVERIFY(button->isFlat());
    QEvent other(QEvent::FocusIn);
    QApplication::sendEvent(button, &other);
    QVERIFY(button->isFlat());
}

void WindowTest::hoverButtonsAreThePushButtons()
{
    const auto& hoverButtons = TavoMainTest::hoverButtons(*window);
    const QList<QPushButton*> all = window->findChildren<QPushButton*>();
    QCOMPARE(all.size(), 17);
    for (QPushButton* button : all)
        QVERIFY2(std::find(hoverButtons.begin(), hoverButtons.end(), button) != hoverButtons.end(),
                 qPrintable(button->objectName()));
}

void WindowTest::hoverWithTheMouse()
{
    openFile(writePicture("hover.png", pictures::randomImage(10, 10, 2)));
    auto* gray = widget<QPushButton>(*window, "btnGray");
    auto* binary = widget<QPushButton>(*window, "btnBinary");
    // Moves of the pointer over the window, as the platform reports them.
    auto moveOnto = [this](QWidget* target) {
        QTest::mouseMove(window->windowHandle(), target->mapTo(window, target->rect().center()));
    };
    QVERIFY(QTest::qWaitForWindowExposed(window));
    moveOnto(widget(*window, "lblInfo")); // the pointer first enters the window
    moveOnto(gray);
    QTRY_VERIFY(!gray->isFlat());
    QVERIFY(binary->isFlat());
    moveOnto(binary);
    QTRY_VERIFY(!binary->isFlat());
    QVERIFY(gray->isFlat());
    moveOnto(widget(*window, "lblInfo"));
    QTRY_VERIFY(binary->isFlat());
}

void WindowTest::open_data()
{
    QTest::addColumn<bool>("fromMenu");
    QTest::newRow("btnOpen") << false;
    QTest::newRow("File > Open") << true;
}

void WindowTest::open()
{
    QFETCH(bool, fromMenu);

    const QImage picture = pictures::randomImage(640, 480, 3);
    const QString path = writePicture("photo 640x480.png", picture);
    dialogs->answerFileName(path);
    if (fromMenu)
        window->findChild<QAction*>("actionOpen")->trigger();
    else
        QTest::mouseClick(widget<QPushButton>(*window, "btnOpen"), Qt::LeftButton);

    QCOMPARE(dialogs->prompts().size(), 1);
    const ScriptedDialogs::Prompt& prompt = dialogs->prompts().first();
    QCOMPARE(prompt.kind, ScriptedDialogs::OpenFile);
    QCOMPARE(prompt.title, QString("Open Image"));
    QCOMPARE(prompt.text, pictureFilter);
    QCOMPARE(prompt.dir, QString());

    QCOMPARE(TavoMainTest::workingImage(*window), picture);
    QCOMPARE(TavoMainTest::imageProcessor(*window).sourceImage(), picture);
    QCOMPARE(widget<QTextEdit>(*window, "txtFile")->toPlainText(), path);
    QCOMPARE(widget<QLabel>(*window, "lblInfo")->text(), QString("Image Information: 640 X 480"));
    QCOMPARE(widget<QLabel>(*window, "lblImage")->pixmap(Qt::ReturnByValue).size(),
             QSize(640, 480));
    QCOMPARE(widget<QLabel>(*window, "lblSize")->text(), QString("Size = X: 102.40 * Y: 76.80"));
    QVERIFY(widget(*window, "controlWidget")->isEnabled());
    QVERIFY(widget(*window, "imageWidget")->isEnabled());

    auto* cmbParam1 = widget<QComboBox>(*window, "cmbParam1");
    QCOMPARE(comboItems(cmbParam1), pixelSizes);
    QCOMPARE(cmbParam1->currentIndex(), 7);
    QCOMPARE(cmbParam1->currentText(), QString("0.16"));
    QCOMPARE(TavoMainTest::gcodeType(*window), 0);
    QCOMPARE(widget<QLabel>(*window, "lblCmd")->text(), QString("Gcode = Laser Line"));
}

void WindowTest::openFailure_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<bool>("create");

    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        pictures::randomImage(64, 64, 4).save(&buffer, "PNG");
    }
    QTest::newRow("missing file") << "missing.png" << QByteArray() << false;
    QTest::newRow("zero bytes") << "empty.png" << QByteArray() << true;
    QTest::newRow("truncated PNG") << "truncated.png" << png.left(png.size() / 2) << true;
    QTest::newRow("text named .jpg") << "notes.jpg" << QByteArray("just some words\n") << true;
    QTest::newRow("100000 x 100000 PNG") << "huge.png" << hugePngHeader() << true;
}

void WindowTest::openFailure()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, contents);
    QFETCH(bool, create);

    const QString path = dir->filePath(name);
    if (create) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }
    openFile(path);

    QCOMPARE(dialogs->prompts().size(), 2);
    const ScriptedDialogs::Prompt& prompt = dialogs->prompts().last();
    QCOMPARE(prompt.kind, ScriptedDialogs::Critical);
    QCOMPARE(prompt.title, QString("Critical Error"));
    QCOMPARE(prompt.text, "Failed to load " + path + ", please try again later!");

    QCOMPARE(TavoMainTest::workingImage(*window).size(), QSize(0, 0));
    QCOMPARE(TavoMainTest::imageProcessor(*window).sourceImage().size(), QSize(0, 0));
    // The window carries on as after any open.
    QCOMPARE(widget<QTextEdit>(*window, "txtFile")->toPlainText(), path);
    QCOMPARE(widget<QLabel>(*window, "lblInfo")->text(), QString("Image Information: 0 X 0"));
    QVERIFY(widget<QLabel>(*window, "lblImage")->pixmap(Qt::ReturnByValue).isNull());
    QCOMPARE(widget<QLabel>(*window, "lblSize")->text(), QString("Size = X: 0.00 * Y: 0.00"));
    QVERIFY(widget(*window, "controlWidget")->isEnabled());
    QVERIFY(widget(*window, "imageWidget")->isEnabled());
    QCOMPARE(comboItems(widget<QComboBox>(*window, "cmbParam1")), pixelSizes);
    QCOMPARE(TavoMainTest::gcodeType(*window), 0);
    QCOMPARE(widget<QLabel>(*window, "lblCmd")->text(), QString("Gcode = Laser Line"));

    // And it still works: the next picture opens.
    const QImage picture = pictures::randomImage(12, 7, 5);
    openFile(writePicture("after.png", picture));
    QCOMPARE(TavoMainTest::workingImage(*window), picture);
}

void WindowTest::openCancelled()
{
    // Before any picture: nothing becomes usable.
    dialogs->answerFileName(QString());
    QTest::mouseClick(widget<QPushButton>(*window, "btnOpen"), Qt::LeftButton);
    QVERIFY(!widget(*window, "controlWidget")->isEnabled());
    QCOMPARE(TavoMainTest::gcodeType(*window), -1);
    QCOMPARE(widget<QComboBox>(*window, "cmbParam1")->count(), 0);

    // With a picture: the picture, its processing and the settings stay.
    const QString path = writePicture("first.png", pictures::randomImage(50, 40, 6));
    openFile(path);
    widget<QComboBox>(*window, "cmbParam1")->setCurrentIndex(20);
    QTest::mouseClick(widget<QPushButton>(*window, "btnCnc"), Qt::LeftButton);
    TavoMainTest::imageProcessor(*window).workingImage()->invertPixels();
    const QImage processed = TavoMainTest::workingImage(*window);
    const QString size = widget<QLabel>(*window, "lblSize")->text();

    dialogs->answerFileName(QString());
    window->findChild<QAction*>("actionOpen")->trigger();

    QCOMPARE(TavoMainTest::workingImage(*window), processed);
    QCOMPARE(widget<QTextEdit>(*window, "txtFile")->toPlainText(), path);
    QCOMPARE(widget<QComboBox>(*window, "cmbParam1")->currentIndex(), 20);
    QCOMPARE(TavoMainTest::gcodeType(*window), 2);
    QCOMPARE(widget<QLabel>(*window, "lblSize")->text(), size);
    QCOMPARE(dialogs->prompts().size(), 3);
}

void WindowTest::openAgainRefillsPanel()
{
    openFile(writePicture("one.png", pictures::randomImage(20, 10, 7)));
    auto* cmbParam1 = widget<QComboBox>(*window, "cmbParam1");
    cmbParam1->setCurrentIndex(37);
    widget<QComboBox>(*window, "cmbType")->setCurrentIndex(1);
    widget<QLineEdit>(*window, "txtParam2")->setText("99");

    openFile(writePicture("two.png", pictures::randomImage(30, 10, 8)));
    QCOMPARE(comboItems(cmbParam1), pixelSizes);
    QCOMPARE(cmbParam1->currentText(), QString("0.16"));
    QCOMPARE(TavoMainTest::gcodeType(*window), 0);
    QCOMPARE(widget<QLineEdit>(*window, "txtParam2")->text(), QString("100"));
    // The type list keeps its own selection.
    QCOMPARE(widget<QComboBox>(*window, "cmbType")->currentIndex(), 1);
}

void WindowTest::openKeepsZoomAndTypeChoice()
{
    openFile(writePicture("zoom.png", pictures::randomImage(200, 100, 9)));
    widget<QSpinBox>(*window, "spbSize")->setValue(60);
    QCOMPARE(TavoMainTest::workingImage(*window).size(), QSize(120, 60));
    QTest::mouseClick(widget<QPushButton>(*window, "btnCnc"), Qt::LeftButton);
    TavoMainTest::setRotated(*window, true);

    const QImage next = pictures::randomImage(80, 40, 10);
    openFile(writePicture("next.png", next));
    // The new picture is shown as loaded, whatever the zoom shows.
    QCOMPARE(TavoMainTest::workingImage(*window), next);
    QCOMPARE(widget<QSpinBox>(*window, "spbSize")->value(), 60);
    QCOMPARE(TavoMainTest::rotated(*window), true);
    QVERIFY(!widget(*window, "cmbType")->isEnabled());
    QCOMPARE(TavoMainTest::gcodeType(*window), 0);
}

void WindowTest::save_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("lossless");
    QTest::newRow("png") << "saved.png" << true;
    QTest::newRow("bmp") << "saved.bmp" << true;
    QTest::newRow("jpg") << "saved.jpg" << false;
    QTest::newRow("upper-case suffix") << "SAVED.PNG" << true;
}

void WindowTest::save()
{
    QFETCH(QString, name);
    QFETCH(bool, lossless);

    openFile(writePicture("source.png", pictures::randomImage(90, 60, 11)));
    // What is saved is the working image, processing included.
    TavoMainTest::imageProcessor(*window).workingImage()->invertPixels();
    widget<QSpinBox>(*window, "spbSize")->setValue(50);
    TavoMainTest::imageProcessor(*window).workingImage()->invertPixels();
    const QImage working = TavoMainTest::workingImage(*window);
    QCOMPARE(working.size(), QSize(45, 30));

    const QString path = dir->filePath(name);
    dialogs->clear();
    dialogs->answerFileName(path);
    window->findChild<QAction*>("actionSave")->trigger();

    QCOMPARE(dialogs->prompts().size(), 2);
    QCOMPARE(dialogs->prompts()[0].kind, ScriptedDialogs::SaveFile);
    QCOMPARE(dialogs->prompts()[0].title, QString("Save Image"));
    QCOMPARE(dialogs->prompts()[0].text, pictureFilter);
    QCOMPARE(dialogs->prompts()[0].dir, QString());
    QCOMPARE(dialogs->prompts()[1].kind, ScriptedDialogs::Information);
    QCOMPARE(dialogs->prompts()[1].title, QString("Save Image"));
    QCOMPARE(dialogs->prompts()[1].text, path + " has been successfully saved!");

    const QImage saved(path);
    QCOMPARE(saved.size(), working.size());
    if (lossless)
        QCOMPARE(saved.convertToFormat(QImage::Format_RGB32), working);
    QCOMPARE(QDir(dir->path()).entryList(QStringList{"*.tmp", ".*"}, QDir::Files), QStringList());
}

void WindowTest::saveFailure_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("suffix no writer knows") << "picture.xyz";
    QTest::newRow("no suffix") << "picture";
    QTest::newRow("missing folder") << "no such folder/picture.png";
}

void WindowTest::saveFailure()
{
    QFETCH(QString, name);

    openFile(writePicture("source.png", pictures::randomImage(30, 30, 12)));
    const QString path = dir->filePath(name);
    const bool older = !name.contains('/');
    if (older) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("older file");
    }

    dialogs->clear();
    dialogs->answerFileName(path);
    window->findChild<QAction*>("actionSave")->trigger();

    QCOMPARE(dialogs->prompts().size(), 2);
    QCOMPARE(dialogs->prompts()[1].kind, ScriptedDialogs::Critical);
    QCOMPARE(dialogs->prompts()[1].title, QString("Save Image"));
    QCOMPARE(dialogs->prompts()[1].text, path + " cannot be saved!");
    if (older) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("older file"));
    } else {
        QVERIFY(!QFile::exists(path));
    }
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files | QDir::Hidden).size(), older ? 2 : 1);
}

void WindowTest::saveCancelled()
{
    openFile(writePicture("source.png", pictures::randomImage(30, 30, 13)));
    dialogs->clear();
    dialogs->answerFileName(QString());
    window->findChild<QAction*>("actionSave")->trigger();
    QCOMPARE(dialogs->prompts().size(), 1);
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList{"source.png"});
}

void WindowTest::saveWithoutPicture()
{
    // Before any picture, and after one that failed to load: silence.
    const QString path = dir->filePath("nothing.png");
    dialogs->answerFileName(path);
    window->findChild<QAction*>("actionSave")->trigger();
    QCOMPARE(dialogs->prompts().size(), 1);
    QVERIFY(!QFile::exists(path));

    openFile(dir->filePath("missing.png"));
    dialogs->clear();
    dialogs->answerFileName(path);
    window->findChild<QAction*>("actionSave")->trigger();
    QCOMPARE(dialogs->prompts().size(), 1);
    QVERIFY(!QFile::exists(path));
}

void WindowTest::gcodeTypeFollowsCommands()
{
    auto* cmbType = widget<QComboBox>(*window, "cmbType");
    auto* btnLaser = widget<QPushButton>(*window, "btnLaser");
    auto* btnCnc = widget<QPushButton>(*window, "btnCnc");
    auto* lblCmd = widget<QLabel>(*window, "lblCmd");
    QCOMPARE(TavoMainTest::gcodeType(*window), -1);

    openFile(writePicture("types.png", pictures::randomImage(10, 10, 14)));
    QCOMPARE(TavoMainTest::gcodeType(*window), 0);

    QTest::mouseClick(btnCnc, Qt::LeftButton);
    QCOMPARE(TavoMainTest::gcodeType(*window), 2);
    QVERIFY(!cmbType->isEnabled());
    QCOMPARE(lblCmd->text(), QString("Gcode = CNC Line"));

    QTest::mouseClick(btnLaser, Qt::LeftButton);
    QCOMPARE(TavoMainTest::gcodeType(*window), 0);
    QVERIFY(cmbType->isEnabled());
    QCOMPARE(lblCmd->text(), QString("Gcode = Laser Line"));

    cmbType->setCurrentIndex(1);
    QCOMPARE(TavoMainTest::gcodeType(*window), 1);
    QCOMPARE(lblCmd->text(), QString("Gcode = Laser Dots"));

    // CNC, then Laser again: back to the laser type the list still names.
    QTest::mouseClick(btnCnc, Qt::LeftButton);
    QCOMPARE(TavoMainTest::gcodeType(*window), 2);
    QTest::mouseClick(btnLaser, Qt::LeftButton);
    QCOMPARE(TavoMainTest::gcodeType(*window), 1);
    QCOMPARE(lblCmd->text(), QString("Gcode = Laser Dots"));

    cmbType->setCurrentIndex(0);
    QCOMPARE(TavoMainTest::gcodeType(*window), 0);

    // None of this touches the pitch choice.
    QCOMPARE(widget<QComboBox>(*window, "cmbParam1")->currentText(), QString("0.16"));
}

void WindowTest::parameterPanel_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QStringList>("texts"); // heading, five labels, four defaults

    const QStringList laserLine = {"Gcode = Laser Line",
                                   "Laser Beam (mm)",
                                   "Laser Power (%)",
                                   "Travel Speed (mm/min)",
                                   "Jump Speed (mm/min)",
                                   "Start Height (mm)",
                                   "100",
                                   "500",
                                   "1000",
                                   "20"};
    const QStringList laserDots = {"Gcode = Laser Dots",
                                   "Laser Beam (mm)",
                                   "Ignored Threshold",
                                   "Power Index",
                                   "Travel Speed (mm/min)",
                                   "Start Height (mm)",
                                   "15",
                                   "0.4",
                                   "100",
                                   "20"};
    const QStringList cncLine = {"Gcode = CNC Line",
                                 "CNC Precision (mm)",
                                 "Sheet Thickness (mm)",
                                 "Max Depth (mm)",
                                 "Min Depth (mm)",
                                 "Travel Speed (mm/min)",
                                 "100",
                                 "40",
                                 "1",
                                 "500"};
    QTest::newRow("Laser Line") << 0 << laserLine;
    QTest::newRow("Laser Dots") << 1 << laserDots;
    QTest::newRow("CNC Line") << 2 << cncLine;
    QTest::newRow("-1 is CNC Line") << -1 << cncLine;
    QTest::newRow("3 is CNC Line") << 3 << cncLine;
}

void WindowTest::parameterPanel()
{
    QFETCH(int, type);
    QFETCH(QStringList, texts);

    TavoMainTest::setupParameterPanel(*window, type);
    QStringList shown = {widget<QLabel>(*window, "lblCmd")->text()};
    for (const char* name : {"lblParam1", "lblParam2", "lblParam3", "lblParam4", "lblParam5"})
        shown << widget<QLabel>(*window, name)->text();
    for (const char* name : {"txtParam2", "txtParam3", "txtParam4", "txtParam5"})
        shown << widget<QLineEdit>(*window, name)->text();
    QCOMPARE(shown, texts);
    // Only the texts: no enabled state, no type choice, no generator field.
    QVERIFY(!widget(*window, "controlWidget")->isEnabled());
    QVERIFY(widget(*window, "cmbType")->isEnabledTo(widget(*window, "controlWidget")));
    QCOMPARE(widget<QComboBox>(*window, "cmbType")->currentIndex(), 0);
    QCOMPARE(TavoMainTest::gcodeGenerator(*window).paramValues[1], QString("0"));
}

void WindowTest::panelDefaultsReplaceEdits()
{
    openFile(writePicture("edits.png", pictures::randomImage(10, 10, 15)));
    widget<QComboBox>(*window, "cmbType")->setCurrentIndex(1);
    for (const char* name : {"txtParam2", "txtParam3", "txtParam4", "txtParam5"})
        widget<QLineEdit>(*window, name)->setText("edited");

    QTest::mouseClick(widget<QPushButton>(*window, "btnCnc"), Qt::LeftButton);
    QTest::mouseClick(widget<QPushButton>(*window, "btnLaser"), Qt::LeftButton);

    QStringList values;
    for (const char* name : {"txtParam2", "txtParam3", "txtParam4", "txtParam5"})
        values << widget<QLineEdit>(*window, name)->text();
    QCOMPARE(values, (QStringList{"15", "0.4", "100", "20"}));
}

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
