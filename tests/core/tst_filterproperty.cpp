#include "imaging/imageprocessor.h"
#include "pictures.h"

#include <QtTest>

#include <iterator>
#include <utility>

namespace {

struct Settings
{
    bool manual = false;
    int threshold = 127;
    std::uint64_t seed = 0;
};

int channel(QRgb pixel, int index)
{
    return int(pixel >> (16 - 8 * index) & 0xFF);
}

QRgb opaque(const int c[3])
{
    return 0xFF000000u | QRgb(c[0]) << 16 | QRgb(c[1]) << 8 | QRgb(c[2]);
}

int referenceThreshold(const QImage& image, const Settings& settings)
{
    if (settings.manual)
        return settings.threshold;
    if (image.width() == 0 || image.height() == 0)
        return 0;
    double sum = 0.0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            sum += grayLevel(image.pixel(x, y));
    return int(sum / double(image.width() * image.height()) + 0.1);
}

// Each pixel replaced by what rule makes of it alone.
template <typename Rule> QImage eachPixel(QImage image, Rule rule)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, rule(image.pixel(x, y)));
    return image;
}

QImage referenceGray(QImage image, const Settings&)
{
    return eachPixel(image, [](QRgb p) { return 0xFF000000u | QRgb(grayLevel(p)) * 0x010101u; });
}

QImage referenceBinary(QImage image, const Settings& settings)
{
    const int t = referenceThreshold(image, settings);
    return eachPixel(image, [t](QRgb p) { return grayLevel(p) > t ? 0xFFFFFFFFu : 0xFF000000u; });
}

QImage referenceDither(QImage image, const Settings& settings)
{
    const int w = image.width(), h = image.height();
    int limit[3] = {0, 0, 0};
    if (!settings.manual) {
        double sums[3] = {0.0, 0.0, 0.0};
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (int c = 0; c < 3; ++c)
                    sums[c] += channel(image.pixel(x, y), c);
        for (int c = 0; c < 3; ++c)
            limit[c] = int(sums[c] / double(h * w) + 0.1);
    } else if (settings.threshold >= 0 && settings.threshold <= 255) {
        limit[0] = limit[1] = limit[2] = settings.threshold;
    }
    const struct
    {
        int dx, dy;
        double weight;
    } neighbours[4] = {{1, 0, 0.4375}, {-1, 1, 0.3125}, {0, 1, 0.375}, {1, 1, 0.125}};
    for (int y = 0; y <= h - 2; ++y) {
        for (int x = 0; x <= w - 2; ++x) {
            const QRgb current = image.pixel(x, y);
            for (const auto& n : neighbours) {
                if (x + n.dx < 0)
                    continue;
                const QRgb old = image.pixel(x + n.dx, y + n.dy);
                int out[3];
                for (int c = 0; c < 3; ++c) {
                    const double k = limit[c] < channel(current, c) ? 0.0 : 255.0;
                    out[c] = qMin(int(channel(old, c) + k * n.weight), 255);
                }
                image.setPixel(x + n.dx, y + n.dy, opaque(out));
            }
        }
    }
    return image;
}

QImage referenceInverse(QImage image, const Settings&)
{
    return eachPixel(image, [](QRgb p) { return 0xFF000000u | ~p; });
}

QImage referenceRelief(QImage image, const Settings&)
{
    const QImage snapshot = image.copy();
    for (int y = 0; y <= image.height() - 2; ++y) {
        for (int x = 0; x <= image.width() - 2; ++x) {
            const QRgb a = snapshot.pixel(x, y), b = snapshot.pixel(x + 1, y + 1);
            int out[3];
            for (int c = 0; c < 3; ++c)
                out[c] = qMin(qAbs(channel(a, c) - channel(b, c) + 128), 255);
            image.setPixel(x, y, opaque(out));
        }
    }
    return image;
}

// Draw n of the stream: for even n, draws n and n + 1 are the upper two
// 16-bit quarters of splitmix64's output n + 1 from zero.
int drawMod19(std::uint64_t n)
{
    const std::uint64_t output = pictures::Random((n - n % 2) * 0x9E3779B97F4A7C15ull).next();
    return int((n % 2 ? output >> 32 : output >> 48) & 0xFFFF) % 19;
}

QImage referencePulverize(QImage image, const Settings& settings)
{
    const QImage snapshot = image.copy();
    const int w = image.width(), h = image.height();
    std::uint64_t n = settings.seed;
    for (int x = 1; x <= w - 2; ++x) {
        for (int y = 1; y <= h - 2; ++y) {
            const int dx = drawMod19(n++);
            const int dy = drawMod19(n++);
            image.setPixel(x, y, snapshot.pixel(qMin(x + dx, w - 1), qMin(y + dy, h - 1)));
        }
    }
    return image;
}

QImage referenceOutline(QImage image, const Settings& settings)
{
    const int t = referenceThreshold(image, settings);
    const QImage snapshot = image.copy();
    const auto dark = [&](int x, int y) { return grayLevel(snapshot.pixel(x, y)) < t; };
    for (int x = 1; x <= image.width() - 2; ++x)
        for (int y = 1; y <= image.height() - 2; ++y)
            if (grayLevel(snapshot.pixel(x, y)) > t ||
                (dark(x - 1, y) && dark(x, y - 1) && dark(x + 1, y) && dark(x, y + 1)))
                image.setPixel(x, y, 0xFFFFFFFFu);
    return image;
}

QImage referenceSoften(QImage image, const Settings&)
{
    static const int kernel[3][3] = {{1, 2, 1}, {2, 4, 2}, {1, 2, 1}};
    const QImage snapshot = image.copy();
    for (int x0 = 0; x0 <= image.width() - 3; ++x0) {
        for (int y0 = 0; y0 <= image.height() - 3; ++y0) {
            int sums[3] = {0, 0, 0};
            for (int j = 0; j < 3; ++j)
                for (int i = 0; i < 3; ++i)
                    for (int c = 0; c < 3; ++c)
                        sums[c] += channel(snapshot.pixel(x0 + i, y0 + j), c) * kernel[j][i];
            for (int& sum : sums)
                sum = qBound(0, sum / 16, 255);
            image.setPixel(x0, y0, opaque(sums));
        }
    }
    return image;
}

const struct
{
    const char* name;
    void (ImageProcessor::*run)();
    QImage (*reference)(QImage, const Settings&);
} filters[] = {
    {"gray", &ImageProcessor::grayImage, referenceGray},
    {"binary", &ImageProcessor::binaryImage, referenceBinary},
    {"dither", &ImageProcessor::ditherImage, referenceDither},
    {"inverse", &ImageProcessor::inverseImage, referenceInverse},
    {"relief", &ImageProcessor::reliefImage, referenceRelief},
    {"pulverize", &ImageProcessor::pulverizeImage, referencePulverize},
    {"outline", &ImageProcessor::outlineImage, referenceOutline},
    {"soften", &ImageProcessor::softenImage, referenceSoften},
};

} // namespace

// Every filter against a plain per-pixel version written straight from its
// rules, on random pictures of every size 0..40, assorted formats and both
// threshold modes. The product's loops may be clever; the bits must agree.
class TestFilterProperty : public QObject
{
    Q_OBJECT

private slots:
    void matchesReference_data()
    {
        QTest::addColumn<int>("filter");
        for (int i = 0; i < int(std::size(filters)); ++i)
            QTest::newRow(filters[i].name) << i;
    }

    void matchesReference()
    {
        QFETCH(int, filter);
        static const int thresholds[] = {-3, 0, 1, 127, 128, 254, 255, 256, 1000};
        const QList<QImage::Format> formats = pictures::decoderFormats();
        pictures::Random random(0xF117E5 + std::uint64_t(filter));
        for (int round = 0; round < 300; ++round) {
            // A quarter of the sides are 0..3, where the edge rules meet.
            const int width = random.bounded(random.bounded(4) ? 41 : 4);
            const int height = random.bounded(random.bounded(4) ? 41 : 4);
            const QImage::Format format = formats[random.bounded(formats.size())];
            const QImage picture =
                pictures::randomImage(width, height, random.next(), random.bounded(2))
                    .convertToFormat(format);
            Settings settings;
            settings.manual = random.bounded(2) == 1;
            settings.threshold = random.bounded(3) == 0
                                     ? random.bounded(256)
                                     : thresholds[random.bounded(int(std::size(thresholds)))];
            // Small and large seeds, and runs that wrap round the end of the stream.
            settings.seed = random.bounded(8) == 0 ? ~std::uint64_t(random.bounded(3000))
                                                   : random.next() >> random.bounded(64);
            const QByteArray what =
                QString::asprintf("%dx%d format %d manual %d threshold %d seed %llu", width, height,
                                  int(format), int(settings.manual), settings.threshold,
                                  static_cast<unsigned long long>(settings.seed))
                    .toLatin1();

            ImageProcessor processor;
            processor.seedRandom(settings.seed);
            processor.adoptImage(picture);
            processor.setManualThreshold(settings.manual);
            processor.setThreshold(settings.threshold);
            const QImage before = std::as_const(processor).workingImage().copy();
            QVERIFY2(before.isNull() || before.depth() == 32, what);
            QVERIFY2(processor.effectiveThreshold() == referenceThreshold(before, settings), what);
            (processor.*filters[filter].run)();
            QVERIFY2(pictures::sameWords(std::as_const(processor).workingImage(),
                                         filters[filter].reference(before, settings)),
                     what);
            QVERIFY2(pictures::sameWords(processor.sourceImage(), before), what);
        }
    }

    // What the references cannot tell, sharing the product's gray level and
    // restarting Pulverize's stream for every picture.
    void grayLevelRule_data()
    {
        QTest::addColumn<QRgb>("pixel");
        QTest::addColumn<int>("level");
        QTest::newRow("red") << qRgb(255, 0, 0) << 76;
        QTest::newRow("green") << qRgb(0, 255, 0) << 150;
        // 0.3 R + 0.59 G + 0.11 B + 0.1 is whole here; the roundings decide.
        QTest::newRow("whole 6 rounds down, alpha ignored") << qRgba(0, 10, 0, 0) << 5;
        QTest::newRow("whole 7 rounds down") << qRgb(0, 2, 52) << 6;
    }

    void grayLevelRule()
    {
        QFETCH(QRgb, pixel);
        QFETCH(int, level);
        QCOMPARE(grayLevel(pixel), level);
    }

    void pulverizeStreamGoesOn()
    {
        ImageProcessor processor;
        processor.seedRandom(7);
        processor.adoptImage(pictures::randomImage(30, 25, 9));
        processor.pulverizeImage();
        const QImage first = std::as_const(processor).workingImage();
        processor.resetImage();
        processor.pulverizeImage();
        QVERIFY(std::as_const(processor).workingImage() != first); // new offsets
    }
};

QTEST_APPLESS_MAIN(TestFilterProperty)
#include "tst_filterproperty.moc"
