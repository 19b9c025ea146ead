// The view of the working image: the engraving-size read-out, zoom through
// the spin box and the slider, and Scale and Fit into the view area.

#include "tavomaintest.h"

#include "pictures.h"

#include <QLabel>
#include <QSlider>
#include <QSpinBox>

namespace {

// The read-out for a picture of that size at the default pitch.
QString readout(const QSize& size)
{
    return QString("Size = X: %1 * Y: %2")
        .arg(size.width() * 0.16f, 0, 'F', 2)
        .arg(size.height() * 0.16f, 0, 'F', 2);
}

// A drag of the slider's handle to position: the only way sliderMoved comes.
void dragSlider(QSlider* slider, int position)
{
    slider->setSliderDown(true);
    slider->setSliderPosition(position);
    slider->setSliderDown(false);
}

} // namespace

class ImageViewTest : public QObject, protected WindowFixture
{
    Q_OBJECT

private slots:
    void initTestCase() { silenceOffscreenNoise(); }
    void init() { setUpWindow(); }
    void cleanup() { tearDownWindow(); }

    void sizeReadout_data();
    void sizeReadout();
    void zoom_data();
    void zoom();
    void zoomReappliesRotation();
    void slider();
    void scaleAndFit_data();
    void scaleAndFit();

private:
    void open(const QImage& picture);
    void invert() { TavoMainTest::imageProcessor(*window).workingImage()->invertPixels(); }
    QLabel* lblSize() const { return widget<QLabel>(*window, "lblSize"); }
    QSpinBox* spbSize() const { return widget<QSpinBox>(*window, "spbSize"); }
    QSlider* sldSize() const { return widget<QSlider>(*window, "sldSize"); }
    const QImage& working() const { return TavoMainTest::workingImage(*window); }
    QSize shown() const
    {
        return widget<QLabel>(*window, "lblImage")->pixmap(Qt::ReturnByValue).size();
    }
};

void ImageViewTest::open(const QImage& picture)
{
    const QString path = dir->filePath(QString("picture%1.png").arg(dialogs->prompts().size()));
    QVERIFY(picture.save(path));
    openPicture(*window, *dialogs, path);
    QCOMPARE(working().size(), picture.size());
}

void ImageViewTest::sizeReadout_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QString>("pitch");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("tooLarge"); // red beyond 140 mm, blue up to it

    auto row = [](const char* tag, QSize picture, const char* pitch, const char* text, bool red) {
        QTest::newRow(tag) << picture << QString(pitch) << QString(text) << red;
    };
    row("300x200 at 0.16", QSize(300, 200), "0.16", "X: 48.00 * Y: 32.00", false);
    row("300x200 at 0.5", QSize(300, 200), "0.5", "X: 150.00 * Y: 100.00", true);
    row("300x200 at 1", QSize(300, 200), "1", "X: 300.00 * Y: 200.00", true);
    row("2x3 at 0.02", QSize(2, 3), "0.02", "X: 0.04 * Y: 0.06", false);
    // Exactly 140 mm is still inside, on either axis.
    row("280x100 at 0.5", QSize(280, 100), "0.5", "X: 140.00 * Y: 50.00", false);
    row("875 wide at 0.16", QSize(875, 10), "0.16", "X: 140.00 * Y: 1.60", false);
    row("875 high at 0.16", QSize(10, 875), "0.16", "X: 1.60 * Y: 140.00", false);
    row("876 wide at 0.16", QSize(876, 10), "0.16", "X: 140.16 * Y: 1.60", true);
    row("876 high at 0.16", QSize(10, 876), "0.16", "X: 1.60 * Y: 140.16", true);
    // 0.14f is a hair above 0.14; only a product rounded to single precision
    // lands back on 140.
    row("1000 at 0.14, single precision", QSize(1000, 10), "0.14", "X: 140.00 * Y: 1.40", false);
}

void ImageViewTest::sizeReadout()
{
    QFETCH(QSize, picture);
    QFETCH(QString, pitch);
    QFETCH(QString, text);
    QFETCH(bool, tooLarge);

    open(pictures::randomImage(picture.width(), picture.height(), 1));
    // The pitch list sends its text; the picture itself is left alone.
    const QImage before = working();
    widget<QComboBox>(*window, "cmbParam1")->setCurrentText(pitch);
    QCOMPARE(widget<QComboBox>(*window, "cmbParam1")->currentText(), pitch);
    QVERIFY(working().constBits() == before.constBits());

    QCOMPARE(lblSize()->text(), "Size = " + text);
    // A fresh palette with only the text colour changed, in every state.
    const QPalette palette = lblSize()->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        QCOMPARE(palette.color(group, QPalette::WindowText),
                 tooLarge ? QColor(255, 0, 0) : QColor(0, 0, 255));
    QCOMPARE(palette.color(QPalette::Disabled, QPalette::Text),
             QPalette().color(QPalette::Disabled, QPalette::Text));
}

void ImageViewTest::zoom_data()
{
    QTest::addColumn<QSize>("source");
    QTest::addColumn<int>("percent");
    QTest::addColumn<QSize>("expected");

    QTest::newRow("333x333 at 50: 166.5 truncated") << QSize(333, 333) << 50 << QSize(166, 166);
    QTest::newRow("400x200 at 99") << QSize(400, 200) << 99 << QSize(396, 198);
    QTest::newRow("640x480 at 10") << QSize(640, 480) << 10 << QSize(64, 48);
    // 29 / 100.0 * 100 is 28.999..., not 29.
    QTest::newRow("100x100 at 29") << QSize(100, 100) << 29 << QSize(28, 28);
    QTest::newRow("5x5 at 10 vanishes") << QSize(5, 5) << 10 << QSize(0, 0);
}

void ImageViewTest::zoom()
{
    QFETCH(QSize, source);
    QFETCH(int, percent);
    QFETCH(QSize, expected);

    open(pictures::randomImage(source.width(), source.height(), 2));
    spbSize()->setValue(percent);
    QCOMPARE(working().size(), expected);
    QCOMPARE(shown(), expected);
    QCOMPARE(sldSize()->value(), percent);
    QCOMPARE(lblSize()->text(), readout(expected));
    QCOMPARE(TavoMainTest::imageProcessor(*window).sourceImage().size(), source);
}

// The box comes from the source's own size, not swapped: a transposed
// picture is fitted into the untransposed box.
void ImageViewTest::zoomReappliesRotation()
{
    const QImage source = pictures::randomImage(400, 200, 4);
    open(source);
    TavoMainTest::setRotated(*window, true);
    for (int percent : {99, 50, 100}) {
        spbSize()->setValue(percent);
        QCOMPARE(working().size(), QSize(percent, 2 * percent));
    }
    TavoMainTest::setRotated(*window, false);
    spbSize()->setValue(99);
    spbSize()->setValue(100);
    QCOMPARE(working(), source);

    // Square pictures show the transposition itself.
    const QImage square = pictures::randomImage(64, 64, 5);
    open(square);
    TavoMainTest::setRotated(*window, true);
    spbSize()->setValue(99);
    spbSize()->setValue(100);
    QCOMPARE(working(), square.transformed(QTransform().rotate(90)).mirrored(true, false));
}

// Only a drag zooms, and each zoom starts again from the loaded picture,
// dropping what filters did. Keys and page steps move the slider alone, and
// 101 is past the spin box's end.
void ImageViewTest::slider()
{
    const QImage source = pictures::randomImage(200, 100, 6);
    open(source);
    invert();
    dragSlider(sldSize(), 60);
    QCOMPARE(spbSize()->value(), 60);
    QCOMPARE(sldSize()->value(), 60);
    QCOMPARE(working(), source.scaled(120, 60, Qt::KeepAspectRatio, Qt::FastTransformation));
    invert();
    dragSlider(sldSize(), 100);
    QCOMPARE(spbSize()->value(), 100);
    QCOMPARE(working(), source);

    invert();
    const QImage processed = working();
    dragSlider(sldSize(), 101);
    QCOMPARE(spbSize()->value(), 100);
    QCOMPARE(sldSize()->value(), 101);
    sldSize()->triggerAction(QAbstractSlider::SliderPageStepSub);
    QTest::keyClick(sldSize(), Qt::Key_Left);
    QVERIFY(sldSize()->value() < 100);
    QCOMPARE(spbSize()->value(), 100);
    QCOMPARE(working(), processed);
}

void ImageViewTest::scaleAndFit_data()
{
    QTest::addColumn<QSize>("area");
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QSize>("scaled");

    QTest::newRow("1000x500 in 620x420") << QSize(620, 420) << QSize(1000, 500) << QSize(620, 310);
    QTest::newRow("300x200 enlarged into 620x420")
        << QSize(620, 420) << QSize(300, 200) << QSize(620, 413);
    QTest::newRow("200x400 in 620x420") << QSize(620, 420) << QSize(200, 400) << QSize(210, 420);
    QTest::newRow("1000x500 in 800x450") << QSize(800, 450) << QSize(1000, 500) << QSize(800, 400);
}

// Both work on the current picture, what was done to it included, and touch
// neither the zoom nor the rotation.
void ImageViewTest::scaleAndFit()
{
    QFETCH(QSize, area);
    QFETCH(QSize, picture);
    QFETCH(QSize, scaled);

    open(pictures::randomImage(picture.width(), picture.height(), 8));
    QVERIFY2(setViewArea(*window, area), "the window cannot offer that view area");
    invert();
    const QImage processed = working();

    QTest::mouseClick(widget<QPushButton>(*window, "btnScale"), Qt::LeftButton);
    const QImage afterScale =
        processed.scaled(scaled, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    QCOMPARE(working(), afterScale);
    QCOMPARE(shown(), scaled);
    QCOMPARE(lblSize()->text(), readout(scaled));

    QTest::mouseClick(widget<QPushButton>(*window, "btnFit"), Qt::LeftButton);
    QCOMPARE(working(), afterScale.scaled(area, Qt::IgnoreAspectRatio, Qt::FastTransformation));
    QVERIFY(spbSize()->value() == 100 && sldSize()->value() == 100);
    QCOMPARE(TavoMainTest::rotated(*window), false);
    QCOMPARE(TavoMainTest::imageProcessor(*window).sourceImage().size(), picture);
}

QTEST_MAIN(ImageViewTest)
#include "tst_imageview.moc"
