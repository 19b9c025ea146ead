#include "imaging/imageprocessor.h"
#include "imaging/pngwriter.h"
#include "pictures.h"

#include <QBuffer>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

// Every kind of PNG reads back as the pixels written; failed saves leave nothing.
class TestPngWriter : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void everyFilterThenSave();
    void failedSave();
};

using png::Kind;

namespace {

// Pixels compared as ARGB32: an opaque picture comes back without alpha.
QImage argb(const QImage& image)
{
    return image.convertToFormat(QImage::Format_ARGB32);
}

} // namespace

void TestPngWriter::roundTrip_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QSize>("size");
    // 1200 x 1000 spans several bands of rows in every kind but 1-bit.
    for (Kind kind : {Kind::Mono, Kind::Gray, Kind::Rgb, Kind::Rgba})
        for (QSize size : {QSize(0, 0), QSize(1, 57), QSize(57, 1), QSize(1200, 1000)})
            QTest::addRow("kind %d, %dx%d", int(kind), size.width(), size.height())
                << int(kind) << size;
}

void TestPngWriter::roundTrip()
{
    QFETCH(int, kind);
    QFETCH(QSize, size);
    QImage image = pictures::randomImage(size.width(), size.height(), 9, kind == int(Kind::Rgba));
    const auto gray = kind == int(Kind::Gray) ? QImage::Format_Grayscale8 : QImage::Format_Mono;
    if (kind <= int(Kind::Gray)) // gray levels, or black and white only
        image =
            image.convertToFormat(gray, Qt::ThresholdDither).convertToFormat(QImage::Format_RGB32);
    image.setDotsPerMeterX(2000); // recorded as Qt's writer does
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QCOMPARE(png::write(image, &buffer), !image.isNull());
    if (image.isNull())
        return;
    // Bit depth and colour type: the fewest bytes that hold the pixels.
    const char* header[] = {"0100", "0800", "0802", "0806"};
    QCOMPARE(buffer.data().mid(24, 2).toHex(), QByteArray(header[kind]));
    const QImage back = QImage::fromData(buffer.data(), "PNG");
    QCOMPARE(argb(back), argb(image));
    QCOMPARE(back.dotsPerMeterX(), 2000);
}

// Colour filters first, then gray and black-and-white ones: the kind written
// changes from save to save.
void TestPngWriter::everyFilterThenSave()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("saved.png");
    ImageProcessor processor;
    processor.adoptImage(pictures::randomImage(90, 70, 3, true));
    for (auto filter :
         {&ImageProcessor::inverseImage, &ImageProcessor::reliefImage, &ImageProcessor::softenImage,
          &ImageProcessor::pulverizeImage, &ImageProcessor::rotateImage, &ImageProcessor::grayImage,
          &ImageProcessor::outlineImage, &ImageProcessor::ditherImage, &ImageProcessor::binaryImage,
          &ImageProcessor::inverseImage}) {
        (processor.*filter)();
        QVERIFY(processor.saveImage(path));
        QCOMPARE(argb(QImage(path)), argb(*processor.workingImage()));
    }
}

// A missing folder, and a full disk (a file size limit) half way: nothing changes.
void TestPngWriter::failedSave()
{
    QTemporaryDir dir;
    ImageProcessor processor;
    processor.adoptImage(pictures::randomImage(400, 300, 5)); // about 480 KB as PNG
    QVERIFY(!processor.saveImage(dir.filePath("missing/out.png")));
    QFile older(dir.filePath("out.png"));
    QVERIFY(older.open(QIODevice::WriteOnly) && older.write("old") == 3);
    older.close();
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit normal{};
    getrlimit(RLIMIT_FSIZE, &normal);
    const rlimit full{1 << 16, normal.rlim_max};
    QVERIFY(setrlimit(RLIMIT_FSIZE, &full) == 0);
    const bool saved = processor.saveImage(older.fileName());
    QVERIFY(setrlimit(RLIMIT_FSIZE, &normal) == 0);
    QVERIFY(!saved);
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{"out.png"});
    QVERIFY(older.open(QIODevice::ReadOnly) && older.readAll() == "old");
}

QTEST_GUILESS_MAIN(TestPngWriter)
#include "tst_pngwriter.moc"
