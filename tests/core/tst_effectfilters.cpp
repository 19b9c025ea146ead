#include "imaging/imageprocessor.h"
#include "pictures.h"

#include <QtTest>

#include <set>

// Relief, Pulverize, Outline and Soften on pictures whose results can be
// told by hand: every channel pair, a square, a single white pixel, and
// pictures in which every pixel names its own coordinates. The property test
// covers the rest.
class TestEffectFilters : public QObject
{
    Q_OBJECT

private slots:
    void reliefEveryChannelPair();
    void pulverizeTakesFromRightAndBelow();
    void pulverizeIsRepeatableWhenSeeded();
    void pulverizeThreeWide();
    void outline_data();
    void outline();
    void softenSingleWhitePixel();
};

namespace {

// Reads through the const overload, never the writable pointer.
const QImage& working(const ImageProcessor& processor)
{
    return processor.workingImage();
}

QRgb word(const QImage& image, int x, int y)
{
    return reinterpret_cast<const QRgb*>(image.constScanLine(y))[x];
}

// Opaque pictures whose pixel (x, y) holds x in green and blue and y in red.
QImage coordinates(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            reinterpret_cast<QRgb*>(image.scanLine(y))[x] = 0xFF000000u | QRgb(y) << 16 | QRgb(x);
    return image;
}

QPoint source(QRgb pixel)
{
    return QPoint(int(pixel & 0xFFFF), int((pixel >> 16) & 0xFF));
}

QImage pulverized(const QImage& image, std::uint64_t seed)
{
    ImageProcessor processor;
    processor.seedRandom(seed);
    processor.adoptImage(image);
    processor.pulverizeImage();
    return working(processor);
}

} // namespace

void TestEffectFilters::reliefEveryChannelPair()
{
    QImage image(65537, 2, QImage::Format_RGB32);
    auto* top = reinterpret_cast<QRgb*>(image.scanLine(0));
    auto* bottom = reinterpret_cast<QRgb*>(image.scanLine(1));
    bottom[0] = 0xFF000000u;
    for (int x = 0; x < 65536; ++x) {
        const int low = x & 0xFF, high = x >> 8;
        top[x] = qRgb(low, high, 255 - low);
        bottom[x + 1] = qRgb(high, low, high);
    }
    top[65536] = qRgb(1, 2, 3);
    ImageProcessor processor;
    processor.adoptImage(image);
    processor.reliefImage();
    const QImage& result = working(processor);
    const auto relief = [](int a, int b) { return qMin(qAbs(a - b + 128), 255); };
    for (int x = 0; x < 65536; ++x) {
        const int low = x & 0xFF, high = x >> 8;
        const QRgb expected = qRgb(relief(low, high), relief(high, low), relief(255 - low, high));
        if (word(result, x, 0) != expected)
            QFAIL(qPrintable(QString("pair at %1").arg(x)));
    }
    QCOMPARE(word(result, 0, 0), qRgb(128, 128, 255));   // (0, 0), (0, 0), (255, 0)
    QCOMPARE(word(result, 255, 0), qRgb(255, 127, 128)); // (255, 0), (0, 255), (0, 0)
    QCOMPARE(word(result, 65536, 0), qRgb(1, 2, 3));
}

void TestEffectFilters::pulverizeTakesFromRightAndBelow()
{
    const int width = 64, height = 48;
    const QImage result = pulverized(coordinates(width, height), 42);
    std::set<int> freeDx, freeDy;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const QPoint from = source(word(result, x, y));
            if (x == 0 || y == 0 || x == width - 1 || y == height - 1) {
                QCOMPARE(from, QPoint(x, y));
                continue;
            }
            const int dx = from.x() - x, dy = from.y() - y;
            QVERIFY2(
                dx >= 0 && dx <= 18 && dy >= 0 && dy <= 18,
                qPrintable(
                    QString("(%1, %2) from (%3, %4)").arg(x).arg(y).arg(from.x()).arg(from.y())));
            if (x + 18 < width - 1)
                freeDx.insert(dx);
            if (y + 18 < height - 1)
                freeDy.insert(dy);
        }
    }
    QCOMPARE(int(freeDx.size()), 19);
    QCOMPARE(int(freeDy.size()), 19);
}

void TestEffectFilters::pulverizeIsRepeatableWhenSeeded()
{
    const QImage image = pictures::randomImage(30, 25, 9);
    QCOMPARE(pulverized(image, 7), pulverized(image, 7));
    QVERIFY(pulverized(image, 7) != pulverized(image, 8));

    // The stream goes on: a second run differs from the first.
    ImageProcessor processor;
    processor.seedRandom(7);
    processor.adoptImage(image);
    processor.pulverizeImage();
    processor.resetImage();
    processor.pulverizeImage();
    QVERIFY(working(processor) != pulverized(image, 7));
}

void TestEffectFilters::pulverizeThreeWide()
{
    for (std::uint64_t seed : {1u, 2u, 3u}) {
        const QImage result = pulverized(coordinates(3, 40), seed);
        for (int y = 0; y < 40; ++y) {
            QCOMPARE(source(word(result, 0, y)), QPoint(0, y));
            QCOMPARE(source(word(result, 2, y)), QPoint(2, y));
            const QPoint from = source(word(result, 1, y));
            if (y == 0 || y == 39)
                QCOMPARE(from, QPoint(1, y));
            else
                QVERIFY(from.x() >= 1 && from.x() <= 2 && from.y() >= y);
        }
    }
}

void TestEffectFilters::outline_data()
{
    QTest::addColumn<bool>("manual");
    QTest::addColumn<QImage>("image");
    QTest::addColumn<QImage>("expected");

    const QImage square = pictures::grayRows({{255, 255, 255, 255, 255, 255, 255},
                                              {255, 0, 0, 0, 0, 255, 255},
                                              {255, 0, 0, 0, 0, 255, 255},
                                              {255, 0, 0, 0, 0, 255, 255},
                                              {255, 0, 0, 0, 0, 255, 255},
                                              {255, 255, 255, 255, 255, 255, 255}});
    const QImage outlined = pictures::grayRows({{255, 255, 255, 255, 255, 255, 255},
                                                {255, 0, 0, 0, 0, 255, 255},
                                                {255, 0, 255, 255, 0, 255, 255},
                                                {255, 0, 255, 255, 0, 255, 255},
                                                {255, 0, 0, 0, 0, 255, 255},
                                                {255, 255, 255, 255, 255, 255, 255}});
    QTest::newRow("square, manual 127") << true << square << outlined;
    // Mean 157: the same split into light and dark.
    QTest::newRow("square, automatic") << false << square << outlined;

    const QImage black = pictures::grayRows({{0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}});
    QTest::newRow("all black, automatic") << false << black << black;
    QTest::newRow("all black, manual 127")
        << true << black << pictures::grayRows({{0, 0, 0, 0}, {0, 255, 255, 0}, {0, 0, 0, 0}});
}

void TestEffectFilters::outline()
{
    QFETCH(bool, manual);
    QFETCH(QImage, image);
    QFETCH(QImage, expected);
    ImageProcessor processor;
    processor.adoptImage(image);
    processor.setManualThreshold(manual);
    processor.outlineImage();
    QCOMPARE(working(processor), expected);
}

void TestEffectFilters::softenSingleWhitePixel()
{
    QImage image = pictures::filled(10, 10, qRgb(0, 0, 0));
    image.setPixel(5, 5, qRgb(255, 255, 255));
    ImageProcessor processor;
    processor.adoptImage(image);
    processor.softenImage();
    const QImage& result = working(processor);
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 10; ++x) {
            int expected = 0;
            if (x >= 3 && x <= 5 && y >= 3 && y <= 5) {
                const int weight = (x == 4 ? 2 : 1) * (y == 4 ? 2 : 1);
                expected = 255 * weight / 16; // 63, 31, 15
            }
            QCOMPARE(word(result, x, y), qRgb(expected, expected, expected));
        }
    }
}

QTEST_APPLESS_MAIN(TestEffectFilters)
#include "tst_effectfilters.moc"
