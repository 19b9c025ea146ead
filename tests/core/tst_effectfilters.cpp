#include "imaging/imageprocessor.h"
#include "pictures.h"

#include <QtTest>

#include <cstring>
#include <utility>

// Relief, Pulverize, Outline and Soften on pictures whose results can be told
// by hand; the property test covers them on random ones.
class TestEffectFilters : public QObject
{
    Q_OBJECT

private slots:
    void relief();
    void pulverizeTakesFromRightAndBelow();
    void pulverizeIsRepeatableWhenSeeded();
    void outline_data();
    void outline();
    void softenSingleWhitePixel();
};

namespace {

QImage applied(const QImage& image, void (ImageProcessor::*filter)(), bool manual = false,
               std::uint64_t seed = 0)
{
    ImageProcessor processor;
    processor.seedRandom(seed);
    processor.adoptImage(image);
    processor.setManualThreshold(manual);
    (processor.*filter)();
    return std::as_const(processor).workingImage();
}

QImage rgbRows(int width, std::initializer_list<QRgb> words)
{
    QImage image(width, int(words.size()) / width, QImage::Format_RGB32);
    std::copy(words.begin(), words.end(), reinterpret_cast<QRgb*>(image.bits()));
    return image;
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

void TestEffectFilters::relief()
{
    // Each pixel against the one below right, plus 128: 383 caps at 255, -127 at 127.
    const QImage image = rgbRows(3, {qRgb(0, 0, 255), qRgb(255, 0, 0), qRgb(1, 2, 3), qRgb(9, 9, 9),
                                     qRgb(0, 0, 0), qRgb(0, 255, 0)});
    QCOMPARE(applied(image, &ImageProcessor::reliefImage),
             rgbRows(3, {qRgb(128, 128, 255), qRgb(255, 127, 128), qRgb(1, 2, 3), qRgb(9, 9, 9),
                         qRgb(0, 0, 0), qRgb(0, 255, 0)}));
}

void TestEffectFilters::pulverizeTakesFromRightAndBelow()
{
    // Pixel (x, y) holds x in green and blue and y in red, so each names its source.
    const int width = 64, height = 48;
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, 0xFF000000u | QRgb(y) << 16 | QRgb(x));
    const QImage result = applied(image, &ImageProcessor::pulverizeImage, false, 42);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const QRgb pixel = result.pixel(x, y);
            const int dx = int(pixel & 0xFFFF) - x, dy = int(pixel >> 16 & 0xFF) - y;
            if (x == 0 || y == 0 || x == width - 1 || y == height - 1)
                QCOMPARE(QPoint(dx, dy), QPoint(0, 0));
            else
                QVERIFY(dx >= 0 && dx <= 18 && dy >= 0 && dy <= 18);
        }
    }
}

void TestEffectFilters::pulverizeIsRepeatableWhenSeeded()
{
    const QImage image = pictures::randomImage(30, 25, 9);
    const auto pulverized = [&](std::uint64_t seed) {
        return applied(image, &ImageProcessor::pulverizeImage, false, seed);
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

void TestEffectFilters::outline_data()
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

void TestEffectFilters::outline()
{
    QFETCH(bool, manual);
    QFETCH(QImage, image);
    QFETCH(QImage, expected);
    QCOMPARE(applied(image, &ImageProcessor::outlineImage, manual), expected);
}

void TestEffectFilters::softenSingleWhitePixel()
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

QTEST_APPLESS_MAIN(TestEffectFilters)
#include "tst_effectfilters.moc"
