// The view of the working image: size read-out, zoom, Scale and Fit.

#include "tavomaintest.h"

#include "pictures.h"

#include <QLabel>
#include <QSlider>
#include <QSpinBox>

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
    void slider();
    void scaleAndFit_data();
    void scaleAndFit();

private:
    void open(const QImage& picture)
    {
        const QString path = dir->filePath(QString("p%1.png").arg(dialogs->prompts().size()));
        QVERIFY(picture.save(path));
        openPicture(*window, *dialogs, path);
    }
    void invert() { TavoMainTest::imageProcessor(*window).workingImage()->invertPixels(); }
    void drag(int position)
    {
        sldSize()->setSliderDown(true);
        sldSize()->setSliderPosition(position);
        sldSize()->setSliderDown(false);
    }
    QLabel* lblSize() const { return widget<QLabel>(*window, "lblSize"); }
    QSpinBox* spbSize() const { return widget<QSpinBox>(*window, "spbSize"); }
    QSlider* sldSize() const { return widget<QSlider>(*window, "sldSize"); }
    const QImage& working() const { return TavoMainTest::workingImage(*window); }
};

void ImageViewTest::sizeReadout_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QString>("pitch");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("tooLarge"); // red beyond 140 mm, blue up to it

    auto row = [](const char* tag, QSize picture, const char* pitch, const char* text, bool red) {
        QTest::newRow(tag) << picture << QString(pitch) << QString(text) << red;
    };
    row("default pitch", QSize(300, 200), "0.16", "X: 48.00 * Y: 32.00", false);
    row("too wide", QSize(300, 200), "0.5", "X: 150.00 * Y: 100.00", true);
    row("140 wide", QSize(280, 100), "0.5", "X: 140.00 * Y: 50.00", false);
    row("140 high", QSize(10, 875), "0.16", "X: 1.60 * Y: 140.00", false);
    row("140.16 high", QSize(10, 876), "0.16", "X: 1.60 * Y: 140.16", true);
    // 0.14f is a hair above 0.14; only a single-precision product is 140.
    row("1000 at 0.14", QSize(1000, 10), "0.14", "X: 140.00 * Y: 1.40", false);
}

void ImageViewTest::sizeReadout()
{
    QFETCH(QSize, picture);
    QFETCH(QString, pitch);
    QFETCH(QString, text);
    QFETCH(bool, tooLarge);

    open(pictures::randomImage(picture.width(), picture.height(), 1));
    widget<QComboBox>(*window, "cmbParam1")->setCurrentText(pitch);
    QCOMPARE(lblSize()->text(), "Size = " + text);
    QCOMPARE(lblSize()->palette().color(QPalette::WindowText),
             tooLarge ? QColor(255, 0, 0) : QColor(0, 0, 255));
}

void ImageViewTest::zoom_data()
{
    QTest::addColumn<QSize>("source");
    QTest::addColumn<int>("percent");
    QTest::addColumn<bool>("rotated");
    QTest::addColumn<QSize>("expected");

    QTest::newRow("166.5 truncated") << QSize(333, 333) << 50 << false << QSize(166, 166);
    QTest::newRow("29 / 100.0 * 100 is 28.999") << QSize(100, 100) << 29 << false << QSize(28, 28);
    QTest::newRow("5x5 at 10 vanishes") << QSize(5, 5) << 10 << false << QSize(0, 0);
    // Transposed, then fitted into the source's own box, not a swapped one.
    QTest::newRow("rotated") << QSize(400, 200) << 50 << true << QSize(50, 100);
}

void ImageViewTest::zoom()
{
    QFETCH(QSize, source);
    QFETCH(int, percent);
    QFETCH(bool, rotated);
    QFETCH(QSize, expected);

    open(pictures::randomImage(source.width(), source.height(), 2));
    TavoMainTest::setRotated(*window, rotated);
    spbSize()->setValue(percent);
    QCOMPARE(working().size(), expected);
    QCOMPARE(widget<QLabel>(*window, "lblImage")->pixmap(Qt::ReturnByValue).size(), expected);
    QCOMPARE(sldSize()->value(), percent);
}

// The slider zooms however it moves, each time from the loaded picture,
// dropping what filters did; 101 is past the spin box's end.
void ImageViewTest::slider()
{
    const QImage source = pictures::randomImage(200, 100, 6);
    open(source);
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
    QCOMPARE(lblSize()->text(), QString("Size = X: 19.20 * Y: 9.60"));
}

void ImageViewTest::scaleAndFit_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QSize>("scaled");
    QTest::newRow("wide, shrunk") << QSize(1000, 500) << QSize(620, 310);
    QTest::newRow("enlarged") << QSize(300, 200) << QSize(620, 413);
    QTest::newRow("tall") << QSize(200, 400) << QSize(210, 420);
}

// Both work on the current picture, what was done to it included, and touch
// neither the zoom nor the rotation.
void ImageViewTest::scaleAndFit()
{
    QFETCH(QSize, picture);
    QFETCH(QSize, scaled);
    const QSize area(620, 420);

    open(pictures::randomImage(picture.width(), picture.height(), 8));
    QVERIFY2(setViewArea(*window, area), "the window cannot offer that view area");
    invert();
    const QImage afterScale = working().scaled(scaled, Qt::IgnoreAspectRatio);
    QTest::mouseClick(widget<QPushButton>(*window, "btnScale"), Qt::LeftButton);
    QCOMPARE(working(), afterScale);
    QTest::mouseClick(widget<QPushButton>(*window, "btnFit"), Qt::LeftButton);
    QCOMPARE(working(), afterScale.scaled(area, Qt::IgnoreAspectRatio));
    QVERIFY(spbSize()->value() == 100 && sldSize()->value() == 100);
    QCOMPARE(TavoMainTest::rotated(*window), false);
}

QTEST_MAIN(ImageViewTest)
#include "tst_imageview.moc"
