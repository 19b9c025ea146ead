// A 12000 x 8000 photograph through the whole workspace: load, the eight
// filters, crop, rotate, zoom steps and a G-code file, with the process's peak
// resident memory held to a few copies of the picture. A child process writes
// the file, so that the encoder's memory does not count.

#include "gcode/gcodegenerator.h"
#include "imaging/imageprocessor.h"
#include "scripteddialogs.h"

#include <QCoreApplication>
#include <QImageWriter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <sys/resource.h>

#if defined(__SANITIZE_ADDRESS__)
#define TAVO_LARGE_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TAVO_LARGE_SANITIZED 1
#endif
#endif

namespace {

constexpr int pictureWidth = 12000;
constexpr int pictureHeight = 8000;
constexpr double pictureBytes = double(pictureWidth) * pictureHeight * 4;
// Source, working picture and an effect filter's snapshot are three copies;
// half a copy more is left for decoder buffers, scan-line tables and the
// allocator's slack.
constexpr double allowedCopies = 4.5;

double peakBytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) * 1024.0; // kilobytes on Linux
}

// Smooth gradients: the JPEG codes fast and the G-code file stays small.
bool writePicture(const QString& fileName)
{
    QImage picture(pictureWidth, pictureHeight, QImage::Format_RGB32);
    if (picture.isNull())
        return false;
    for (int y = 0; y < pictureHeight; ++y) {
        auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
        const int green = y * 255 / (pictureHeight - 1);
        for (int x = 0; x < pictureWidth; ++x) {
            const int red = x * 255 / (pictureWidth - 1);
            line[x] = qRgb(red, green, (red + green) / 2);
        }
    }
    QImageWriter writer(fileName, "jpeg");
    writer.setQuality(90);
    return writer.write(picture);
}

} // namespace

class LargePictureTest : public QObject
{
    Q_OBJECT

private slots:
    void wholeWorkspace();
};

void LargePictureTest::wholeWorkspace()
{
#if defined(TAVO_LARGE_SANITIZED)
    QSKIP("the sanitizer's allocator and shadow memory make the resident size meaningless");
#endif
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString picturePath = dir.filePath("large.jpg");
    QCOMPARE(QProcess::execute(QCoreApplication::applicationFilePath(),
                               {"--write-picture", picturePath}),
             0);

    ScriptedDialogs dialogs;
    ImageProcessor processor;
    const double baseline = peakBytes();

    QVERIFY(processor.loadImage(picturePath));
    QCOMPARE(processor.workingImage()->size(), QSize(pictureWidth, pictureHeight));

    using Filter = void (ImageProcessor::*)();
    // Piled up as a user does: the working picture soon has pixels of its
    // own, and an effect filter's snapshot is a third copy.
    for (Filter filter : {&ImageProcessor::grayImage, &ImageProcessor::binaryImage,
                          &ImageProcessor::ditherImage, &ImageProcessor::inverseImage,
                          &ImageProcessor::reliefImage, &ImageProcessor::pulverizeImage,
                          &ImageProcessor::outlineImage, &ImageProcessor::softenImage})
        (processor.*filter)();

    processor.rotateImage();
    QCOMPARE(processor.workingImage()->size(), QSize(pictureHeight, pictureWidth));
    processor.rotateImage();
    processor.cropImage(9000, 7000);
    QCOMPARE(processor.workingImage()->size(), QSize(9000, 7000));

    // Zoom steps as the window makes them: from the source, rotated, scaled.
    for (int percent : {90, 50, 100}) {
        processor.resetImage();
        processor.rotateImage();
        processor.scaleKeepAspect(int(percent / 100.0 * pictureWidth),
                                  int(percent / 100.0 * pictureHeight));
    }

    // Laser Line from the full picture, made black and white first.
    processor.resetImage();
    processor.binaryImage();
    GcodeGenerator generator;
    generator.paramValues = {"0.16", "100", "500", "1000", "20"};
    generator.setImage(processor.workingImage());
    const QString gcodePath = dir.filePath("large.gcode");
    QVERIFY(generator.generate(LaserLine, gcodePath));
    QCOMPARE(generator.travelLength(), int(double(pictureWidth * pictureHeight) * 0.16));
    QCOMPARE(dialogs.prompts().size(), 0);

    const double copies = (peakBytes() - baseline) / pictureBytes;
    qInfo("peak resident memory: %.2f copies of the picture above the baseline", copies);
    QVERIFY2(copies <= allowedCopies,
             qPrintable(QString("peak of %1 pictures above the baseline").arg(copies)));
}

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--write-picture") == 0) {
        QCoreApplication app(argc, argv);
        return writePicture(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
    }
    QCoreApplication app(argc, argv);
    LargePictureTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_largepicture.moc"
