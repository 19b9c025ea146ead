#include "imaging/imageprocessor.h"
#include "pictures.h"
#include "scripteddialogs.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// Every pixel format a decoder delivers arrives as 32-bit words; every bad
// file ends in the same message with an empty workspace.
class TestImageLoad : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(m_dir.isValid()); }
    void loadsEveryDecodedFormat_data();
    void loadsEveryDecodedFormat();
    void badFiles_data();
    void badFiles();

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
    // A flat colour keeps a lossy file close; unequal channels catch a swap.
    const QImage base = lossy ? pictures::filled(24, 16, qRgb(200, 120, 40))
                              : pictures::randomImage(23, 17, 8, suffix == "png");
    const QImage original =
        base.convertToFormat(QImage::Format(format), Qt::ThresholdDither | Qt::AvoidDither);
    // The suffix lies: the format must come from the content.
    const QString path = m_dir.filePath(lossy ? "picture.png" : "picture.jpg");
    QVERIFY(writeAll(path, encoded(original, qPrintable(suffix))));

    ScriptedDialogs dialogs;
    ImageProcessor processor;
    QVERIFY(processor.loadImage(path));
    QVERIFY(dialogs.prompts().isEmpty());
    const QImage& result = *processor.workingImage();
    const bool alpha = suffix == "png" && original.hasAlphaChannel();
    QCOMPARE(result.format(), alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    QCOMPARE(result.size(), original.size());
    QCOMPARE(processor.sourceImage().constBits(), result.constBits());

    // Lossless files give the pixels back exactly, apart from the last bit of
    // unpremultiplying, where Qt's vector and scalar paths round differently.
    const bool premultiplied = original.format() == QImage::Format_ARGB32_Premultiplied;
    const int tolerance = lossy ? 24 : (premultiplied ? 1 : 0);
    for (int k = 0, w = original.width(); k < w * original.height(); ++k) {
        const QRgb got = result.pixel(k % w, k / w), plain = original.pixel(k % w, k / w);
        const QRgb wanted = premultiplied ? qUnpremultiply(plain) : plain;
        QCOMPARE(qAlpha(got), alpha ? qAlpha(wanted) : 255);
        for (int shift : {0, 8, 16})
            QVERIFY(qAbs(int(got >> shift & 0xFF) - int(wanted >> shift & 0xFF)) <= tolerance);
    }
}

void TestImageLoad::badFiles_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("contents");

    const QByteArray png = encoded(pictures::randomImage(64, 64, 3), "PNG");
    // A null contents means no file at all.
    QTest::newRow("missing") << "no such picture \u00e9.png" << QByteArray();
    QTest::newRow("truncated PNG") << "truncated.png" << png.left(png.size() / 2);
    QTest::newRow("text named .jpg") << "notes.jpg" << QByteArray("just some text\n");
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
    QCOMPARE(dialogs.log(), QStringList("critical Critical Error: Failed to load " + path +
                                        ", please try again later!"));
    QVERIFY(processor.workingImage()->isNull());
    QVERIFY(processor.sourceImage().isNull());

    // The workspace goes on working: the next file loads.
    const QString good = m_dir.filePath("good.png");
    QVERIFY(pictures::randomImage(7, 3, 4).save(good));
    QVERIFY(processor.loadImage(good));
    QCOMPARE(dialogs.prompts().size(), 1);
}

QTEST_GUILESS_MAIN(TestImageLoad)
#include "tst_imageload.moc"
