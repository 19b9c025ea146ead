// The window's picture commands: filter buttons and menu entries, threshold
// controls, Crop, Rotate, Reset, zoom, Scale and Fit, and the size read-out.

#include "tavomaintest.h"

#include "pictures.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>

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

const char rotateQuestion[] =
    "question Rotate Image: Currently the width of image is larger than height, it fits better "
    "than that after rotated. Do you still want to rotate it?";

QImage transposed(const QImage& image)
{
    return image.transformed(QTransform().rotate(90)).mirrored(true, false);
}

} // namespace

class PictureCommandsTest : public QObject, protected WindowFixture
{
    Q_OBJECT

private slots:
    void initTestCase() { silenceOffscreenNoise(); }
    void init() { setUpWindow(); }
    void cleanup() { tearDownWindow(); }

    void filterCommand_data();
    void filterCommand();
    void thresholdControls();
    void fitToView_data();
    void fitToView();
    void rotate_data();
    void rotate();
    void reset_data();
    void reset();
    void sizeReadout_data();
    void sizeReadout();
    void slider();

private:
    void invert() { processor().workingImage()->invertPixels(); }
    void drag(int position)
    {
        sldSize()->setSliderDown(true);
        sldSize()->setSliderPosition(position);
        sldSize()->setSliderDown(false);
    }
    QCheckBox* ckbThreshold() const { return widget<QCheckBox>(*window, "ckbThreshold"); }
    QLineEdit* txtThreshold() const { return widget<QLineEdit>(*window, "txtThreshold"); }
    QSpinBox* spbSize() const { return widget<QSpinBox>(*window, "spbSize"); }
    QSlider* sldSize() const { return widget<QSlider>(*window, "sldSize"); }
    QString thresholdState() const
    {
        return QString("%1, field %2, processor %3 at %4")
            .arg(ckbThreshold()->isChecked() ? "manual" : "automatic",
                 txtThreshold()->isEnabled() ? "open" : "locked",
                 processor().autoThreshold() ? "automatic" : "manual")
            .arg(processor().threshold());
    }
    // The view shows the working image and the read-out (at the default 0.16 mm) follows it.
    void verifyViewFollows()
    {
        const QImage shown =
            widget<QLabel>(*window, "lblImage")->pixmap(Qt::ReturnByValue).toImage();
        QCOMPARE(shown.convertToFormat(working().format()), working());
        QCOMPARE(widget<QLabel>(*window, "lblSize")->text(),
                 QString("Size = X: %1 * Y: %2")
                     .arg(working().width() * 0.16f, 0, 'F', 2)
                     .arg(working().height() * 0.16f, 0, 'F', 2));
    }
};

void PictureCommandsTest::filterCommand_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("fromMenu");
    for (int i = 0; i < 8; ++i) {
        QTest::addRow("%s button", filterCommands[i].name) << i << false;
        QTest::addRow("%s menu", filterCommands[i].name) << i << true;
    }
}

// Each runs its filter on the picture as it stands, not the source.
void PictureCommandsTest::filterCommand()
{
    QFETCH(int, index);
    QFETCH(bool, fromMenu);
    const FilterCommand& command = filterCommands[index];

    const QImage picture = pictures::randomImage(48, 32, 1);
    openImage(picture);
    invert();
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

void PictureCommandsTest::thresholdControls()
{
    openImage(pictures::randomImage(20, 10, 2));
    QCOMPARE(thresholdState(), "automatic, field locked, processor automatic at 127");
    QTest::keyClick(ckbThreshold(), Qt::Key_Space);
    QCOMPARE(thresholdState(), "manual, field open, processor manual at 127");
    // A number counts only once editing finishes.
    QTest::keyClicks(txtThreshold(), "50");
    QCOMPARE(processor().threshold(), 127);
    QTest::keyClick(txtThreshold(), Qt::Key_Return);
    QCOMPARE(thresholdState(), "manual, field open, processor manual at 50");

    QTest::keyClick(ckbThreshold(), Qt::Key_Space);
    QCOMPARE(thresholdState(), "automatic, field locked, processor automatic at 50");
    // An edit finished while automatic is ignored.
    txtThreshold()->setText("90");
    emit txtThreshold()->editingFinished();
    QCOMPARE(processor().threshold(), 50);
    QTest::keyClick(ckbThreshold(), Qt::Key_Space);

    // The text reads as a whole number or 0, and is taken even out of range.
    for (const auto& [text, threshold] : {std::pair("12.5", 0), std::pair("300", 300)}) {
        txtThreshold()->setText(text);
        QTest::keyClick(txtThreshold(), Qt::Key_Return);
        QCOMPARE(processor().threshold(), threshold);
    }
}

void PictureCommandsTest::fitToView_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QSize>("result");
    const auto row = [](const char* button, QSize picture, QSize result) {
        QTest::addRow("%s %dx%d", button, picture.width(), picture.height())
            << QString(button) << picture << result;
    };
    // Crop keeps the top-left part; Scale keeps the aspect; Fit stretches.
    row("btnCrop", QSize(1000, 500), QSize(620, 420));
    row("btnCrop", QSize(400, 600), QSize(400, 420));
    row("btnScale", QSize(1000, 500), QSize(620, 310));
    row("btnScale", QSize(300, 200), QSize(620, 413));
    row("btnScale", QSize(200, 400), QSize(210, 420));
    row("btnFit", QSize(200, 400), QSize(620, 420));
}

// Each works on the picture as it stands, processing included, and touches
// neither the zoom nor the rotation.
void PictureCommandsTest::fitToView()
{
    QFETCH(QString, button);
    QFETCH(QSize, picture);
    QFETCH(QSize, result);

    const QImage source = pictures::randomImage(picture.width(), picture.height(), 4);
    openImage(source);
    QVERIFY2(setViewArea(*window, QSize(620, 420)), "the window cannot offer that view area");
    invert();
    const QImage processed = working();

    click(qPrintable(button));
    QCOMPARE(working(), button == "btnCrop" ? processed.copy(QRect(QPoint(0, 0), result))
                                            : processed.scaled(result, Qt::IgnoreAspectRatio));
    verifyViewFollows();
    QCOMPARE(processor().sourceImage(), source);
    QVERIFY(spbSize()->value() == 100 && sldSize()->value() == 100);
    QCOMPARE(TavoMainTest::rotated(*window), false);
}

void PictureCommandsTest::rotate_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<int>("answer"); // 0: no question
    QTest::newRow("200x300: no question") << QSize(200, 300) << 0;
    QTest::newRow("100x100: no question") << QSize(100, 100) << 0;
    QTest::newRow("300x200, Ok") << QSize(300, 200) << int(Dialogs::Ok);
    QTest::newRow("300x200, Cancel") << QSize(300, 200) << int(Dialogs::Cancel);
}

void PictureCommandsTest::rotate()
{
    QFETCH(QSize, picture);
    QFETCH(int, answer);

    const QImage source = pictures::randomImage(picture.width(), picture.height(), 5);
    openImage(source);
    invert();
    const QImage before = working();
    widget<QLabel>(*window, "lblSize")->setText("stale");
    if (answer)
        dialogs->answerQuestion(Dialogs::Button(answer));
    click("btnRotate");

    QCOMPARE(dialogs->log(), answer ? QStringList(rotateQuestion) : QStringList());
    if (answer)
        QVERIFY(dialogs->prompts()[0].buttons == (Dialogs::Ok | Dialogs::Cancel) &&
                dialogs->prompts()[0].defaultButton == Dialogs::Cancel);
    const bool rotates = answer != Dialogs::Cancel;
    QCOMPARE(working(), rotates ? transposed(before) : before);
    QCOMPARE(TavoMainTest::rotated(*window), rotates);
    if (rotates)
        verifyViewFollows();
    QCOMPARE(processor().sourceImage(), source);
}

void PictureCommandsTest::reset_data()
{
    QTest::addColumn<int>("zoom");
    QTest::addColumn<bool>("rotate");
    QTest::addColumn<QImage>("reset");

    const QImage source = pictures::randomImage(1000, 500, 9);
    QTest::newRow("the loaded picture") << 100 << false << source;
    // Moving the zoom back to 100 rotates the source again, fitted to its box.
    QTest::newRow("rotated at 80") << 80 << true
                                   << ImageProcessor::toWorkingFormat(transposed(source).scaled(
                                          250, 500, Qt::IgnoreAspectRatio, Qt::FastTransformation));
    // At 100 already no zoom step runs, so the unrotated source stays.
    QTest::newRow("rotated at 100") << 100 << true << source;
}

// Reset undoes the processing, the crop and the zoom, but keeps the rotation
// flag: the next zoom step rotates.
void PictureCommandsTest::reset()
{
    QFETCH(int, zoom);
    QFETCH(bool, rotate);
    QFETCH(QImage, reset);

    openImage(pictures::randomImage(1000, 500, 9));
    QVERIFY(setViewArea(*window, QSize(620, 420)));
    spbSize()->setValue(zoom);
    click("btnGray");
    click("btnCrop");
    click("btnDither");
    if (rotate) {
        dialogs->answerQuestion(Dialogs::Ok);
        click("btnRotate");
    }
    QCOMPARE(working().size(), rotate ? QSize(qMin(420, 5 * zoom), 620) : QSize(620, 420));

    click("btnReset");
    QCOMPARE(working(), reset);
    verifyViewFollows();
    QCOMPARE(TavoMainTest::rotated(*window), rotate);
    QCOMPARE(spbSize()->value(), 100);
    QCOMPARE(sldSize()->value(), 100);
    spbSize()->setValue(99);
    QCOMPARE(working().size(), rotate ? QSize(247, 495) : QSize(990, 495));
}

void PictureCommandsTest::sizeReadout_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QString>("pitch");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("tooLarge"); // red beyond 140 mm, blue up to it

    auto row = [](const char* tag, QSize picture, const char* pitch, const char* text, bool red) {
        QTest::newRow(tag) << picture << QString(pitch) << QString(text) << red;
    };
    row("too wide", QSize(300, 200), "0.5", "X: 150.00 * Y: 100.00", true);
    row("140 high", QSize(10, 875), "0.16", "X: 1.60 * Y: 140.00", false);
    row("140.16 high", QSize(10, 876), "0.16", "X: 1.60 * Y: 140.16", true);
    // 0.14f is a hair above 0.14; only a single-precision product is 140.
    row("1000 at 0.14", QSize(1000, 10), "0.14", "X: 140.00 * Y: 1.40", false);
}

void PictureCommandsTest::sizeReadout()
{
    QFETCH(QSize, picture);
    QFETCH(QString, pitch);
    QFETCH(QString, text);
    QFETCH(bool, tooLarge);

    openImage(pictures::randomImage(picture.width(), picture.height(), 1));
    widget<QComboBox>(*window, "cmbParam1")->setCurrentText(pitch);
    QCOMPARE(widget<QLabel>(*window, "lblSize")->text(), "Size = " + text);
    QCOMPARE(widget<QLabel>(*window, "lblSize")->palette().color(QPalette::WindowText),
             tooLarge ? QColor(255, 0, 0) : QColor(0, 0, 255));
}

// The slider zooms however it moves, each time from the loaded picture,
// dropping what filters did; 101 is past the spin box's end.
void PictureCommandsTest::slider()
{
    const QImage source = pictures::randomImage(200, 100, 6);
    openImage(source);
    invert();
    const QImage processed = working();
    drag(101);
    QCOMPARE(sldSize()->value(), 101);
    QCOMPARE(working(), processed);
    QTest::keyClick(sldSize(), Qt::Key_PageDown);
    QCOMPARE(spbSize()->value(), sldSize()->value());
    QCOMPARE(working().width(), 2 * spbSize()->value());

    drag(60);
    QCOMPARE(spbSize()->value(), 60);
    QCOMPARE(working(), source.scaled(120, 60, Qt::KeepAspectRatio, Qt::FastTransformation));
    QCOMPARE(widget<QLabel>(*window, "lblSize")->text(), QString("Size = X: 19.20 * Y: 9.60"));
    drag(29); // a box of 57 x 28: 0.29 * 100 is 28.99..., truncated
    QCOMPARE(widget<QLabel>(*window, "lblImage")->pixmap(Qt::ReturnByValue).size(), QSize(56, 28));
}

QTEST_MAIN(PictureCommandsTest)
#include "tst_picturecommands.moc"
