#include "imaging/imageprocessor.h"
#include "pictures.h"

#include <QtTest>

using pictures::sameWords;

// The workspace's geometry: crop (top left), rotate (a transpose), scale and
// reset on random sizes and alpha, the large buffers, the threshold switch
// and the one pixel representation. The window's tests give the exact sizes.
class TestImageProcessor : public QObject
{
    Q_OBJECT

private slots:
    void scaleRefuses_data();
    void scaleRefuses();
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
    return image.transformed(QTransform().rotate(90)).mirrored(true, false);
}

} // namespace

void TestImageProcessor::scaleRefuses_data()
{
    QTest::addColumn<QSize>("box");
    QTest::newRow("negative box") << QSize(-620, 420);
    // 100000 x 50000 would need 20 GB: refused rather than attempted.
    QTest::newRow("oversized result") << QSize(100000, 100000);
}

void TestImageProcessor::scaleRefuses()
{
    QFETCH(QSize, box);
    ImageProcessor processor;
    processor.adoptImage(pictures::randomImage(400, 200, 3));
    processor.scaleKeepAspect(box.width(), box.height());
    QCOMPARE(working(processor).size(), QSize(0, 0));
    processor.resetImage();
    processor.scaleIgnoreAspect(box.width(), box.height());
    QCOMPARE(working(processor).size(), QSize(0, 0));
    QCOMPARE(processor.sourceImage().size(), QSize(400, 200));
}

void TestImageProcessor::resetRestoresAndSourceStays()
{
    const QImage picture = pictures::randomImage(300, 200, 5, true);
    ImageProcessor processor;
    processor.adoptImage(picture);
    processor.workingImage()->fill(Qt::black); // stands in for a filter
    processor.rotateImage();
    processor.cropImage(120, 80);
    processor.scaleKeepAspect(500, 500);
    QCOMPARE(working(processor).format(), picture.format());
    processor.scaleIgnoreAspect(33, 44);
    QCOMPARE(QSize(processor.sourceWidth(), processor.sourceHeight()), QSize(300, 200));
    QVERIFY(sameWords(processor.sourceImage(), picture));
    processor.resetImage();
    QVERIFY(sameWords(working(processor), picture));
}

void TestImageProcessor::nullPictureStaysNull()
{
    ImageProcessor processor;
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
        ImageProcessor processor;
        processor.adoptImage(picture);
        processor.rotateImage();
        QVERIFY(sameWords(working(processor), referenceTranspose(picture)));
        processor.resetImage();
        processor.cropImage(cropWidth, cropHeight);
        QVERIFY(sameWords(working(processor), referenceCrop(picture, cropWidth, cropHeight)));
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
