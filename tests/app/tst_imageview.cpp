// The view of the working image: the engraving-size read-out, zoom through
// the spin box and the slider, and Scale and Fit into the view area.

#include "tavomaintest.h"

#include "pictures.h"

#include <QLabel>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>

namespace {

const QColor red(255, 0, 0);
const QColor blue(0, 0, 255);

QImage transposed(const QImage& image)
{
    QImage result(image.height(), image.width(), image.format());
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            result.setPixel(y, x, image.pixel(x, y));
    return result;
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
    void init();
    void cleanup();

    void sizeReadout_data();
    void sizeReadout();
    void pitchChangeRewritesReadoutOnly();

    void zoom_data();
    void zoom();
    void zoomStartsFromTheSource();
    void zoomReappliesRotation();
    void sliderDrag();
    void sliderWithoutDrag();

    void scaleAndFit_data();
    void scaleAndFit();
    void scaleKeepsProcessing();

private:
    void open(const QImage& picture);
    QLabel* lblSize() const { return widget<QLabel>(*window, "lblSize"); }
    QSpinBox* spbSize() const { return widget<QSpinBox>(*window, "spbSize"); }
    QSlider* sldSize() const { return widget<QSlider>(*window, "sldSize"); }
    const QImage& working() const { return TavoMainTest::workingImage(*window); }
};

void ImageViewTest::init()
{
    setUpWindow();
}

void ImageViewTest::cleanup()
{
    tearDownWindow();
}

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
    QTest::addColumn<QColor>("colour");

    QTest::newRow("300x200 at 0.16") << QSize(300, 200) << "0.16"
                                     << "Size = X: 48.00 * Y: 32.00" << blue;
    QTest::newRow("300x200 at 0.5") << QSize(300, 200) << "0.5"
                                    << "Size = X: 150.00 * Y: 100.00" << red;
    QTest::newRow("300x200 at 1") << QSize(300, 200) << "1"
                                  << "Size = X: 300.00 * Y: 200.00" << red;
    QTest::newRow("2x3 at 0.02") << QSize(2, 3) << "0.02"
                                 << "Size = X: 0.04 * Y: 0.06" << blue;
    // Exactly 140 mm is still inside, on either axis.
    QTest::newRow("280x100 at 0.5") << QSize(280, 100) << "0.5"
                                    << "Size = X: 140.00 * Y: 50.00" << blue;
    QTest::newRow("875 wide at 0.16") << QSize(875, 10) << "0.16"
                                      << "Size = X: 140.00 * Y: 1.60" << blue;
    QTest::newRow("875 high at 0.16") << QSize(10, 875) << "0.16"
                                      << "Size = X: 1.60 * Y: 140.00" << blue;
    QTest::newRow("876 wide at 0.16") << QSize(876, 10) << "0.16"
                                      << "Size = X: 140.16 * Y: 1.60" << red;
    QTest::newRow("876 high at 0.16") << QSize(10, 876) << "0.16"
                                      << "Size = X: 1.60 * Y: 140.16" << red;
    // 0.14f is a hair above 0.14; only a product rounded to single precision
    // lands back on 140.
    QTest::newRow("1000 at 0.14, single precision") << QSize(1000, 10) << "0.14"
                                                    << "Size = X: 140.00 * Y: 1.40" << blue;
}

void ImageViewTest::sizeReadout()
{
    QFETCH(QSize, picture);
    QFETCH(QString, pitch);
    QFETCH(QString, text);
    QFETCH(QColor, colour);

    open(pictures::filled(picture.width(), picture.height(), qRgb(10, 20, 30)));
    auto* cmbParam1 = widget<QComboBox>(*window, "cmbParam1");
    if (pitch != "0.16")
        cmbParam1->setCurrentText(pitch);
    QCOMPARE(cmbParam1->currentText(), pitch);

    QCOMPARE(lblSize()->text(), text);
    // A fresh palette with only the text colour changed, in every state.
    const QPalette palette = lblSize()->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        QCOMPARE(palette.color(group, QPalette::WindowText), colour);
    QCOMPARE(palette.color(QPalette::Disabled, QPalette::Text),
             QPalette().color(QPalette::Disabled, QPalette::Text));
}

// The pitch list sends its text; the picture itself is left alone.
void ImageViewTest::pitchChangeRewritesReadoutOnly()
{
    open(pictures::randomImage(300, 200, 1));
    const QImage before = working();
    QCOMPARE(lblSize()->text(), QString("Size = X: 48.00 * Y: 32.00"));

    widget<QComboBox>(*window, "cmbParam1")->setCurrentIndex(37);
    QCOMPARE(lblSize()->text(), QString("Size = X: 300.00 * Y: 200.00"));
    QCOMPARE(lblSize()->palette().color(QPalette::WindowText), red);
    QCOMPARE(working(), before);
    QVERIFY(working().constBits() == before.constBits());
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
    QCOMPARE(widget<QLabel>(*window, "lblImage")->pixmap(Qt::ReturnByValue).size(), expected);
    QCOMPARE(sldSize()->value(), percent);
    QCOMPARE(lblSize()->text(), QString("Size = X: %1 * Y: %2")
                                    .arg(expected.width() * 0.16f, 0, 'F', 2)
                                    .arg(expected.height() * 0.16f, 0, 'F', 2));
    QCOMPARE(TavoMainTest::imageProcessor(*window).sourceImage().size(), source);
}

void ImageViewTest::zoomStartsFromTheSource()
{
    const QImage source = pictures::randomImage(120, 80, 3);
    open(source);
    TavoMainTest::imageProcessor(*window).workingImage()->invertPixels(); // a filter
    spbSize()->setValue(90);
    QCOMPARE(working(), source.scaled(108, 72, Qt::KeepAspectRatio, Qt::FastTransformation));

    TavoMainTest::imageProcessor(*window).workingImage()->invertPixels();
    spbSize()->setValue(100);
    QCOMPARE(working(), source);
}

// The box comes from the source's own size, not swapped: a transposed
// picture is fitted into the untransposed box.
void ImageViewTest::zoomReappliesRotation()
{
    const QImage source = pictures::randomImage(400, 200, 4);
    open(source);
    TavoMainTest::setRotated(*window, true);

    spbSize()->setValue(99);
    QCOMPARE(working().size(), QSize(99, 198));
    spbSize()->setValue(50);
    QCOMPARE(working().size(), QSize(50, 100));
    spbSize()->setValue(100);
    QCOMPARE(working().size(), QSize(100, 200));

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
    QCOMPARE(working(), transposed(square));
    QCOMPARE(TavoMainTest::rotated(*window), true);
}

void ImageViewTest::sliderDrag()
{
    const QImage source = pictures::randomImage(200, 100, 6);
    open(source);

    dragSlider(sldSize(), 60);
    QCOMPARE(spbSize()->value(), 60);
    QCOMPARE(sldSize()->value(), 60);
    QCOMPARE(working().size(), QSize(120, 60));

    dragSlider(sldSize(), 100);
    QCOMPARE(spbSize()->value(), 100);
    QCOMPARE(working(), source);

    // 101 is past the spin box's end: nothing is zoomed, the slider stays.
    TavoMainTest::imageProcessor(*window).workingImage()->invertPixels();
    const QImage processed = working();
    dragSlider(sldSize(), 101);
    QCOMPARE(spbSize()->value(), 100);
    QCOMPARE(sldSize()->value(), 101);
    QCOMPARE(working(), processed);
}

// Keys and page steps move the slider without sliderMoved: no zoom.
void ImageViewTest::sliderWithoutDrag()
{
    open(pictures::randomImage(200, 100, 7));
    sldSize()->triggerAction(QAbstractSlider::SliderPageStepSub);
    QTest::keyClick(sldSize(), Qt::Key_Left);
    QVERIFY(sldSize()->value() < 100);
    QCOMPARE(spbSize()->value(), 100);
    QCOMPARE(working().size(), QSize(200, 100));
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

void ImageViewTest::scaleAndFit()
{
    QFETCH(QSize, area);
    QFETCH(QSize, picture);
    QFETCH(QSize, scaled);

    open(pictures::randomImage(picture.width(), picture.height(), 8));
    QVERIFY2(setViewArea(*window, area), "the window cannot offer that view area");

    QTest::mouseClick(widget<QPushButton>(*window, "btnScale"), Qt::LeftButton);
    QCOMPARE(working().size(), scaled);
    QCOMPARE(widget<QLabel>(*window, "lblImage")->pixmap(Qt::ReturnByValue).size(), scaled);
    QCOMPARE(lblSize()->text(), QString("Size = X: %1 * Y: %2")
                                    .arg(scaled.width() * 0.16f, 0, 'F', 2)
                                    .arg(scaled.height() * 0.16f, 0, 'F', 2));

    QTest::mouseClick(widget<QPushButton>(*window, "btnFit"), Qt::LeftButton);
    QCOMPARE(working().size(), area);

    // Neither touches the zoom or the rotation.
    QCOMPARE(spbSize()->value(), 100);
    QCOMPARE(sldSize()->value(), 100);
    QCOMPARE(TavoMainTest::rotated(*window), false);
    QCOMPARE(TavoMainTest::imageProcessor(*window).sourceImage().size(), picture);
}

// Scale works on the current picture: what was done to it stays.
void ImageViewTest::scaleKeepsProcessing()
{
    open(pictures::randomImage(300, 200, 9));
    QVERIFY(setViewArea(*window, QSize(620, 420)));
    TavoMainTest::imageProcessor(*window).workingImage()->invertPixels();
    const QImage processed = working();

    QTest::mouseClick(widget<QPushButton>(*window, "btnScale"), Qt::LeftButton);
    QCOMPARE(working(), processed.scaled(620, 413, Qt::IgnoreAspectRatio, Qt::FastTransformation));
    QTest::mouseClick(widget<QPushButton>(*window, "btnFit"), Qt::LeftButton);
    QCOMPARE(working(), processed.scaled(620, 413, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                            .scaled(620, 420, Qt::IgnoreAspectRatio, Qt::FastTransformation));
}

QTEST_MAIN(ImageViewTest)
#include "tst_imageview.moc"
