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
    void init() { setUpWindow(); }
    void cleanup() { tearDownWindow(); }

    void filterCommand_data();
    void filterCommand();
    void filtersBeforeAnyPicture();
    void thresholdControls();
    void thresholdOnFocusLoss();
    void crop_data();
    void crop();
    void rotate_data();
    void rotate();
    void rotateTwiceRestores();
    void reset_data();
    void reset();

private:
    void open(const QImage& picture)
    {
        const QString path = dir->filePath(QString("picture%1.png").arg(dialogs->prompts().size()));
        QVERIFY(picture.save(path));
        openPicture(*window, *dialogs, path);
        QCOMPARE(working(), picture);
        dialogs->clear();
    }
    void click(const char* name)
    {
        QTest::mouseClick(widget<QPushButton>(*window, name), Qt::LeftButton);
    }
    ImageProcessor& processor() const { return TavoMainTest::imageProcessor(*window); }
    const QImage& working() const { return TavoMainTest::workingImage(*window); }
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
    // The view shows the working image and the read-out was rewritten for it.
    void verifyViewFollows()
    {
        const QImage shown =
            widget<QLabel>(*window, "lblImage")->pixmap(Qt::ReturnByValue).toImage();
        QCOMPARE(shown.convertToFormat(working().format()), working());
        QCOMPARE(widget<QLabel>(*window, "lblSize")->text(), sizeText(working().size()));
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
    QVERIFY(widget<QLabel>(*window, "lblImage")->pixmap(Qt::ReturnByValue).isNull());
    QCOMPARE(dialogs->prompts().size(), 0);
}

void PictureCommandsTest::thresholdControls()
{
    open(pictures::randomImage(20, 10, 2));
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
    // A finished edit while automatic is ignored, and back in manual mode the
    // last accepted value is in force again.
    txtThreshold()->setText("90");
    emit txtThreshold()->editingFinished();
    QCOMPARE(processor().threshold(), 50);
    QTest::keyClick(ckbThreshold(), Qt::Key_Space);
    QCOMPARE(thresholdState(), "manual, field open, processor manual at 50");

    // The text reads as a whole number or 0, and is taken even out of range.
    const std::pair<const char*, int> typed[] = {{"abc", 0}, {"12.5", 0}, {"-1", -1}, {"300", 300}};
    for (const auto& [text, threshold] : typed) {
        txtThreshold()->clear();
        QTest::keyClicks(txtThreshold(), text);
        QTest::keyClick(txtThreshold(), Qt::Key_Return);
        QCOMPARE(processor().threshold(), threshold);
    }
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
    QTest::addColumn<bool>("realBox"); // the production message box, not a scripted answer

    QTest::newRow("200x300: no question") << QSize(200, 300) << false << 0 << false;
    QTest::newRow("100x100: no question") << QSize(100, 100) << false << 0 << false;
    QTest::newRow("300x200, Ok") << QSize(300, 200) << true << int(Dialogs::Ok) << false;
    QTest::newRow("300x200, Cancel") << QSize(300, 200) << true << int(Dialogs::Cancel) << false;
    QTest::newRow("real box, Ok") << QSize(30, 20) << true << int(Dialogs::Ok) << true;
    // Escape must count as Cancel.
    QTest::newRow("real box, Escape") << QSize(30, 20) << true << int(Dialogs::Cancel) << true;
}

void PictureCommandsTest::rotate()
{
    QFETCH(QSize, picture);
    QFETCH(bool, asks);
    QFETCH(int, answer);
    QFETCH(bool, realBox);

    const QImage source = pictures::randomImage(picture.width(), picture.height(), 5);
    open(source);
    processor().workingImage()->invertPixels();
    const QImage before = working();
    widget<QLabel>(*window, "lblSize")->setText("stale");

    // The question as shown: title, text, buttons, the default.
    QString question;
    const QString expected = QString("Rotate Image\n%1\nOk|Cancel, Cancel").arg(rotateQuestion);
    QtDialogs realDialogs;
    if (realBox) {
        Dialogs::install(&realDialogs);
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            const bool okCancel = box->standardButtons() == (QMessageBox::Ok | QMessageBox::Cancel);
            question =
                box->windowTitle() + "\n" + box->text() + (okCancel ? "\nOk|Cancel" : "\n?") +
                (box->defaultButton() == box->button(QMessageBox::Cancel) ? ", Cancel" : ", ?");
            if (answer == Dialogs::Ok)
                box->button(QMessageBox::Ok)->click();
            else
                QTest::keyClick(box, Qt::Key_Escape);
        });
    } else if (asks) {
        dialogs->answerQuestion(Dialogs::Button(answer));
    }
    click("btnRotate");
    if (realBox)
        Dialogs::install(dialogs);
    QCOMPARE(dialogs->prompts().size(), asks && !realBox ? 1 : 0);
    if (asks && !realBox) {
        const ScriptedDialogs::Prompt& prompt = dialogs->prompts().first();
        QCOMPARE(prompt.kind, ScriptedDialogs::Question);
        const bool okCancel = prompt.buttons == (Dialogs::Ok | Dialogs::Cancel);
        question = prompt.title + "\n" + prompt.text + (okCancel ? "\nOk|Cancel" : "\n?") +
                   (prompt.defaultButton == Dialogs::Cancel ? ", Cancel" : ", ?");
    }
    QCOMPARE(question, asks ? expected : QString());
    const bool rotates = !asks || answer == Dialogs::Ok;
    QCOMPARE(working(), rotates ? transposed(before) : before);
    QCOMPARE(TavoMainTest::rotated(*window), rotates);
    if (rotates)
        verifyViewFollows();
    QCOMPARE(processor().sourceImage(), source);
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

void PictureCommandsTest::reset_data()
{
    QTest::addColumn<int>("zoom");
    QTest::addColumn<bool>("rotate");
    QTest::addColumn<QImage>("reset");

    const QImage source = pictures::randomImage(1000, 500, 9);
    QTest::newRow("the loaded picture") << 100 << false << source;
    // Moving the zoom back to 100 runs a zoom step, which applies the
    // rotation again: the transposed source fitted into the source's box.
    QTest::newRow("rotated at 80") << 80 << true
                                   << ImageProcessor::toWorkingFormat(transposed(source).scaled(
                                          250, 500, Qt::IgnoreAspectRatio, Qt::FastTransformation));
    // At 100 already no zoom step runs: the unrotated source stays until the
    // next zoom change.
    QTest::newRow("rotated at 100") << 100 << true << source;
}

// Reset undoes the processing, the crop and the zoom, but keeps the rotation
// flag: the next zoom step rotates.
void PictureCommandsTest::reset()
{
    QFETCH(int, zoom);
    QFETCH(bool, rotate);
    QFETCH(QImage, reset);

    open(pictures::randomImage(1000, 500, 9));
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
    sldSize()->triggerAction(QAbstractSlider::SliderPageStepSub); // moves without zooming
    QVERIFY(sldSize()->value() < 100);

    click("btnReset");
    QCOMPARE(working(), reset);
    verifyViewFollows();
    QCOMPARE(TavoMainTest::rotated(*window), rotate);
    QCOMPARE(spbSize()->value(), 100);
    QCOMPARE(sldSize()->value(), 100);
    spbSize()->setValue(99);
    QCOMPARE(working().size(), rotate ? QSize(247, 495) : QSize(990, 495));
}

QTEST_MAIN(PictureCommandsTest)
#include "tst_picturecommands.moc"
