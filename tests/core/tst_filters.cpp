#include "imaging/imageprocessor.h"
#include "pictures.h"

#include <QtTest>

#include <cstring>
#include <utility>

// The filters on small pictures worked out by hand: the gray level, the mean
// and Binary's edges, Pulverize's random stream, Outline and Soften. The
// property test covers every filter on random pictures.
class TestFilters : public QObject
{
    Q_OBJECT

private slots:
    void grayLevelRule_data();
    void grayLevelRule();
    void meanGrayLevel_data();
    void meanGrayLevel();
    void binary_data();
    void binary();
    void pulverizeIsRepeatableWhenSeeded();
    void outline_data();
    void outline();
    void softenSingleWhitePixel();
};

namespace {

QImage applied(const QImage& picture, void (ImageProcessor::*filter)(), bool manual = false,
               int threshold = 127, std::uint64_t seed = 0)
{
    ImageProcessor processor;
    processor.seedRandom(seed);
    processor.adoptImage(picture);
    processor.setManualThreshold(manual);
    processor.setThreshold(threshold);
    (processor.*filter)();
    return std::as_const(processor).workingImage();
}

// '#' white, anything else black.
QImage art(std::initializer_list<const char*> rows)
{
    QImage image(int(std::strlen(*rows.begin())), int(rows.size()), QImage::Format_RGB32);
    int y = 0;
    for (const char* row : rows) {
        for (int x = 0; row[x]; ++x)
            image.setPixel(x, y, row[x] == '#' ? 0xFFFFFFFFu : 0xFF000000u);
        ++y;
    }
    return image;
}

} // namespace

void TestFilters::grayLevelRule_data()
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

void TestFilters::grayLevelRule()
{
    QFETCH(QRgb, pixel);
    QFETCH(int, level);
    QCOMPARE(grayLevel(pixel), level);
}

void TestFilters::meanGrayLevel_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<int>("mean");
    QTest::newRow("empty") << QImage() << 0;
    QTest::newRow("black and white") << pictures::grayRows({{0, 255}}) << 127;
    QTest::newRow("the tenth tips 0.9 to 1")
        << pictures::grayRows({{9, 0, 0, 0, 0, 0, 0, 0, 0, 0}}) << 1;
}

void TestFilters::meanGrayLevel()
{
    QFETCH(QImage, image);
    QFETCH(int, mean);
    ImageProcessor processor;
    processor.adoptImage(image);
    QCOMPARE(processor.meanGrayLevel(), mean);
    QCOMPARE(processor.effectiveThreshold(), mean);
}

void TestFilters::binary_data()
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

void TestFilters::binary()
{
    QFETCH(bool, manual);
    QFETCH(int, threshold);
    QFETCH(QImage, image);
    QFETCH(QImage, expected);
    QCOMPARE(applied(image, &ImageProcessor::binaryImage, manual, threshold),
             expected.convertToFormat(image.format()));
}

void TestFilters::pulverizeIsRepeatableWhenSeeded()
{
    const QImage image = pictures::randomImage(30, 25, 9);
    const auto pulverized = [&](std::uint64_t seed) {
        return applied(image, &ImageProcessor::pulverizeImage, false, 127, seed);
    };
    QCOMPARE(pulverized(7), pulverized(7));
    QVERIFY(pulverized(7) != pulverized(8));

    // The stream goes on: a second run differs from the first.
    ImageProcessor processor;
    processor.seedRandom(7);
    processor.adoptImage(image);
    processor.pulverizeImage();
    processor.resetImage();
    processor.pulverizeImage();
    QVERIFY(std::as_const(processor).workingImage() != pulverized(7));
}

void TestFilters::outline_data()
{
    QTest::addColumn<bool>("manual");
    QTest::addColumn<QImage>("image");
    QTest::addColumn<QImage>("expected");

    const QImage square = art({"#######", "#....##", "#....##", "#....##", "#....##", "#######"});
    const QImage outlined = art({"#######", "#....##", "#.##.##", "#.##.##", "#....##", "#######"});
    QTest::newRow("square, manual 127") << true << square << outlined;
    // Mean 157: the same split into light and dark.
    QTest::newRow("square, automatic") << false << square << outlined;
    const QImage black = art({"....", "....", "...."});
    QTest::newRow("all black, automatic") << false << black << black;
    QTest::newRow("all black, manual 127") << true << black << art({"....", ".##.", "...."});
}

void TestFilters::outline()
{
    QFETCH(bool, manual);
    QFETCH(QImage, image);
    QFETCH(QImage, expected);
    QCOMPARE(applied(image, &ImageProcessor::outlineImage, manual), expected);
}

void TestFilters::softenSingleWhitePixel()
{
    QImage image = pictures::filled(10, 10, qRgb(0, 0, 0));
    image.setPixel(5, 5, qRgb(255, 255, 255));
    const QImage result = applied(image, &ImageProcessor::softenImage);
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 10; ++x) {
            // 63 at the centre of the 3 x 3 result window, 31 at its edges, 15 at its corners.
            const bool inside = x >= 3 && x <= 5 && y >= 3 && y <= 5;
            const int level = inside ? 255 * (x == 4 ? 2 : 1) * (y == 4 ? 2 : 1) / 16 : 0;
            QCOMPARE(result.pixel(x, y), qRgb(level, level, level));
        }
    }
}

QTEST_APPLESS_MAIN(TestFilters)
#include "tst_filters.moc"
