#include "imaging/imageprocessor.h"
#include "pictures.h"

#include <QtTest>

#include <utility>

// Gray, Binary and Dither on small pictures worked out by hand; the property
// test covers them on random ones.
class TestToneFilters : public QObject
{
    Q_OBJECT

private slots:
    void grayLevelRule_data();
    void grayLevelRule();
    void meanGrayLevel_data();
    void meanGrayLevel();
    void binary_data();
    void binary();
    void dither_data();
    void dither();
    void ditherNeighbour_data();
    void ditherNeighbour();
};

namespace {

QImage applied(const QImage& picture, void (ImageProcessor::*filter)(), bool manual,
               int threshold = 127)
{
    ImageProcessor processor;
    processor.adoptImage(picture);
    processor.setManualThreshold(manual);
    processor.setThreshold(threshold);
    (processor.*filter)();
    return std::as_const(processor).workingImage();
}

} // namespace

void TestToneFilters::grayLevelRule_data()
{
    QTest::addColumn<QRgb>("pixel");
    QTest::addColumn<int>("level");
    QTest::newRow("white") << qRgb(255, 255, 255) << 255;
    QTest::newRow("red") << qRgb(255, 0, 0) << 76;
    QTest::newRow("green") << qRgb(0, 255, 0) << 150;
    QTest::newRow("blue") << qRgb(0, 0, 255) << 28;
    // 0.3 R + 0.59 G + 0.11 B + 0.1 is whole here; the roundings decide.
    QTest::newRow("whole 6 rounds down") << qRgb(0, 10, 0) << 5;
    QTest::newRow("whole 7 rounds down") << qRgb(0, 2, 52) << 6;
    QTest::newRow("alpha ignored") << qRgba(0, 10, 0, 0) << 5;
}

void TestToneFilters::grayLevelRule()
{
    QFETCH(QRgb, pixel);
    QFETCH(int, level);
    QCOMPARE(grayLevel(pixel), level);
}

void TestToneFilters::meanGrayLevel_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<int>("mean");
    QTest::newRow("empty") << QImage() << 0;
    QTest::newRow("black and white") << pictures::grayRows({{0, 255}}) << 127;
    QTest::newRow("the tenth tips 0.9 to 1")
        << pictures::grayRows({{9, 0, 0, 0, 0, 0, 0, 0, 0, 0}}) << 1;
}

void TestToneFilters::meanGrayLevel()
{
    QFETCH(QImage, image);
    QFETCH(int, mean);
    ImageProcessor processor;
    processor.adoptImage(image);
    QCOMPARE(processor.meanGrayLevel(), mean);
    QCOMPARE(processor.effectiveThreshold(), mean);
}

void TestToneFilters::binary_data()
{
    QTest::addColumn<bool>("manual");
    QTest::addColumn<int>("threshold");
    QTest::addColumn<QImage>("image");
    QTest::addColumn<QImage>("expected");

    const QImage edge = pictures::grayRows({{127, 128}}), extremes = pictures::grayRows({{0, 255}});
    QTest::newRow("127 is not above 127") << true << 127 << edge << pictures::grayRows({{0, 255}});
    QTest::newRow("-1 whitens all") << true << -1 << extremes << pictures::grayRows({{255, 255}});
    QTest::newRow("255 blackens all") << true << 255 << extremes << pictures::grayRows({{0, 0}});
    QTest::newRow("999 blackens all") << true << 999 << extremes << pictures::grayRows({{0, 0}});
    QImage translucent(2, 1, QImage::Format_ARGB32);
    translucent.setPixel(0, 0, qRgba(0, 0, 0, 9));
    translucent.setPixel(1, 0, qRgba(255, 255, 255, 9));
    QTest::newRow("auto, translucent comes out opaque") << false << 0 << translucent << extremes;
}

void TestToneFilters::binary()
{
    QFETCH(bool, manual);
    QFETCH(int, threshold);
    QFETCH(QImage, image);
    QFETCH(QImage, expected);
    QCOMPARE(applied(image, &ImageProcessor::binaryImage, manual, threshold),
             expected.convertToFormat(image.format()));
}

void TestToneFilters::dither_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<QImage>("expected");
    QTest::newRow("3 x 2 of 100") << pictures::grayRows({{100, 100, 100}, {100, 100, 100}})
                                  << pictures::grayRows({{100, 211, 100}, {195, 131, 100}});
    QTest::newRow("4 x 3 of 100")
        << pictures::grayRows({{100, 100, 100, 100}, {100, 100, 100, 100}, {100, 100, 100, 100}})
        << pictures::grayRows({{100, 211, 100, 211}, {195, 210, 195, 131}, {100, 100, 100, 100}});
}

void TestToneFilters::dither()
{
    QFETCH(QImage, image);
    QFETCH(QImage, expected);
    QCOMPARE(applied(image, &ImageProcessor::ditherImage, true), expected);
}

void TestToneFilters::ditherNeighbour_data()
{
    QTest::addColumn<QColor>("current");
    QTest::addColumn<QColor>("neighbour");
    QTest::addColumn<double>("weight");
    QTest::addColumn<QRgb>("expected");
    // Red above 127 passes nothing, blue on it counts as below.
    QTest::newRow("per channel") << QColor(200, 50, 127) << QColor(10, 10, 10) << 0.4375
                                 << qRgb(10, 121, 121);
    QTest::newRow("capped") << QColor(0, 0, 0) << QColor(230, 224, 0) << 0.125
                            << qRgb(255, 255, 31);
    QTest::newRow("nothing passes, still opaque")
        << QColor(255, 255, 255) << QColor(1, 2, 3, 4) << 0.4375 << qRgb(1, 2, 3);
}

void TestToneFilters::ditherNeighbour()
{
    QFETCH(QColor, current);
    QFETCH(QColor, neighbour);
    QFETCH(double, weight);
    QFETCH(QRgb, expected);
    QCOMPARE(ImageProcessor::ditherNeighbour(current, QColor(127, 127, 127), neighbour, weight),
             expected);
}

QTEST_APPLESS_MAIN(TestToneFilters)
#include "tst_tonefilters.moc"
