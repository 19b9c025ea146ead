#include "imaging/imageprocessor.h"
#include "pictures.h"

#include <QtTest>

using pictures::sameWords;

// The workspace's geometry pixel for pixel: crop (top left) and rotate (a
// transpose) on random sizes, with and without alpha, the large buffers and
// scales refused. The window's tests and the
// command fuzz drive the same through the buttons.
class TestImageProcessor : public QObject
{
    Q_OBJECT

private slots:
    void scaleRefuses();
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

// 100000 x 50000 would need 20 GB: refused rather than attempted.
void TestImageProcessor::scaleRefuses()
{
    ImageProcessor processor;
    processor.adoptImage(pictures::randomImage(400, 200, 3));
    processor.scaleKeepAspect(100000, 100000);
    QCOMPARE(working(processor).size(), QSize(0, 0));
    processor.resetImage();
    processor.scaleIgnoreAspect(100000, 100000);
    QCOMPARE(working(processor).size(), QSize(0, 0));
    QCOMPARE(processor.sourceImage().size(), QSize(400, 200));
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
        processor.scaleKeepAspect(30, 30); // alpha or not, the format stays
        QVERIFY(working(processor).isNull() || working(processor).format() == picture.format());
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

    // A copy shares the buffer until written, and outlives the next command.
    QImage copy = working(processor);
    copy.setPixel(3, 4, 0x12345678);
    QCOMPARE(working(processor).pixel(3, 4), picture.pixel(4, 3));
    processor.cropImage(1400, 1000);
    QCOMPARE(copy.pixel(3, 4), 0x12345678u);
    QVERIFY(sameWords(working(processor), referenceCrop(referenceTranspose(picture), 1400, 1000)));
}

QTEST_GUILESS_MAIN(TestImageProcessor)
#include "tst_imageprocessor.moc"
