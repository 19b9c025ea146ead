#include "imaging/imageprocessor.h"
#include "imaging/pngwriter.h"
#include "pictures.h"

#include <QBuffer>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

// Every kind of PNG reads back as the very pixels written, across band
// boundaries and after every filter; a failed save leaves nothing behind.
class TestPngWriter : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void everyFilterThenSave_data();
    void everyFilterThenSave();
    void failedSave_data();
    void failedSave();
};

namespace {

using png::Kind;

// Random pixels made into the kind: gray levels, black and white, or colour.
QImage pictureOf(Kind kind, int width, int height, quint64 seed)
{
    QImage image = pictures::randomImage(width, height, seed, kind == Kind::Rgba);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            if (kind == Kind::Gray)
                line[x] = 0xFF000000u | (line[x] & 0xFFu) * 0x010101u;
            else if (kind == Kind::Mono)
                line[x] = line[x] & 1u ? 0xFFFFFFFFu : 0xFF000000u;
        }
    }
    return image;
}

// Pixels compared as ARGB32: an opaque picture comes back without alpha.
QImage argb(const QImage& image)
{
    return image.convertToFormat(QImage::Format_ARGB32);
}

QImage readBack(const QByteArray& bytes)
{
    return argb(QImage::fromData(bytes, "PNG"));
}

} // namespace

Q_DECLARE_METATYPE(png::Kind)

void TestPngWriter::roundTrip_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QSize>("size");
    const char* names[] = {"1-bit", "gray", "rgb", "rgba"};
    for (Kind kind : {Kind::Mono, Kind::Gray, Kind::Rgb, Kind::Rgba})
        // 1200 x 1000 spans several bands of rows in every kind but 1-bit.
        for (QSize size :
             {QSize(0, 0), QSize(1, 57), QSize(57, 1), QSize(61, 37), QSize(1200, 1000)})
            QTest::addRow("%s %dx%d", names[int(kind)], size.width(), size.height())
                << kind << size;
}

void TestPngWriter::roundTrip()
{
    QFETCH(Kind, kind);
    QFETCH(QSize, size);
    const QImage image =
        pictureOf(kind, size.width(), size.height(), quint64(size.width()) * 7 + int(kind));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QCOMPARE(png::write(image, &buffer), !image.isNull());
    if (image.isNull()) {
        QVERIFY(bytes.isEmpty());
        return;
    }
    QCOMPARE(png::kindOf(image), kind);
    // Bit depth and colour type in the header: the fewest bytes that hold the pixels.
    const int header[4][2] = {{1, 0}, {8, 0}, {8, 2}, {8, 6}};
    QCOMPARE(int(bytes[24]), header[int(kind)][0]);
    QCOMPARE(int(bytes[25]), header[int(kind)][1]);
    QCOMPARE(readBack(bytes), argb(image));
}

void TestPngWriter::everyFilterThenSave_data()
{
    QTest::addColumn<bool>("alpha");
    QTest::newRow("opaque") << false;
    QTest::newRow("alpha") << true;
}

// Colour filters first, then the gray and black-and-white ones: the kind
// written changes from save to save.
void TestPngWriter::everyFilterThenSave()
{
    QFETCH(bool, alpha);
    QTemporaryDir dir;
    ImageProcessor processor;
    processor.adoptImage(pictures::randomImage(90, 70, 3, alpha));
    for (auto filter :
         {&ImageProcessor::inverseImage, &ImageProcessor::reliefImage, &ImageProcessor::softenImage,
          &ImageProcessor::pulverizeImage, &ImageProcessor::rotateImage, &ImageProcessor::grayImage,
          &ImageProcessor::outlineImage, &ImageProcessor::ditherImage, &ImageProcessor::binaryImage,
          &ImageProcessor::inverseImage}) {
        (processor.*filter)();
        const QString path = dir.filePath("saved.png");
        QVERIFY(processor.saveImage(path));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(readBack(file.readAll()), argb(*processor.workingImage()));
    }
}

void TestPngWriter::failedSave_data()
{
    QTest::addColumn<QString>("failure");
    for (const char* failure : {"read-only folder", "missing folder", "directory", "disk full"})
        QTest::newRow(failure) << QString(failure);
}

// In a child process: the superuser's right to ignore permissions dropped, or
// the file size limited as a full disk would.
void TestPngWriter::failedSave()
{
    QFETCH(QString, failure);
    QTemporaryDir dir;
    const QString folder = failure == "missing folder" ? dir.filePath("missing") : dir.path();
    const QString path = failure == "directory" ? dir.path() : folder + "/out.png";
    QFile older(path);
    const bool hasOlder = failure != "missing folder" && failure != "directory";
    if (hasOlder)
        QVERIFY(older.open(QIODevice::WriteOnly) && older.write("older") == 5);
    older.close();
    if (failure == "read-only folder")
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden);

    const pid_t child = fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1 << 16, 1 << 16};
        if (failure == "disk full" ? setrlimit(RLIMIT_FSIZE, &limit) != 0
                                   : geteuid() == 0 && setuid(65534) != 0)
            _exit(2);
        ImageProcessor processor;
        processor.adoptImage(pictures::randomImage(400, 300, 5));
        _exit(processor.saveImage(path) ? 1 : 0);
    }
    int status = -1;
    QVERIFY(waitpid(child, &status, 0) == child && WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden), before);
    if (hasOlder) {
        QVERIFY(older.open(QIODevice::ReadOnly));
        QCOMPARE(older.readAll(), QByteArray("older"));
    }
}

QTEST_GUILESS_MAIN(TestPngWriter)
#include "tst_pngwriter.moc"
