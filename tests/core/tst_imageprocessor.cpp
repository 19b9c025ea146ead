#include "imaging/imageprocessor.h"
#include "pictures.h"

#include <QtTest>

#include <cstring>

// The workspace's geometry: crop (top left), rotate (a transpose), scale,
// reset, the threshold switch and the one pixel representation.
class TestImageProcessor : public QObject
{
    Q_OBJECT

private slots:
    void scale_data();
    void scale();
    void resetRestoresAndSourceStays();
    void nullPictureStaysNull();
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

QImage referenceCrop(const QImage& image, int width, int height)
{
    const int w = qMin(width, image.width()), h = qMin(height, image.height());
    return w <= 0 || h <= 0 ? QImage() : image.copy(0, 0, w, h);
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

void TestImageProcessor::scale_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QSize>("box");
    QTest::addColumn<QSize>("keep");
    QTest::addColumn<QSize>("ignore");

    QTest::newRow("reduce") << QSize(400, 200) << QSize(100, 100) << QSize(100, 50)
                            << QSize(100, 100);
    QTest::newRow("view area") << QSize(300, 200) << QSize(620, 420) << QSize(620, 413)
                               << QSize(620, 420);
    QTest::newRow("transposed into source box")
        << QSize(200, 400) << QSize(396, 198) << QSize(99, 198) << QSize(396, 198);
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
    QCOMPARE(QSize(processor.sourceWidth(), processor.sourceHeight()), QSize(300, 200));
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
    QCOMPARE(processor.sourceWidth(), 0);
}

void TestImageProcessor::threshold()
{
    ImageProcessor processor;
    QCOMPARE(processor.threshold(), 127);
    QVERIFY(processor.autoThreshold());
    processor.setThreshold(200); // ignored, not kept for manual mode
    processor.setManualThreshold(true);
    QVERIFY(!processor.autoThreshold());
    QCOMPARE(processor.threshold(), 127);
    processor.setThreshold(-3);
    // Neither switching modes nor a new picture resets the stored value.
    processor.setManualThreshold(false);
    processor.setManualThreshold(true);
    processor.adoptImage(pictures::randomImage(4, 4, 1));
    QCOMPARE(processor.threshold(), -3);
}

void TestImageProcessor::foreignFormatInWorkingImageIsConverted()
{
    // Whatever was put in through the pointer, crop and rotate move whole pixels.
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
        const QByteArray what =
            QString::asprintf("%dx%d crop %dx%d", width, height, cropWidth, cropHeight).toLatin1();
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
    copy = working(processor);
    processor.resetImage();
    QVERIFY(sameWords(copy, referenceCrop(picture, 1400, 1000)));
}

QTEST_GUILESS_MAIN(TestImageProcessor)
#include "tst_imageprocessor.moc"
