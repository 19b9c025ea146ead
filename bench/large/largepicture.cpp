// tavo-bench-large: a 12000 x 8000 photograph through the whole workspace
// (load, the eight filters, crop, rotate, zoom steps and a G-code file), and
// the process's peak resident memory in copies of the picture. Exits 1 above
// the allowance. A child process writes the picture, so that the encoder's
// memory does not count.
//
//   tavo-bench-large [WORK_DIR]      (default: the system's temporary folder)

#include "gcode/gcodegenerator.h"
#include "imaging/imageprocessor.h"

#include <QCoreApplication>
#include <QDir>
#include <QImageWriter>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <sys/resource.h>

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

// Every step that can fail, checked: a figure from a run that went wrong
// would mean nothing.
bool expect(bool condition, const char* what)
{
    if (!condition)
        std::fprintf(stderr, "tavo-bench-large: %s\n", what);
    return condition;
}

bool wholeWorkspace(const QString& folder)
{
    QTemporaryDir dir(QDir(folder).filePath("tavo-large-XXXXXX"));
    const QString picturePath = dir.filePath("large.jpg");
    if (!expect(dir.isValid() && QProcess::execute(QCoreApplication::applicationFilePath(),
                                                   {"--write-picture", picturePath}) == 0,
                "cannot write the picture"))
        return false;

    ImageProcessor processor;
    const double baseline = peakBytes();
    if (!expect(processor.loadImage(picturePath) &&
                    processor.workingImage()->size() == QSize(pictureWidth, pictureHeight),
                "cannot load the picture"))
        return false;

    using Filter = void (ImageProcessor::*)();
    // Piled up as a user does: the working picture soon has pixels of its
    // own, and an effect filter's snapshot is a third copy.
    for (Filter filter : {&ImageProcessor::grayImage, &ImageProcessor::binaryImage,
                          &ImageProcessor::ditherImage, &ImageProcessor::inverseImage,
                          &ImageProcessor::reliefImage, &ImageProcessor::pulverizeImage,
                          &ImageProcessor::outlineImage, &ImageProcessor::softenImage})
        (processor.*filter)();

    processor.rotateImage();
    processor.rotateImage();
    processor.cropImage(9000, 7000);
    if (!expect(processor.workingImage()->size() == QSize(9000, 7000), "crop"))
        return false;

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
    if (!expect(generator.generate(LaserLine, dir.filePath("large.gcode")), "cannot write G-code"))
        return false;

    const double copies = (peakBytes() - baseline) / pictureBytes;
    std::printf("peak resident memory: %.2f copies of the picture (%.0f MiB) above the "
                "baseline of %.0f MiB; allowed: %.1f\n",
                copies, copies * pictureBytes / 1048576.0, baseline / 1048576.0, allowedCopies);
    return copies <= allowedCopies;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--write-picture") == 0)
        return writePicture(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
    if (argc > 2) {
        std::fprintf(stderr, "usage: tavo-bench-large [WORK_DIR]\n");
        return 2;
    }
    return wholeWorkspace(argc == 2 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath()) ? 0 : 1;
}
