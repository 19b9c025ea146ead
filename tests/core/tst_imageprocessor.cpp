#include "imaging/imageprocessor.h"
#include "pictures.h"

#include <QtTest>

#include <cstring>

// The workspace's geometry: crop, rotate (a transpose), scale, reset, the
// threshold switch and the one pixel representation.
class TestImageProcessor : public QObject
{
    Q_OBJECT

private slots:
    void crop_data();
    void crop();
    void rotateTransposes();
    void scale_data();
    void scale();
    void resetRestoresAndSourceStays();
    void nullPictureStaysNull();
    void threshold_data();
    void threshold();
    void foreignFormatInWorkingImageIsConverted();
    void matchesReferenceOnRandomSizes();
    void largePicturesBehaveLikeAnyOther();
};

namespace {

const QImage& working(const ImageProcessor& processor)
{
    return processor.workingImage();
}

// Plain per-pixel references: what crop and rotate must produce, bit for bit.
QImage referenceCrop(const QImage& image, int width, int height)
{
    const int w = qMin(width, image.width()), h = qMin(height, image.height());
    if (w <= 0 || h <= 0)
        return QImage();
    QImage result(w, h, image.format());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            reinterpret_cast<QRgb*>(result.scanLine(y))[x] =
                reinterpret_cast<const QRgb*>(image.constScanLine(y))[x];
    return result;
}

QImage referenceTranspose(const QImage& image)
{
    if (image.isNull())
        return QImage();
    QImage result(image.height(), image.width(), image.format());
    for (int r = 0; r < image.height(); ++r)
        for (int c = 0; c < image.width(); ++c)
            reinterpret_cast<QRgb*>(result.scanLine(c))[r] =
                reinterpret_cast<const QRgb*>(image.constScanLine(r))[c];
    return result;
}

// Same size, format and every 32-bit word, alpha included.
bool sameWords(const QImage& a, const QImage& b)
{
    if (a.size() != b.size() || a.format() != b.format())
        return false;
    for (int y = 0; y < a.height(); ++y)
        if (std::memcmp(a.constScanLine(y), b.constScanLine(y), std::size_t(a.width()) * 4) != 0)
            return false;
    return true;
}

} // namespace

void TestImageProcessor::crop_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QSize>("crop");
    QTest::addColumn<QSize>("expected");

    QTest::newRow("keeps the top rows") << QSize(300, 200) << QSize(500, 100) << QSize(300, 100);
    QTest::newRow("exact size") << QSize(300, 200) << QSize(300, 200) << QSize(300, 200);
    QTest::newRow("larger") << QSize(300, 200) << QSize(1000, 1000) << QSize(300, 200);
    QTest::newRow("view area") << QSize(1000, 500) << QSize(620, 420) << QSize(620, 420);
    QTest::newRow("zero width") << QSize(300, 200) << QSize(0, 50) << QSize(0, 0);
    QTest::newRow("negative width") << QSize(300, 200) << QSize(-5, 50) << QSize(0, 0);
    QTest::newRow("zero height") << QSize(300, 200) << QSize(50, 0) << QSize(0, 0);
    QTest::newRow("1xN") << QSize(1, 50) << QSize(10, 20) << QSize(1, 20);
    QTest::newRow("Nx1") << QSize(50, 1) << QSize(20, 10) << QSize(20, 1);
    QTest::newRow("2x2 to one pixel") << QSize(2, 2) << QSize(1, 1) << QSize(1, 1);
}

void TestImageProcessor::crop()
{
    QFETCH(QSize, size);
    QFETCH(QSize, crop);
    QFETCH(QSize, expected);

    for (bool alpha : {false, true}) {
        const QImage picture = pictures::randomImage(size.width(), size.height(), 7, alpha);
        ImageProcessor processor;
        processor.adoptImage(picture);
        processor.cropImage(crop.width(), crop.height());
        QCOMPARE(working(processor).size(), expected);
        // Always the top-left corner, never centred.
        if (!expected.isEmpty())
            QVERIFY(sameWords(working(processor), picture.copy(QRect(QPoint(0, 0), expected))));
    }
}

void TestImageProcessor::rotateTransposes()
{
    for (bool alpha : {false, true}) {
        const QImage picture = pictures::randomImage(300, 200, 11, alpha);
        ImageProcessor processor;
        processor.adoptImage(picture);
        processor.rotateImage();
        QCOMPARE(working(processor).size(), QSize(200, 300));
        QCOMPARE(working(processor).format(), picture.format());
        QCOMPARE(working(processor).pixel(5, 10), picture.pixel(10, 5));
        QCOMPARE(working(processor).pixel(199, 0), picture.pixel(0, 199));
        processor.rotateImage();
        QVERIFY(sameWords(working(processor), picture));
    }
}

void TestImageProcessor::scale_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QSize>("box");
    QTest::addColumn<QSize>("keep");
    QTest::addColumn<QSize>("ignore");

    QTest::newRow("reduce") << QSize(400, 200) << QSize(100, 100) << QSize(100, 50)
                            << QSize(100, 100);
    QTest::newRow("enlarge") << QSize(50, 25) << QSize(100, 100) << QSize(100, 50)
                             << QSize(100, 100);
    QTest::newRow("view area") << QSize(300, 200) << QSize(620, 420) << QSize(620, 413)
                               << QSize(620, 420);
    QTest::newRow("transposed into source box")
        << QSize(200, 400) << QSize(396, 198) << QSize(99, 198) << QSize(396, 198);
    QTest::newRow("empty box") << QSize(30, 20) << QSize(0, 100) << QSize(0, 0) << QSize(0, 0);
    QTest::newRow("negative box") << QSize(30, 20) << QSize(-620, 420) << QSize(0, 0)
                                  << QSize(0, 0);
    // 100000 x 50000 would need 20 GB: refused rather than attempted.
    QTest::newRow("oversized result")
        << QSize(400, 200) << QSize(100000, 100000) << QSize(0, 0) << QSize(0, 0);
}

void TestImageProcessor::scale()
{
    QFETCH(QSize, size);
    QFETCH(QSize, box);
    QFETCH(QSize, keep);
    QFETCH(QSize, ignore);

    for (bool alpha : {false, true}) {
        const QImage picture = pictures::randomImage(size.width(), size.height(), 3, alpha);
        ImageProcessor processor;
        processor.adoptImage(picture);
        processor.scaleKeepAspect(box.width(), box.height());
        QCOMPARE(working(processor).size(), keep);
        if (!keep.isEmpty())
            QCOMPARE(working(processor).format(), picture.format());

        processor.resetImage();
        processor.scaleIgnoreAspect(box.width(), box.height());
        QCOMPARE(working(processor).size(), ignore);
        if (!ignore.isEmpty())
            QCOMPARE(working(processor).format(), picture.format());
        QCOMPARE(processor.sourceImage().size(), size);
    }
}

void TestImageProcessor::resetRestoresAndSourceStays()
{
    const QImage picture = pictures::randomImage(300, 200, 5);
    ImageProcessor processor;
    processor.adoptImage(picture);
    processor.workingImage()->fill(Qt::black); // stands in for a filter
    processor.rotateImage();
    processor.cropImage(120, 80);
    processor.scaleKeepAspect(500, 500);
    processor.scaleIgnoreAspect(33, 44);
    QCOMPARE(processor.sourceWidth(), 300);
    QCOMPARE(processor.sourceHeight(), 200);
    QVERIFY(sameWords(processor.sourceImage(), picture));
    processor.resetImage();
    QVERIFY(sameWords(working(processor), picture));
}

void TestImageProcessor::nullPictureStaysNull()
{
    ImageProcessor processor;
    QVERIFY(working(processor).isNull());
    processor.resetImage();
    processor.cropImage(100, 100);
    processor.rotateImage();
    processor.scaleKeepAspect(100, 100);
    processor.scaleIgnoreAspect(100, 100);
    QVERIFY(working(processor).isNull());
    QCOMPARE(working(processor).size(), QSize(0, 0));
    QCOMPARE(processor.sourceWidth(), 0);
    QCOMPARE(processor.sourceHeight(), 0);
}

void TestImageProcessor::threshold_data()
{
    QTest::addColumn<bool>("manual");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("expected");

    QTest::newRow("automatic drops the value") << false << 200 << 127;
    QTest::newRow("manual stores it") << true << 200 << 200;
    QTest::newRow("manual stores negative") << true << -3 << -3;
}

void TestImageProcessor::threshold()
{
    QFETCH(bool, manual);
    QFETCH(int, value);
    QFETCH(int, expected);

    ImageProcessor processor;
    QCOMPARE(processor.threshold(), 127);
    QVERIFY(processor.autoThreshold());
    processor.setManualThreshold(manual);
    QCOMPARE(processor.autoThreshold(), !manual);
    processor.setThreshold(value);
    QCOMPARE(processor.threshold(), expected);

    // A value given in automatic mode is not remembered for manual mode, and
    // neither switching modes nor a new picture resets the stored one.
    processor.setManualThreshold(false);
    processor.setThreshold(55);
    processor.setManualThreshold(true);
    processor.adoptImage(pictures::randomImage(4, 4, 1));
    QCOMPARE(processor.threshold(), expected);
}

void TestImageProcessor::foreignFormatInWorkingImageIsConverted()
{
    // The working image is reachable through a pointer; whatever was put
    // there, crop and rotate still move whole pixels.
    const QImage foreign = pictures::randomImage(9, 6, 2).convertToFormat(QImage::Format_RGB888);
    const QImage expected = foreign.convertToFormat(QImage::Format_RGB32);
    ImageProcessor processor;
    *processor.workingImage() = foreign;
    processor.rotateImage();
    QVERIFY(sameWords(working(processor), referenceTranspose(expected)));
    *processor.workingImage() = foreign;
    processor.cropImage(4, 3);
    QVERIFY(sameWords(working(processor), referenceCrop(expected, 4, 3)));
}

void TestImageProcessor::matchesReferenceOnRandomSizes()
{
    pictures::Random random(20240611);
    for (int round = 0; round < 200; ++round) {
        const int width = random.bounded(41), height = random.bounded(41);
        const int cropWidth = random.bounded(50) - 5, cropHeight = random.bounded(50) - 5;
        const QImage picture =
            pictures::randomImage(width, height, random.next(), random.bounded(2));
        const QByteArray what = QString("%1x%2 crop %3x%4")
                                    .arg(width)
                                    .arg(height)
                                    .arg(cropWidth)
                                    .arg(cropHeight)
                                    .toLatin1();
        ImageProcessor processor;
        processor.adoptImage(picture);
        processor.rotateImage();
        QVERIFY2(sameWords(working(processor), referenceTranspose(picture)), what);
        processor.resetImage();
        processor.cropImage(cropWidth, cropHeight);
        QVERIFY2(sameWords(working(processor), referenceCrop(picture, cropWidth, cropHeight)),
                 what);
    }
}

void TestImageProcessor::largePicturesBehaveLikeAnyOther()
{
    // Large enough for the huge-page buffers, with edges that cut tiles.
    const QImage picture = pictures::randomImage(1500, 1101, 17, true);
    ImageProcessor processor;
    processor.adoptImage(picture);
    processor.rotateImage();
    QVERIFY(sameWords(working(processor), referenceTranspose(picture)));

    // Copies share the buffer until one is written; each keeps its own pixels
    // and its own lifetime.
    QImage copy = working(processor);
    copy.setPixel(3, 4, 0x12345678);
    QCOMPARE(working(processor).pixel(3, 4), picture.pixel(4, 3));
    processor.rotateImage();
    QVERIFY(sameWords(working(processor), picture));
    QCOMPARE(copy.pixel(3, 4), 0x12345678u);

    processor.cropImage(1400, 1000);
    QVERIFY(sameWords(working(processor), referenceCrop(picture, 1400, 1000)));
    copy = working(processor);
    processor.resetImage();
    QVERIFY(sameWords(copy, referenceCrop(picture, 1400, 1000)));
}

QTEST_GUILESS_MAIN(TestImageProcessor)
#include "tst_imageprocessor.moc"
