#include "imaging/imageprocessor.h"
#include "pictures.h"
#include "scripteddialogs.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// Loading picture files into the workspace: every pixel format a decoder
// delivers arrives as 32-bit words, and every bad file ends in the same clear
// message with an empty workspace.
class TestImageLoad : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(m_dir.isValid()); }
    void loadsEveryDecodedFormat_data();
    void loadsEveryDecodedFormat();
    void formatComesFromContent();
    void badFiles_data();
    void badFiles();
    void bmpCutShortLeavesNoStaleMemory();

private:
    QTemporaryDir m_dir;
};

namespace {

QByteArray encoded(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

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

// A valid PNG whose header claims another size; its image data stays tiny.
QByteArray pngClaiming(quint32 width, quint32 height)
{
    QByteArray png = encoded(pictures::randomImage(2, 2, 1), "PNG");
    // Signature (8), IHDR length (4), "IHDR" (4), width (4), height (4), ...
    putBigEndian(png, 16, width, 4);
    putBigEndian(png, 20, height, 4);
    putBigEndian(png, 29, crc32(png.mid(12, 17)), 4);
    return png;
}

QByteArray jpegClaiming(quint16 width, quint16 height)
{
    QByteArray jpeg = encoded(pictures::randomImage(8, 8, 1), "JPEG");
    const int frame = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
    putBigEndian(jpeg, frame + 5, height, 2);
    putBigEndian(jpeg, frame + 7, width, 2);
    return jpeg;
}

// Smooth, with every channel different, so a lossy file stays close to it.
QImage gradient(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(40 + x * 6, 200 - y * 8, 90 + (x + y) * 3));
    return image;
}

} // namespace

void TestImageLoad::loadsEveryDecodedFormat_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("suffix");

    const QMetaEnum names = QMetaEnum::fromType<QImage::Format>();
    const QList<QImage::Format> formats = pictures::decoderFormats() << QImage::Format_Grayscale16;
    for (QImage::Format format : formats)
        for (const char* suffix : {"png", "bmp"})
            QTest::addRow("%s %s", names.valueToKey(format), suffix) << int(format) << suffix;
    // What a JPEG file holds: gray or colour, never a palette or alpha.
    for (QImage::Format format :
         {QImage::Format_Grayscale8, QImage::Format_RGB888, QImage::Format_RGB32})
        QTest::addRow("%s jpg", names.valueToKey(format)) << int(format) << "jpg";
}

void TestImageLoad::loadsEveryDecodedFormat()
{
    QFETCH(int, format);
    QFETCH(QString, suffix);

    const bool lossy = suffix == "jpg";
    // Only PNG carries alpha; translucent pixels check that it survives.
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
    const QImage& result = *processor.workingImage();
    const bool alpha = suffix == "png" && original.hasAlphaChannel();
    QCOMPARE(result.format(), alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    QCOMPARE(result.size(), original.size());
    // Decoded once: both pictures share one buffer until the first change.
    QCOMPARE(processor.sourceImage().constBits(), result.constBits());

    // Lossless files give the pixels back exactly, apart from the last bit of
    // unpremultiplying, where Qt's vector and scalar paths round differently.
    const bool premultiplied = original.format() == QImage::Format_ARGB32_Premultiplied;
    const int tolerance = lossy ? 24 : (premultiplied ? 1 : 0);
    for (int y = 0; y < original.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(result.constScanLine(y));
        for (int x = 0; x < original.width(); ++x) {
            const QRgb wanted =
                premultiplied ? qUnpremultiply(original.pixel(x, y)) : original.pixel(x, y);
            QCOMPARE(qAlpha(line[x]), alpha ? qAlpha(wanted) : 255);
            for (int shift : {0, 8, 16})
                QVERIFY2(qAbs(int((line[x] >> shift) & 0xFF) - int((wanted >> shift) & 0xFF)) <=
                             tolerance,
                         qPrintable(QString("pixel %1,%2").arg(x).arg(y)));
        }
    }
}

void TestImageLoad::formatComesFromContent()
{
    const QList<QPair<const char*, QString>> files = {
        {"PNG", "png.jpg"}, {"JPEG", "jpeg.png"}, {"BMP", "bmp.png"}, {"PNG", "no suffix"}};
    ScriptedDialogs dialogs;
    for (const auto& file : files) {
        const QString path = m_dir.filePath(file.second);
        QVERIFY(writeAll(path, encoded(gradient(31, 13), file.first)));
        ImageProcessor processor;
        QVERIFY2(processor.loadImage(path), qPrintable(file.second));
        QCOMPARE(processor.workingImage()->size(), QSize(31, 13));
    }
    QVERIFY(dialogs.prompts().isEmpty());
}

void TestImageLoad::badFiles_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("contents");

    const QByteArray png = encoded(pictures::randomImage(64, 64, 3), "PNG");
    // A null contents means no file at all.
    QTest::newRow("missing") << "no such picture \u00e9.png" << QByteArray();
    QTest::newRow("zero bytes") << "empty.png" << QByteArray("");
    QTest::newRow("truncated PNG") << "truncated.png" << png.left(png.size() / 2);
    QTest::newRow("text named .jpg") << "notes.jpg" << QByteArray("just some text\n");
    QTest::newRow("PNG claiming 100000 x 100000") << "huge.png" << pngClaiming(100000, 100000);
    QTest::newRow("JPEG claiming 65000 x 65000") << "huge.jpg" << jpegClaiming(65000, 65000);
}

void TestImageLoad::badFiles()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, contents);

    const QString path = m_dir.filePath(fileName);
    if (!contents.isNull())
        QVERIFY(writeAll(path, contents));

    ScriptedDialogs dialogs;
    ImageProcessor processor;
    // A picture already open is replaced by nothing, not kept.
    processor.adoptImage(pictures::randomImage(5, 5, 2));
    QVERIFY(!processor.loadImage(path));
    QCOMPARE(dialogs.prompts().size(), 1);
    const ScriptedDialogs::Prompt& prompt = dialogs.prompts().first();
    QCOMPARE(prompt.kind, ScriptedDialogs::Critical);
    QCOMPARE(prompt.title, QString("Critical Error"));
    QCOMPARE(prompt.text, "Failed to load " + path + ", please try again later!");
    QVERIFY(processor.workingImage()->isNull());
    QCOMPARE(processor.workingImage()->size(), QSize(0, 0));
    QCOMPARE(processor.sourceImage().size(), QSize(0, 0));

    // The workspace goes on working: the next file loads.
    const QString good = m_dir.filePath("good.png");
    QVERIFY(pictures::randomImage(7, 3, 4).save(good));
    QVERIFY(processor.loadImage(good));
    QCOMPARE(processor.workingImage()->size(), QSize(7, 3));
    QCOMPARE(dialogs.prompts().size(), 1);
}

// The BMP decoder accepts a file that ends early. Whatever it does not reach
// must not show stale memory: with rows stored bottom up, the top rows of a
// white picture cut in half come out black.
void TestImageLoad::bmpCutShortLeavesNoStaleMemory()
{
    const int width = 16, height = 64;
    const QByteArray bmp = encoded(pictures::filled(width, height, 0xFFFFFFFF), "BMP");
    const int rowBytes = (width * 3 + 3) / 4 * 4; // 24-bit rows, padded to 4 bytes
    const QString path = m_dir.filePath("cut short.bmp");

    // Fill the heap with a pattern the decoder could pick up again.
    for (int round = 0; round < 8; ++round) {
        QImage junk(width, height, QImage::Format_RGB32);
        junk.fill(0xFF123456);
    }
    QVERIFY(writeAll(path, bmp.left(bmp.size() - height / 2 * rowBytes)));

    ScriptedDialogs dialogs;
    ImageProcessor processor;
    if (!processor.loadImage(path))
        QSKIP("this decoder refuses a BMP cut short");
    const QImage& picture = *processor.workingImage();
    QCOMPARE(picture.size(), QSize(width, height));
    for (int y = 0; y < height; ++y) {
        const QRgb expected = y < height / 2 ? 0xFF000000u : 0xFFFFFFFFu;
        for (int x = 0; x < width; ++x)
            QCOMPARE(picture.pixel(x, y), expected);
    }
}

QTEST_GUILESS_MAIN(TestImageLoad)
#include "tst_imageload.moc"
