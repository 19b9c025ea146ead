#include "imaging/imageprocessor.h"
#include "pictures.h"

#include <QtTest>

#include <vector>

// Gray, Binary and Dither on small pictures worked out by hand, and the
// gray-level rule over every colour. The property test covers the rest.
class TestToneFilters : public QObject
{
    Q_OBJECT

private slots:
    void grayLevelRule_data();
    void grayLevelRule();
    void grayAndMeanOverEveryColour();
    void meanGrayLevel_data();
    void meanGrayLevel();
    void binary_data();
    void binary();
    void binaryAtEveryThresholdBoundary();
    void dither_data();
    void dither();
    void ditherNeighbour_data();
    void ditherNeighbour();
};

namespace {

// Reads through the const overload, never the writable pointer.
const QImage& working(const ImageProcessor& processor)
{
    return processor.workingImage();
}

enum class Mode { Automatic, Manual };

QImage applied(const QImage& picture, void (ImageProcessor::*filter)(), Mode mode = Mode::Automatic,
               int threshold = 127)
{
    ImageProcessor processor;
    processor.adoptImage(picture);
    processor.setManualThreshold(mode == Mode::Manual);
    processor.setThreshold(threshold);
    (processor.*filter)();
    return working(processor);
}

QRgb word(const QImage& image, int x, int y)
{
    return reinterpret_cast<const QRgb*>(image.constScanLine(y))[x];
}

QImage picture(int width, int height, std::initializer_list<QRgb> words)
{
    QImage image(width, height, QImage::Format_ARGB32);
    auto word = words.begin();
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            reinterpret_cast<QRgb*>(image.scanLine(y))[x] = *word++;
    return image;
}

// Every 24-bit colour once, opaque: 4096 x 4096.
QImage everyColour()
{
    QImage image(4096, 4096, QImage::Format_RGB32);
    for (int y = 0; y < 4096; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < 4096; ++x)
            line[x] = 0xFF000000u | QRgb(y) << 12 | QRgb(x);
    }
    return image;
}

} // namespace

void TestToneFilters::grayLevelRule_data()
{
    QTest::addColumn<QRgb>("pixel");
    QTest::addColumn<int>("level");
    QTest::newRow("black") << qRgb(0, 0, 0) << 0;
    QTest::newRow("white") << qRgb(255, 255, 255) << 255;
    QTest::newRow("red") << qRgb(255, 0, 0) << 76;
    QTest::newRow("green") << qRgb(0, 255, 0) << 150;
    QTest::newRow("blue") << qRgb(0, 0, 255) << 28;
    QTest::newRow("dark blue") << qRgb(0, 0, 90) << 10;
    QTest::newRow("mid gray") << qRgb(128, 128, 128) << 128;
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
    const QImage gray = applied(picture(1, 1, {pixel}), &ImageProcessor::grayImage);
    QCOMPARE(word(gray, 0, 0), 0xFF000000u | QRgb(level) * 0x010101u);
}

void TestToneFilters::grayAndMeanOverEveryColour()
{
    const QImage colours = everyColour();
    ImageProcessor processor;
    processor.adoptImage(colours);
    double sum = 0.0;
    for (int y = 0; y < colours.height(); ++y)
        for (int x = 0; x < colours.width(); ++x)
            sum += grayLevel(word(colours, x, y));
    QCOMPARE(processor.meanGrayLevel(), int(sum / (4096.0 * 4096.0) + 0.1));

    processor.grayImage();
    const QImage& gray = working(processor);
    for (int y = 0; y < gray.height(); ++y) {
        for (int x = 0; x < gray.width(); ++x) {
            const QRgb expected = 0xFF000000u | QRgb(grayLevel(word(colours, x, y))) * 0x010101u;
            if (word(gray, x, y) != expected)
                QFAIL(qPrintable(QString("colour %1").arg(word(colours, x, y), 8, 16)));
        }
    }
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
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("threshold");
    QTest::addColumn<QImage>("image");
    QTest::addColumn<QRgb>("first");
    QTest::addColumn<QRgb>("last");

    const QRgb black = 0xFF000000u, white = 0xFFFFFFFFu;
    const QImage edge = pictures::grayRows({{127, 128}});
    const QImage extremes = pictures::grayRows({{0, 255}});
    const int manual = int(Mode::Manual), automatic = int(Mode::Automatic);
    QTest::newRow("127 is not above 127") << manual << 127 << edge << black << white;
    QTest::newRow("-1 whitens all") << manual << -1 << extremes << white << white;
    QTest::newRow("255 blackens all") << manual << 255 << extremes << black << black;
    QTest::newRow("999 blackens all") << manual << 999 << extremes << black << black;
    QTest::newRow("auto, one black colour")
        << automatic << 0 << pictures::grayRows({{0, 0}}) << black << black;
    QTest::newRow("auto, one white colour")
        << automatic << 0 << pictures::grayRows({{255, 255}}) << black << black;
    QTest::newRow("auto, translucent comes out opaque")
        << automatic << 0 << picture(2, 1, {qRgba(0, 0, 0, 9), qRgba(255, 255, 255, 9)}) << black
        << white;
}

void TestToneFilters::binary()
{
    QFETCH(int, mode);
    QFETCH(int, threshold);
    QFETCH(QImage, image);
    QFETCH(QRgb, first);
    QFETCH(QRgb, last);
    const QImage result = applied(image, &ImageProcessor::binaryImage, Mode(mode), threshold);
    QCOMPARE(word(result, 0, 0), first);
    QCOMPARE(word(result, result.width() - 1, result.height() - 1), last);
}

// The colours whose 100 x gray level lies next to or on the boundary of each
// threshold are the ones a fast comparison could get wrong. They go in
// grouped by that value, so that whole runs of pixels share it.
void TestToneFilters::binaryAtEveryThresholdBoundary()
{
    std::vector<std::vector<QRgb>> near(256 * 3);
    for (QRgb colour = 0; colour < 0x1000000u; ++colour) {
        const int scaled = 30 * qRed(colour) + 59 * qGreen(colour) + 11 * qBlue(colour) + 10;
        const int nearest = (scaled + 1) / 100; // boundary of threshold nearest - 1
        const int offset = scaled - 100 * nearest;
        if (qAbs(offset) <= 1 && nearest >= 1 && nearest <= 255)
            near[size_t(3 * nearest + offset + 1)].push_back(0xFF000000u | colour);
    }
    for (int threshold = 0; threshold <= 254; ++threshold) {
        std::vector<QRgb> colours;
        for (int offset = 0; offset < 3; ++offset) {
            const std::vector<QRgb>& group = near[size_t(3 * (threshold + 1) + offset)];
            colours.insert(colours.end(), group.begin(), group.end());
        }
        QImage image(int(colours.size()), 1, QImage::Format_RGB32);
        std::copy(colours.begin(), colours.end(), reinterpret_cast<QRgb*>(image.scanLine(0)));
        const QImage result = applied(image, &ImageProcessor::binaryImage, Mode::Manual, threshold);
        for (int x = 0; x < image.width(); ++x) {
            const QRgb expected =
                grayLevel(colours[size_t(x)]) > threshold ? 0xFFFFFFFFu : 0xFF000000u;
            if (word(result, x, 0) != expected)
                QFAIL(qPrintable(QString("threshold %1, colour %2")
                                     .arg(threshold)
                                     .arg(colours[size_t(x)], 8, 16)));
        }
    }
}

void TestToneFilters::dither_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("threshold");
    QTest::addColumn<QImage>("image");
    QTest::addColumn<QImage>("expected");

    const int manual = int(Mode::Manual), automatic = int(Mode::Automatic);
    QTest::newRow("3 x 2 of 100") << manual << 127
                                  << pictures::grayRows({{100, 100, 100}, {100, 100, 100}})
                                  << pictures::grayRows({{100, 211, 100}, {195, 131, 100}});
    QTest::newRow("4 x 3 of 100")
        << manual << 127
        << pictures::grayRows({{100, 100, 100, 100}, {100, 100, 100, 100}, {100, 100, 100, 100}})
        << pictures::grayRows({{100, 211, 100, 211}, {195, 210, 195, 131}, {100, 100, 100, 100}});
    // Red is above 127, green below, blue on it (which counts); 250 + 111 stops at 255.
    QTest::newRow("per channel")
        << manual << 127
        << picture(2, 2, {qRgb(200, 50, 127), qRgb(0, 250, 0), qRgb(0, 0, 0), qRgb(9, 9, 9)})
        << picture(2, 2, {qRgb(200, 50, 127), qRgb(0, 255, 111), qRgb(0, 95, 95), qRgb(9, 40, 40)});
    // Means (25, 50, 100): red below, green above, blue equal.
    QTest::newRow("automatic per-channel means")
        << automatic << 0
        << picture(2, 2, {qRgb(10, 200, 100), qRgb(20, 0, 100), qRgb(30, 0, 100), qRgb(40, 0, 100)})
        << picture(2, 2,
                   {qRgb(10, 200, 100), qRgb(131, 0, 211), qRgb(125, 0, 195), qRgb(71, 0, 131)});
    // Out of range reads as threshold colour black: only zero channels pass.
    for (int threshold : {300, -1}) {
        QTest::addRow("manual %d", threshold)
            << manual << threshold << picture(2, 2, {qRgb(0, 5, 0), 0, 0, 0})
            << picture(2, 2, {qRgb(0, 5, 0), qRgb(111, 0, 111), qRgb(95, 0, 95), qRgb(31, 0, 31)});
    }
}

void TestToneFilters::dither()
{
    QFETCH(int, mode);
    QFETCH(int, threshold);
    QFETCH(QImage, image);
    QFETCH(QImage, expected);
    const QImage result = applied(image, &ImageProcessor::ditherImage, Mode(mode), threshold);
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width(); ++x)
            QCOMPARE(word(result, x, y), word(expected, x, y));
}

void TestToneFilters::ditherNeighbour_data()
{
    QTest::addColumn<QColor>("current");
    QTest::addColumn<QColor>("threshold");
    QTest::addColumn<QColor>("neighbour");
    QTest::addColumn<double>("weight");
    QTest::addColumn<QRgb>("expected");
    const QColor gray127(127, 127, 127);
    QTest::newRow("right") << QColor(200, 50, 127) << gray127 << QColor(10, 10, 10) << 0.4375
                           << qRgb(10, 121, 121);
    QTest::newRow("below left") << QColor(0, 0, 0) << gray127 << QColor(1, 2, 3) << 0.3125
                                << qRgb(80, 81, 82);
    QTest::newRow("below right, capped")
        << QColor(0, 0, 0) << gray127 << QColor(230, 224, 0) << 0.125 << qRgb(255, 255, 31);
    QTest::newRow("nothing passes, still opaque")
        << QColor(255, 255, 255) << gray127 << QColor(1, 2, 3, 4) << 0.4375 << qRgb(1, 2, 3);
}

void TestToneFilters::ditherNeighbour()
{
    QFETCH(QColor, current);
    QFETCH(QColor, threshold);
    QFETCH(QColor, neighbour);
    QFETCH(double, weight);
    QFETCH(QRgb, expected);
    QCOMPARE(ImageProcessor::ditherNeighbour(current, threshold, neighbour, weight), expected);
}

QTEST_APPLESS_MAIN(TestToneFilters)
#include "tst_tonefilters.moc"
