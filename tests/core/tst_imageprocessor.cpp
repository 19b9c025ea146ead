#include "imaging/imageprocessor.h"
#include "imaging/pixelbuffer.h"
#include "pictures.h"

#include <QtTest>

#include <cstring>

#include <functional>

// The workspace's geometry: crop, rotate (a transpose), scale, reset, the
// threshold switch and the one pixel representation.
class TestImageProcessor : public QObject
{
    Q_OBJECT

private slots:
    void startsEmptyWithDefaultThreshold();
    void crop_data();
    void crop();
    void rotateIsTranspose_data();
    void rotateIsTranspose();
    void scale_data();
    void scale();
    void scaleRefusesAnOversizedResult();
    void resetRestoresTheSource();
    void sourceSurvivesEveryOperation();
    void operationsOnNullPicture_data();
    void operationsOnNullPicture();
    void threshold_data();
    void threshold();
    void adoptConvertsToWorkingFormat_data();
    void adoptConvertsToWorkingFormat();
    void foreignFormatInWorkingImageIsConverted();
    void matchesReferenceOnRandomSizes();
    void largePicturesBehaveLikeAnyOther();
    void spareBuffersAreReusedAndBounded();
};

namespace {

// The working image as the view and the filters read it.
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

const char* formatName(QImage::Format format)
{
    return QMetaEnum::fromType<QImage::Format>().valueToKey(format);
}

// QImage::pixel gives premultiplied pictures' words as stored.
QRgb straightPixel(const QImage& image, int x, int y)
{
    const QRgb pixel = image.pixel(x, y);
    return image.format() == QImage::Format_ARGB32_Premultiplied ? qUnpremultiply(pixel) : pixel;
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

void TestImageProcessor::startsEmptyWithDefaultThreshold()
{
    ImageProcessor processor;
    QVERIFY(processor.workingImage()->isNull());
    QVERIFY(processor.sourceImage().isNull());
    QCOMPARE(processor.threshold(), 127);
    QVERIFY(processor.autoThreshold());
}

void TestImageProcessor::crop_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("cropWidth");
    QTest::addColumn<int>("cropHeight");
    QTest::addColumn<QSize>("expected");

    QTest::newRow("wider than picture keeps top rows")
        << 300 << 200 << 500 << 100 << QSize(300, 100);
    QTest::newRow("exact size") << 300 << 200 << 300 << 200 << QSize(300, 200);
    QTest::newRow("larger both ways") << 300 << 200 << 1000 << 1000 << QSize(300, 200);
    QTest::newRow("view area") << 1000 << 500 << 620 << 420 << QSize(620, 420);
    QTest::newRow("zero width") << 300 << 200 << 0 << 50 << QSize();
    QTest::newRow("negative width") << 300 << 200 << -5 << 50 << QSize();
    QTest::newRow("zero height") << 300 << 200 << 50 << 0 << QSize();
    QTest::newRow("single column") << 300 << 200 << 1 << 200 << QSize(1, 200);
    QTest::newRow("single row") << 300 << 200 << 300 << 1 << QSize(300, 1);
    QTest::newRow("one pixel") << 2 << 2 << 1 << 1 << QSize(1, 1);
    QTest::newRow("1xN picture") << 1 << 50 << 10 << 20 << QSize(1, 20);
    QTest::newRow("Nx1 picture") << 50 << 1 << 20 << 10 << QSize(20, 1);
}

void TestImageProcessor::crop()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, cropWidth);
    QFETCH(int, cropHeight);
    QFETCH(QSize, expected);

    for (bool alpha : {false, true}) {
        const QImage picture = pictures::randomImage(width, height, 7, alpha);
        ImageProcessor processor;
        processor.adoptImage(picture);
        processor.cropImage(cropWidth, cropHeight);
        const QImage& result = working(processor);
        if (expected.isEmpty()) {
            QVERIFY(result.isNull());
            continue;
        }
        QCOMPARE(result.size(), expected);
        QCOMPARE(result.format(), picture.format());
        // Always the top-left corner, never centred.
        QVERIFY(sameWords(result, picture.copy(0, 0, expected.width(), expected.height())));
    }
}

void TestImageProcessor::rotateIsTranspose_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("300x200") << QSize(300, 200);
    QTest::newRow("200x300") << QSize(200, 300);
    QTest::newRow("square") << QSize(100, 100);
    QTest::newRow("2x2") << QSize(2, 2);
    QTest::newRow("1xN") << QSize(1, 77);
    QTest::newRow("Nx1") << QSize(77, 1);
    QTest::newRow("1x1") << QSize(1, 1);
    QTest::newRow("tile edges") << QSize(129, 65);
}

void TestImageProcessor::rotateIsTranspose()
{
    QFETCH(QSize, size);
    for (bool alpha : {false, true}) {
        const QImage picture = pictures::randomImage(size.width(), size.height(), 11, alpha);
        ImageProcessor processor;
        processor.adoptImage(picture);

        processor.rotateImage();
        const QImage once = working(processor);
        QCOMPARE(once.size(), size.transposed());
        QCOMPARE(once.format(), picture.format());
        for (const QPoint& p :
             {QPoint(0, 0), QPoint(10, 5), QPoint(size.width() - 1, 0),
              QPoint(0, size.height() - 1), QPoint(size.width() - 1, size.height() - 1)}) {
            if (!picture.rect().contains(p))
                continue;
            QCOMPARE(once.pixel(p.y(), p.x()), picture.pixel(p));
        }

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
    QTest::newRow("view area") << QSize(1000, 500) << QSize(620, 420) << QSize(620, 310)
                               << QSize(620, 420);
    QTest::newRow("enlarge to view area")
        << QSize(300, 200) << QSize(620, 420) << QSize(620, 413) << QSize(620, 420);
    QTest::newRow("transposed into source box")
        << QSize(200, 400) << QSize(396, 198) << QSize(99, 198) << QSize(396, 198);
    QTest::newRow("same size") << QSize(30, 20) << QSize(30, 20) << QSize(30, 20) << QSize(30, 20);
    QTest::newRow("empty box") << QSize(30, 20) << QSize(0, 100) << QSize(0, 0) << QSize(0, 0);
    QTest::newRow("negative box") << QSize(30, 20) << QSize(-620, 420) << QSize(0, 0)
                                  << QSize(0, 0);
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
    }
}

void TestImageProcessor::scaleRefusesAnOversizedResult()
{
    // 100000 x 50000 would need 20 GB: refused up front instead of attempted.
    ImageProcessor processor;
    processor.adoptImage(pictures::randomImage(400, 200, 1));
    processor.scaleKeepAspect(100000, 100000);
    QVERIFY(working(processor).isNull());
    processor.resetImage();
    processor.scaleIgnoreAspect(100000, 100000);
    QVERIFY(working(processor).isNull());
    QCOMPARE(processor.sourceImage().size(), QSize(400, 200));
}

void TestImageProcessor::resetRestoresTheSource()
{
    const QImage picture = pictures::randomImage(300, 200, 5);
    ImageProcessor processor;
    processor.adoptImage(picture);
    processor.workingImage()->fill(Qt::black); // stands in for a filter
    processor.rotateImage();
    processor.cropImage(120, 80);
    processor.scaleIgnoreAspect(33, 44);
    processor.resetImage();
    QVERIFY(sameWords(working(processor), picture));
    QVERIFY(sameWords(processor.sourceImage(), picture));
}

void TestImageProcessor::sourceSurvivesEveryOperation()
{
    const QImage picture = pictures::randomImage(300, 200, 9);
    ImageProcessor processor;
    processor.adoptImage(picture);
    const QList<std::function<void()>> operations = {
        [&] { processor.cropImage(100, 50); },
        [&] { processor.rotateImage(); },
        [&] { processor.scaleKeepAspect(500, 500); },
        [&] { processor.scaleIgnoreAspect(40, 900); },
        [&] { processor.cropImage(-1, 3); },
        [&] { processor.workingImage()->fill(Qt::white); },
    };
    for (const auto& operation : operations) {
        operation();
        QCOMPARE(processor.sourceWidth(), 300);
        QCOMPARE(processor.sourceHeight(), 200);
        QVERIFY(sameWords(processor.sourceImage(), picture));
    }
}

void TestImageProcessor::operationsOnNullPicture_data()
{
    QTest::addColumn<int>("operation");
    QTest::newRow("reset") << 0;
    QTest::newRow("crop") << 1;
    QTest::newRow("rotate") << 2;
    QTest::newRow("scale keep") << 3;
    QTest::newRow("scale ignore") << 4;
}

void TestImageProcessor::operationsOnNullPicture()
{
    QFETCH(int, operation);
    ImageProcessor processor;
    switch (operation) {
    case 0:
        processor.resetImage();
        break;
    case 1:
        processor.cropImage(100, 100);
        break;
    case 2:
        processor.rotateImage();
        break;
    case 3:
        processor.scaleKeepAspect(100, 100);
        break;
    case 4:
        processor.scaleIgnoreAspect(100, 100);
        break;
    }
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

    QTest::newRow("auto drops value") << false << 200 << 127;
    QTest::newRow("manual stores value") << true << 200 << 200;
    QTest::newRow("manual stores negative") << true << -3 << -3;
    QTest::newRow("manual stores above 255") << true << 300 << 300;
}

void TestImageProcessor::threshold()
{
    QFETCH(bool, manual);
    QFETCH(int, value);
    QFETCH(int, expected);

    ImageProcessor processor;
    processor.setManualThreshold(manual);
    QCOMPARE(processor.autoThreshold(), !manual);
    processor.setThreshold(value);
    QCOMPARE(processor.threshold(), expected);

    // Switching modes keeps the stored value; a value given in automatic mode
    // is not remembered for later.
    processor.setManualThreshold(!manual);
    processor.setManualThreshold(manual);
    QCOMPARE(processor.threshold(), expected);
    processor.setManualThreshold(false);
    processor.setThreshold(55);
    processor.setManualThreshold(true);
    QCOMPARE(processor.threshold(), expected);
    // Pictures do not reset it.
    processor.adoptImage(pictures::randomImage(4, 4, 1));
    QCOMPARE(processor.threshold(), expected);
}

void TestImageProcessor::adoptConvertsToWorkingFormat_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<bool>("translucent");
    const QList<QImage::Format> formats = pictures::decoderFormats() << QImage::Format_Grayscale16;
    for (QImage::Format format : formats) {
        for (bool translucent : {false, true}) {
            const QByteArray name =
                QByteArray(formatName(format)) + (translucent ? " translucent" : " opaque");
            QTest::newRow(name.constData()) << int(format) << translucent;
        }
    }
}

void TestImageProcessor::adoptConvertsToWorkingFormat()
{
    QFETCH(int, format);
    QFETCH(bool, translucent);

    const QImage original =
        pictures::randomImage(23, 17, 4, translucent)
            .convertToFormat(QImage::Format(format), Qt::ThresholdDither | Qt::AvoidDither);
    QVERIFY(!original.isNull());

    ImageProcessor processor;
    processor.adoptImage(original);
    const QImage& result = working(processor);
    const QImage::Format expected =
        original.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32;
    QCOMPARE(result.format(), expected);
    QCOMPARE(processor.sourceImage().format(), expected);
    QCOMPARE(result.size(), original.size());
    if (original.format() == expected) // already right: shared, not copied
        QCOMPARE(result.constBits(), original.constBits());
    // Exact, apart from the last bit of unpremultiplying, where Qt's vector
    // and scalar paths round differently.
    const int tolerance = original.format() == QImage::Format_ARGB32_Premultiplied ? 1 : 0;
    for (int y = 0; y < original.height(); ++y) {
        for (int x = 0; x < original.width(); ++x) {
            const QRgb actual = result.pixel(x, y), wanted = straightPixel(original, x, y);
            QCOMPARE(qAlpha(actual), qAlpha(wanted));
            for (int shift : {0, 8, 16})
                QVERIFY(qAbs(int((actual >> shift) & 0xFF) - int((wanted >> shift) & 0xFF)) <=
                        tolerance);
        }
    }
}

void TestImageProcessor::foreignFormatInWorkingImageIsConverted()
{
    // The working image is reachable through a pointer; whatever was put
    // there, crop and rotate still move whole pixels.
    const QImage picture = pictures::randomImage(9, 6, 2);
    for (QImage::Format format : {QImage::Format_RGB888, QImage::Format_Grayscale8}) {
        ImageProcessor processor;
        processor.adoptImage(picture);
        *processor.workingImage() = picture.convertToFormat(format);
        const QImage expected =
            picture.convertToFormat(format).convertToFormat(QImage::Format_RGB32);
        processor.rotateImage();
        QVERIFY(sameWords(working(processor), referenceTranspose(expected)));

        *processor.workingImage() = picture.convertToFormat(format);
        processor.cropImage(4, 3);
        QVERIFY(sameWords(working(processor), referenceCrop(expected, 4, 3)));
    }
}

void TestImageProcessor::matchesReferenceOnRandomSizes()
{
    pictures::Random random(20240611);
    for (int round = 0; round < 200; ++round) {
        const int width = random.bounded(41), height = random.bounded(41);
        const bool alpha = random.bounded(2);
        const int cropWidth = random.bounded(50) - 5, cropHeight = random.bounded(50) - 5;
        const QImage picture = pictures::randomImage(width, height, random.next(), alpha);
        const QByteArray what = QByteArray::number(width) + "x" + QByteArray::number(height) +
                                " crop " + QByteArray::number(cropWidth) + "x" +
                                QByteArray::number(cropHeight);

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
    // Large enough for the recycled huge-page buffers.
    const QImage picture = pictures::randomImage(1500, 1100, 17, true);
    ImageProcessor processor;
    processor.adoptImage(picture);

    processor.rotateImage();
    QVERIFY(sameWords(working(processor), referenceTranspose(picture)));
    QCOMPARE(working(processor).bytesPerLine() % 4, 0);

    // Copies share the buffer until one is written, then the other keeps its pixels.
    QImage copy = working(processor);
    copy.setPixel(3, 4, 0x12345678);
    QCOMPARE(working(processor).pixel(3, 4), picture.pixel(4, 3));
    processor.workingImage()->setPixel(5, 6, 0x87654321);
    QCOMPARE(copy.pixel(5, 6), picture.pixel(6, 5));

    processor.rotateImage();
    processor.workingImage()->setPixel(6, 5, picture.pixel(6, 5));
    QVERIFY(sameWords(working(processor), picture));

    processor.cropImage(1400, 1000);
    QVERIFY(sameWords(working(processor), referenceCrop(picture, 1400, 1000)));
    // A copy outliving the processor keeps a valid buffer.
    copy = working(processor);
    processor.resetImage();
    processor.rotateImage();
    processor.rotateImage();
    QVERIFY(sameWords(copy, referenceCrop(picture, 1400, 1000)));
    QVERIFY(sameWords(working(processor), picture));
}

void TestImageProcessor::spareBuffersAreReusedAndBounded()
{
    releaseSparePixelBuffers();
    QCOMPARE(sparePixelBufferBytes(), 0);
    const qint64 pictureBytes = qint64(1200) * 1000 * 4;
    {
        QImage first = newPicture(1200, 1000, QImage::Format_RGB32);
        QVERIFY(!first.isNull());
        first.fill(0xFF102030);
    }
    const qint64 spare = sparePixelBufferBytes();
    QVERIFY(spare >= pictureBytes);

    // The next picture of that size takes the spare, with its own contents.
    QImage second = newPicture(1000, 1200, QImage::Format_ARGB32);
    QCOMPARE(sparePixelBufferBytes(), 0);
    second.fill(0x80FFFFFF);
    QCOMPARE(second.pixel(999, 1199), 0x80FFFFFFu);
    second = QImage();

    // However many pictures are released, only a bounded amount is kept.
    {
        QList<QImage> many;
        for (int i = 0; i < 6; ++i)
            many << newPicture(1000 + i * 100, 1000, QImage::Format_RGB32);
    }
    QVERIFY(sparePixelBufferBytes() <= qint64(2) * (1500 * 1000 * 4 + (2 << 20)));
    releaseSparePixelBuffers();
    QCOMPARE(sparePixelBufferBytes(), 0);

    // Small pictures and empty sizes do not involve spares at all.
    QVERIFY(newPicture(0, 10, QImage::Format_RGB32).isNull());
    QVERIFY(newPicture(10, -1, QImage::Format_RGB32).isNull());
    QCOMPARE(newPicture(10, 10, QImage::Format_RGB32).size(), QSize(10, 10));
    QCOMPARE(sparePixelBufferBytes(), 0);
}

QTEST_GUILESS_MAIN(TestImageProcessor)
#include "tst_imageprocessor.moc"
