// The picture commands of the window: the eight filters from their buttons
// and from the Processing menu, the threshold controls, Crop, Rotate and
// Reset.

#include "tavomaintest.h"

#include "pictures.h"
#include "qtdialogs.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>

namespace {

struct FilterCommand
{
    const char* name;
    void (ImageProcessor::*filter)();
};

const FilterCommand filterCommands[] = {
    {"Gray", &ImageProcessor::grayImage},       {"Binary", &ImageProcessor::binaryImage},
    {"Dither", &ImageProcessor::ditherImage},   {"Inverse", &ImageProcessor::inverseImage},
    {"Relief", &ImageProcessor::reliefImage},   {"Pulverize", &ImageProcessor::pulverizeImage},
    {"Outline", &ImageProcessor::outlineImage}, {"Soften", &ImageProcessor::softenImage},
};

const char rotateQuestion[] = "Currently the width of image is larger than height, it fits better "
                              "than that after rotated. Do you still want to rotate it?";

QImage transposed(const QImage& image)
{
    QImage result(image.height(), image.width(), image.format());
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            result.setPixel(y, x, image.pixel(x, y));
    return result;
}

// The read-out as the window writes it at the default pitch of 0.16 mm.
QString sizeText(const QSize& size)
{
    return QString("Size = X: %1 * Y: %2")
        .arg(size.width() * 0.16f, 0, 'F', 2)
        .arg(size.height() * 0.16f, 0, 'F', 2);
}

} // namespace

class PictureCommandsTest : public QObject, protected WindowFixture
{
    Q_OBJECT

private slots:
    void initTestCase() { silenceOffscreenNoise(); }
    void init();
    void cleanup();

    void filterCommand_data();
    void filterCommand();
    void filtersBeforeAnyPicture();

    void thresholdControls();
    void thresholdOnFocusLoss();
    void manualThreshold_data();
    void manualThreshold();

    void crop_data();
    void crop();

    void rotate_data();
    void rotate();
    void rotateThroughRealMessageBox_data();
    void rotateThroughRealMessageBox();
    void rotateTwiceRestores();

    void resetGivesLoadedPicture();
    void resetAfterRotateAtOtherZoom();
    void resetAfterRotateAtFullZoom();

private:
    void open(const QImage& picture);
    void click(const char* name)
    {
        QTest::mouseClick(widget<QPushButton>(*window, name), Qt::LeftButton);
    }
    ImageProcessor& processor() const { return TavoMainTest::imageProcessor(*window); }
    const QImage& working() const { return TavoMainTest::workingImage(*window); }
    QImage shown() const
    {
        return widget<QLabel>(*window, "lblImage")->pixmap(Qt::ReturnByValue).toImage();
    }
    QString readout() const { return widget<QLabel>(*window, "lblSize")->text(); }
    QCheckBox* ckbThreshold() const { return widget<QCheckBox>(*window, "ckbThreshold"); }
    QLineEdit* txtThreshold() const { return widget<QLineEdit>(*window, "txtThreshold"); }
    QSpinBox* spbSize() const { return widget<QSpinBox>(*window, "spbSize"); }
    QSlider* sldSize() const { return widget<QSlider>(*window, "sldSize"); }
    // The view shows the working image and the read-out was rewritten for it.
    void verifyViewFollows();
};

void PictureCommandsTest::init()
{
    setUpWindow();
}

void PictureCommandsTest::cleanup()
{
    tearDownWindow();
}

void PictureCommandsTest::open(const QImage& picture)
{
    const QString path = dir->filePath(QString("picture%1.png").arg(dialogs->prompts().size()));
    QVERIFY(picture.save(path));
    openPicture(*window, *dialogs, path);
    QCOMPARE(working(), picture);
    dialogs->clear();
}

void PictureCommandsTest::verifyViewFollows()
{
    QCOMPARE(shown().convertToFormat(working().format()), working());
    QCOMPARE(readout(), sizeText(working().size()));
}

void PictureCommandsTest::filterCommand_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("fromMenu");
    for (int i = 0; i < 8; ++i) {
        QTest::addRow("%s button", filterCommands[i].name) << i << false;
        QTest::addRow("%s menu", filterCommands[i].name) << i << true;
    }
}

// Each command runs its filter on the picture as it stands (not on the
// source) and refreshes the view.
void PictureCommandsTest::filterCommand()
{
    QFETCH(int, index);
    QFETCH(bool, fromMenu);
    const FilterCommand& command = filterCommands[index];

    const QImage picture = pictures::randomImage(48, 32, 1);
    open(picture);
    processor().workingImage()->invertPixels();
    const QImage before = working();

    ImageProcessor reference;
    reference.adoptImage(before);
    reference.seedRandom(11);
    processor().seedRandom(11);
    (reference.*command.filter)();
    const QImage expected = *reference.workingImage();
    QVERIFY(expected != before);

    widget<QLabel>(*window, "lblSize")->setText("stale");
    if (fromMenu)
        window->findChild<QAction*>(QString("action") + command.name)->trigger();
    else
        click(qPrintable(QString("btn") + command.name));

    QCOMPARE(working(), expected);
    verifyViewFollows();
    QCOMPARE(processor().sourceImage(), picture);
    QCOMPARE(dialogs->prompts().size(), 0);
}

// The Processing menu is usable before any picture is open.
void PictureCommandsTest::filtersBeforeAnyPicture()
{
    for (const FilterCommand& command : filterCommands)
        window->findChild<QAction*>(QString("action") + command.name)->trigger();
    QVERIFY(working().isNull());
    QVERIFY(shown().isNull());
    QCOMPARE(dialogs->prompts().size(), 0);
}

void PictureCommandsTest::thresholdControls()
{
    open(pictures::randomImage(20, 10, 2));
    QVERIFY(!ckbThreshold()->isChecked());
    QVERIFY(!txtThreshold()->isEnabled());
    QVERIFY(processor().autoThreshold());

    QTest::keyClick(ckbThreshold(), Qt::Key_Space);
    QVERIFY(ckbThreshold()->isChecked());
    QVERIFY(txtThreshold()->isEnabled());
    QVERIFY(!processor().autoThreshold());
    QCOMPARE(processor().threshold(), 127); // nothing typed yet

    QTest::keyClicks(txtThreshold(), "50");
    QCOMPARE(processor().threshold(), 127); // counts only once editing finishes
    QTest::keyClick(txtThreshold(), Qt::Key_Return);
    QCOMPARE(processor().threshold(), 50);

    QTest::keyClick(ckbThreshold(), Qt::Key_Space);
    QVERIFY(!txtThreshold()->isEnabled());
    QVERIFY(processor().autoThreshold());
    // A finished edit while automatic is ignored...
    txtThreshold()->setText("90");
    emit txtThreshold()->editingFinished();
    QCOMPARE(processor().threshold(), 50);
    // ...and back in manual mode the last accepted value is in force again.
    QTest::keyClick(ckbThreshold(), Qt::Key_Space);
    QVERIFY(txtThreshold()->isEnabled());
    QCOMPARE(processor().threshold(), 50);
}

void PictureCommandsTest::thresholdOnFocusLoss()
{
    open(pictures::randomImage(20, 10, 3));
    window->show();
    QApplication::setActiveWindow(window);
    QVERIFY(QTest::qWaitForWindowActive(window));
    QTest::keyClick(ckbThreshold(), Qt::Key_Space);

    txtThreshold()->setFocus();
    QTRY_VERIFY(txtThreshold()->hasFocus());
    QTest::keyClicks(txtThreshold(), "64");
    QCOMPARE(processor().threshold(), 127);
    ckbThreshold()->setFocus();
    QTRY_COMPARE(processor().threshold(), 64);
}

void PictureCommandsTest::manualThreshold_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("threshold");
    QTest::addColumn<QVector<int>>("binary"); // of the gray levels 0, 100, 127, 128, 200, 255

    QTest::newRow("127: equal is black") << "127" << 127 << QVector<int>{0, 0, 0, 255, 255, 255};
    QTest::newRow("200") << "200" << 200 << QVector<int>{0, 0, 0, 0, 0, 255};
    QTest::newRow("abc reads as 0") << "abc" << 0 << QVector<int>{0, 255, 255, 255, 255, 255};
    QTest::newRow("12.5 reads as 0") << "12.5" << 0 << QVector<int>{0, 255, 255, 255, 255, 255};
    QTest::newRow("-1: all white") << "-1" << -1 << QVector<int>{255, 255, 255, 255, 255, 255};
    QTest::newRow("300: all black") << "300" << 300 << QVector<int>{0, 0, 0, 0, 0, 0};
}

void PictureCommandsTest::manualThreshold()
{
    QFETCH(QString, text);
    QFETCH(int, threshold);
    QFETCH(QVector<int>, binary);

    open(pictures::grayRows({{0, 100, 127, 128, 200, 255}}));
    QTest::keyClick(ckbThreshold(), Qt::Key_Space);
    QTest::keyClicks(txtThreshold(), text);
    QTest::keyClick(txtThreshold(), Qt::Key_Return);
    QCOMPARE(processor().threshold(), threshold);

    click("btnBinary");
    QVector<int> levels;
    for (int x = 0; x < working().width(); ++x)
        levels << grayLevel(working().pixel(x, 0));
    QCOMPARE(levels, binary);
}

void PictureCommandsTest::crop_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QSize>("cropped");

    QTest::newRow("1000x500: top-left corner") << QSize(1000, 500) << QSize(620, 420);
    QTest::newRow("300x200 fits") << QSize(300, 200) << QSize(300, 200);
    QTest::newRow("1000x300: width only") << QSize(1000, 300) << QSize(620, 300);
    QTest::newRow("400x600: height only") << QSize(400, 600) << QSize(400, 420);
}

void PictureCommandsTest::crop()
{
    QFETCH(QSize, picture);
    QFETCH(QSize, cropped);

    const QImage source = pictures::randomImage(picture.width(), picture.height(), 4);
    open(source);
    QVERIFY2(setViewArea(*window, QSize(620, 420)), "the window cannot offer that view area");
    processor().workingImage()->invertPixels(); // processing done before stays
    const QImage processed = working();

    click("btnCrop");
    QCOMPARE(working(), processed.copy(QRect(QPoint(0, 0), cropped)));
    verifyViewFollows();
    QCOMPARE(spbSize()->value(), 100);
    QCOMPARE(TavoMainTest::rotated(*window), false);
    QCOMPARE(processor().sourceImage(), source);
}

void PictureCommandsTest::rotate_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<bool>("asks");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("rotates");

    QTest::newRow("200x300: no question") << QSize(200, 300) << false << 0 << true;
    QTest::newRow("100x100: no question") << QSize(100, 100) << false << 0 << true;
    QTest::newRow("300x200, Ok") << QSize(300, 200) << true << int(Dialogs::Ok) << true;
    QTest::newRow("300x200, Cancel") << QSize(300, 200) << true << int(Dialogs::Cancel) << false;
}

void PictureCommandsTest::rotate()
{
    QFETCH(QSize, picture);
    QFETCH(bool, asks);
    QFETCH(int, answer);
    QFETCH(bool, rotates);

    const QImage source = pictures::randomImage(picture.width(), picture.height(), 5);
    open(source);
    processor().workingImage()->invertPixels();
    const QImage before = working();
    widget<QLabel>(*window, "lblSize")->setText("stale");

    if (asks)
        dialogs->answerQuestion(Dialogs::Button(answer));
    click("btnRotate");

    QCOMPARE(dialogs->prompts().size(), asks ? 1 : 0);
    if (asks) {
        const ScriptedDialogs::Prompt& prompt = dialogs->prompts().first();
        QCOMPARE(prompt.kind, ScriptedDialogs::Question);
        QCOMPARE(prompt.title, QString("Rotate Image"));
        QCOMPARE(prompt.text, QString(rotateQuestion));
        QCOMPARE(prompt.buttons, Dialogs::Ok | Dialogs::Cancel);
        QCOMPARE(prompt.defaultButton, Dialogs::Cancel);
    }
    QCOMPARE(working(), rotates ? transposed(before) : before);
    QCOMPARE(TavoMainTest::rotated(*window), rotates);
    if (rotates)
        verifyViewFollows();
    QCOMPARE(processor().sourceImage(), source);
}

// The production message box: Escape must count as Cancel.
void PictureCommandsTest::rotateThroughRealMessageBox_data()
{
    QTest::addColumn<bool>("pressOk");
    QTest::newRow("Escape") << false;
    QTest::newRow("Ok") << true;
}

void PictureCommandsTest::rotateThroughRealMessageBox()
{
    QFETCH(bool, pressOk);

    const QImage source = pictures::randomImage(30, 20, 6);
    open(source);
    QtDialogs realDialogs;
    Dialogs* scripted = Dialogs::install(&realDialogs);
    QString title, text;
    QMessageBox::StandardButtons buttons;
    QAbstractButton* defaultButton = nullptr;
    QAbstractButton* cancelButton = nullptr;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        title = box->windowTitle();
        text = box->text();
        buttons = box->standardButtons();
        defaultButton = box->defaultButton();
        cancelButton = box->button(QMessageBox::Cancel);
        if (pressOk)
            box->button(QMessageBox::Ok)->click();
        else
            QTest::keyClick(box, Qt::Key_Escape);
    });
    click("btnRotate");
    Dialogs::install(scripted);

    QCOMPARE(title, QString("Rotate Image"));
    QCOMPARE(text, QString(rotateQuestion));
    QCOMPARE(buttons, QMessageBox::Ok | QMessageBox::Cancel);
    QVERIFY(defaultButton && defaultButton == cancelButton);
    QCOMPARE(working(), pressOk ? transposed(source) : source);
    QCOMPARE(TavoMainTest::rotated(*window), pressOk);
}

// The question follows the picture as it is now, not as it was loaded.
void PictureCommandsTest::rotateTwiceRestores()
{
    const QImage source = pictures::randomImage(20, 30, 7);
    open(source);
    click("btnRotate");
    QCOMPARE(working().size(), QSize(30, 20));
    QCOMPARE(dialogs->prompts().size(), 0);

    dialogs->answerQuestion(Dialogs::Ok);
    click("btnRotate");
    QCOMPARE(dialogs->prompts().size(), 1);
    QCOMPARE(working(), source);
    QCOMPARE(TavoMainTest::rotated(*window), false);
}

void PictureCommandsTest::resetGivesLoadedPicture()
{
    const QImage source = pictures::randomImage(1000, 500, 8);
    open(source);
    QVERIFY(setViewArea(*window, QSize(620, 420)));
    click("btnGray");
    click("btnCrop");
    click("btnDither");
    QCOMPARE(working().size(), QSize(620, 420));
    sldSize()->triggerAction(QAbstractSlider::SliderPageStepSub); // moves without zooming
    QVERIFY(sldSize()->value() < 100);

    click("btnReset");
    QCOMPARE(working(), source);
    verifyViewFollows();
    QCOMPARE(TavoMainTest::rotated(*window), false);
    QCOMPARE(spbSize()->value(), 100);
    QCOMPARE(sldSize()->value(), 100);
}

// At another zoom, moving it back to 100 runs a zoom step, which applies the
// rotation again: the transposed source fitted into the source's own box.
void PictureCommandsTest::resetAfterRotateAtOtherZoom()
{
    const QImage source = pictures::randomImage(400, 200, 9);
    open(source);
    spbSize()->setValue(80);
    QCOMPARE(working().size(), QSize(320, 160));
    dialogs->answerQuestion(Dialogs::Ok);
    click("btnRotate");
    QCOMPARE(working().size(), QSize(160, 320));

    click("btnReset");
    QCOMPARE(working(), ImageProcessor::toWorkingFormat(transposed(source).scaled(
                            100, 200, Qt::IgnoreAspectRatio, Qt::FastTransformation)));
    verifyViewFollows();
    QCOMPARE(TavoMainTest::rotated(*window), true);
    QCOMPARE(spbSize()->value(), 100);
    QCOMPARE(sldSize()->value(), 100);
}

// At 100 already no zoom step runs: the unrotated source stays until the
// next zoom change, and the flag still says rotated.
void PictureCommandsTest::resetAfterRotateAtFullZoom()
{
    const QImage source = pictures::randomImage(400, 200, 10);
    open(source);
    dialogs->answerQuestion(Dialogs::Ok);
    click("btnRotate");
    QCOMPARE(working().size(), QSize(200, 400));

    click("btnReset");
    QCOMPARE(working(), source);
    verifyViewFollows();
    QCOMPARE(TavoMainTest::rotated(*window), true);

    spbSize()->setValue(99);
    QCOMPARE(working().size(), QSize(99, 198));
}

QTEST_MAIN(PictureCommandsTest)
#include "tst_picturecommands.moc"
