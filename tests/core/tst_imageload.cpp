#include "imaging/imageprocessor.h"
#include "pictures.h"
#include "scripteddialogs.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QMetaEnum>
#include <QTemporaryDir>
#include <QtTest>

// Loading picture files into the workspace: every pixel format a decoder
// delivers arrives as 32-bit words, and every bad file ends in the same clear
// message with an empty workspace.
class TestImageLoad : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void loadsEveryDecodedFormat_data();
    void loadsEveryDecodedFormat();
    void formatComesFromContent_data();
    void formatComesFromContent();
    void badFiles_data();
    void badFiles();

private:
    QTemporaryDir m_dir;
};

namespace {

// The working image as the view and the filters read it.
const QImage& working(const ImageProcessor& processor)
{
    return processor.workingImage();
}

enum BadFileKind { Missing, File, Folder };

bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

void putBigEndian(QByteArray& bytes, int offset, quint32 value, int size)
{
    for (int i = 0; i < size; ++i)
        bytes[offset + i] = char(value >> (8 * (size - 1 - i)));
}

void putLittleEndian(QByteArray& bytes, int offset, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = char(value >> (8 * i));
}

quint32 crc32(const QByteArray& bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// A valid PNG whose header claims another size; the image data stays small.
QByteArray pngClaiming(quint32 width, quint32 height)
{
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        pictures::randomImage(2, 2, 1).save(&buffer, "PNG");
    }
    // Signature (8), IHDR length (4), "IHDR" (4), width (4), height (4), ...
    putBigEndian(png, 16, width, 4);
    putBigEndian(png, 20, height, 4);
    putBigEndian(png, 29, crc32(png.mid(12, 17)), 4);
    return png;
}

// A JPEG whose frame header claims another size.
QByteArray jpegClaiming(quint16 width, quint16 height)
{
    QByteArray jpeg;
    {
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        pictures::randomImage(8, 8, 1).save(&buffer, "JPEG");
    }
    const int frame = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
    if (frame < 0)
        return QByteArray();
    putBigEndian(jpeg, frame + 5, height, 2);
    putBigEndian(jpeg, frame + 7, width, 2);
    return jpeg;
}

QByteArray bmpClaiming(qint32 width, qint32 height)
{
    QByteArray bmp;
    {
        QBuffer buffer(&bmp);
        buffer.open(QIODevice::WriteOnly);
        pictures::randomImage(4, 4, 1).save(&buffer, "BMP");
    }
    putLittleEndian(bmp, 18, quint32(width));
    putLittleEndian(bmp, 22, quint32(height));
    return bmp;
}

QByteArray encoded(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// Smooth, with every channel different, so a lossy file stays close to it.
QImage gradient(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = qRgb(40 + x * 6, 200 - y * 8, 90 + (x + y) * 3);
    }
    return image;
}

// QImage::pixel gives premultiplied pictures' words as stored.
QRgb straightPixel(const QImage& image, int x, int y)
{
    const QRgb pixel = image.pixel(x, y);
    return image.format() == QImage::Format_ARGB32_Premultiplied ? qUnpremultiply(pixel) : pixel;
}

int worstChannelError(QRgb a, QRgb b)
{
    return qMax(qMax(qAbs(qRed(a) - qRed(b)), qAbs(qGreen(a) - qGreen(b))),
                qAbs(qBlue(a) - qBlue(b)));
}

} // namespace

void TestImageLoad::init()
{
    QVERIFY(m_dir.isValid());
}

void TestImageLoad::loadsEveryDecodedFormat_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("suffix");

    const QMetaEnum formats = QMetaEnum::fromType<QImage::Format>();
    auto add = [&](QImage::Format format, const char* suffix) {
        QTest::addRow("%s %s", formats.valueToKey(format), suffix) << int(format) << suffix;
    };
    const QList<QImage::Format> decoded = pictures::decoderFormats() << QImage::Format_Grayscale16;
    for (QImage::Format format : decoded) {
        add(format, "png");
        add(format, "bmp");
    }
    // What a JPEG file can hold: gray or colour, never a palette or alpha.
    for (QImage::Format format :
         {QImage::Format_Grayscale8, QImage::Format_RGB888, QImage::Format_RGB32})
        add(format, "jpg");
}

void TestImageLoad::loadsEveryDecodedFormat()
{
    QFETCH(int, format);
    QFETCH(QString, suffix);

    const bool lossy = suffix == "jpg";
    // Only PNG carries alpha; translucent pixels test that it survives.
    const QImage base =
        lossy ? gradient(24, 16) : pictures::randomImage(23, 17, 8, suffix == "png");
    const QImage original =
        base.convertToFormat(QImage::Format(format), Qt::ThresholdDither | Qt::AvoidDither);
    const QString path = m_dir.filePath("picture." + suffix);
    QVERIFY(original.save(path));

    ScriptedDialogs dialogs;
    ImageProcessor processor;
    QVERIFY(processor.loadImage(path));
    QVERIFY(dialogs.prompts().isEmpty());

    const QImage& result = working(processor);
    const bool alpha = suffix == "png" && original.hasAlphaChannel();
    QCOMPARE(result.format(), alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    QCOMPARE(result.size(), original.size());
    QCOMPARE(processor.sourceImage(), result);
    // Decoded once: both pictures share one buffer until the first change.
    QCOMPARE(processor.sourceImage().constBits(), result.constBits());

    // Lossless files give the pixels back exactly, apart from the last bit of
    // unpremultiplying, where Qt's vector and scalar paths round differently.
    const bool premultiplied = original.format() == QImage::Format_ARGB32_Premultiplied;
    const int tolerance = lossy ? 24 : (premultiplied ? 1 : 0);
    for (int y = 0; y < original.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(result.constScanLine(y));
        for (int x = 0; x < original.width(); ++x) {
            const QRgb expected = straightPixel(original, x, y);
            QVERIFY2(worstChannelError(line[x], expected) <= tolerance,
                     qPrintable(QString("pixel %1,%2").arg(x).arg(y)));
            QCOMPARE(qAlpha(line[x]), alpha ? qAlpha(expected) : 255);
        }
    }
}

void TestImageLoad::formatComesFromContent_data()
{
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<QString>("fileName");
    QTest::newRow("PNG named .jpg") << QByteArray("PNG") << "picture.jpg";
    QTest::newRow("JPEG named .png") << QByteArray("JPEG") << "picture.png";
    QTest::newRow("BMP named .png") << QByteArray("BMP") << "picture.png";
    QTest::newRow("PNG without suffix") << QByteArray("PNG") << "picture";
}

void TestImageLoad::formatComesFromContent()
{
    QFETCH(QByteArray, format);
    QFETCH(QString, fileName);

    const QString path = m_dir.filePath(fileName);
    QVERIFY(writeAll(path, encoded(gradient(31, 13), format.constData())));
    ScriptedDialogs dialogs;
    ImageProcessor processor;
    QVERIFY(processor.loadImage(path));
    QVERIFY(dialogs.prompts().isEmpty());
    QCOMPARE(working(processor).size(), QSize(31, 13));
}

void TestImageLoad::badFiles_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<int>("kind");

    const QByteArray png = encoded(pictures::randomImage(64, 64, 3), "PNG");
    QTest::newRow("missing") << "no such picture \u00e9.png" << QByteArray() << int(Missing);
    QTest::newRow("zero bytes") << "empty.png" << QByteArray() << int(File);
    QTest::newRow("truncated PNG") << "truncated.png" << png.left(png.size() / 2) << int(File);
    QTest::newRow("PNG without its end") << "cut.png" << png.left(png.size() - 12) << int(File);
    QTest::newRow("text named .jpg") << "notes.jpg" << QByteArray("just some text\n") << int(File);
    QTest::newRow("PNG claiming 100000 x 100000")
        << "huge.png" << pngClaiming(100000, 100000) << int(File);
    QTest::newRow("JPEG claiming 65000 x 65000")
        << "huge.jpg" << jpegClaiming(65000, 65000) << int(File);
    QTest::newRow("BMP claiming 100000 x 100000")
        << "huge.bmp" << bmpClaiming(100000, 100000) << int(File);
    QTest::newRow("a folder") << "folder.png" << QByteArray() << int(Folder);
}

void TestImageLoad::badFiles()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, contents);
    QFETCH(int, kind);

    const QString path = m_dir.filePath(fileName);
    if (kind == File)
        QVERIFY(writeAll(path, contents));
    else if (kind == Folder)
        QVERIFY(QDir(m_dir.path()).mkpath(fileName));

    ScriptedDialogs dialogs;
    ImageProcessor processor;
    // A picture already open is replaced by nothing, not kept.
    processor.adoptImage(pictures::randomImage(5, 5, 2));
    processor.setManualThreshold(true);
    processor.setThreshold(90);

    QVERIFY(!processor.loadImage(path));
    QCOMPARE(dialogs.prompts().size(), 1);
    const ScriptedDialogs::Prompt& prompt = dialogs.prompts().first();
    QCOMPARE(prompt.kind, ScriptedDialogs::Critical);
    QCOMPARE(prompt.title, QString("Critical Error"));
    QCOMPARE(prompt.text, "Failed to load " + path + ", please try again later!");
    QCOMPARE(working(processor).size(), QSize(0, 0));
    QCOMPARE(processor.sourceImage().size(), QSize(0, 0));
    QVERIFY(working(processor).isNull());
    QCOMPARE(processor.threshold(), 90);

    // The workspace goes on working: operations stay harmless, the next file loads.
    processor.rotateImage();
    processor.cropImage(10, 10);
    QVERIFY(working(processor).isNull());
    const QString good = m_dir.filePath("good.png");
    QVERIFY(pictures::randomImage(7, 3, 4).save(good));
    QVERIFY(processor.loadImage(good));
    QCOMPARE(working(processor).size(), QSize(7, 3));
    QCOMPARE(dialogs.prompts().size(), 1);
}

QTEST_GUILESS_MAIN(TestImageLoad)
#include "tst_imageload.moc"
