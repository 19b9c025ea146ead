#include "imaging/imageprocessor.h"
#include "pictures.h"

#include <QtTest>

#include <cstring>
#include <iterator>

// Every filter against a plain per-pixel version written straight from its
// rules (QImage::pixel and setPixel, reading a snapshot where the rule does),
// on many random pictures: sizes 0 to 40 per side, with and without alpha,
// decoded into assorted formats, under automatic and manual thresholds. The
// product's loops may be as clever as they like; the bits must agree.
class TestFilterProperty : public QObject
{
    Q_OBJECT

private slots:
    void matchesReference_data();
    void matchesReference();
    void smallShapes_data();
    void smallShapes();
};

namespace {

// Reads through the const overload, never the writable pointer.
const QImage& working(const ImageProcessor& processor)
{
    return processor.workingImage();
}

struct Settings
{
    bool manual = false;
    int threshold = 127;
    std::uint64_t seed = 0;
};

int channel(QRgb pixel, int index)
{
    return index == 0 ? qRed(pixel) : index == 1 ? qGreen(pixel) : qBlue(pixel);
}

QRgb opaque(int red, int green, int blue)
{
    return 0xFF000000u | QRgb(red) << 16 | QRgb(green) << 8 | QRgb(blue);
}

int referenceMean(const QImage& image)
{
    if (image.width() == 0 || image.height() == 0)
        return 0;
    double sum = 0.0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            sum += grayLevel(image.pixel(x, y));
    return int(sum / double(image.width() * image.height()) + 0.1);
}

int referenceThreshold(const QImage& image, const Settings& settings)
{
    return settings.manual ? settings.threshold : referenceMean(image);
}

QImage referenceGray(QImage image, const Settings&)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const int g = grayLevel(image.pixel(x, y));
            image.setPixel(x, y, opaque(g, g, g));
        }
    }
    return image;
}

QImage referenceBinary(QImage image, const Settings& settings)
{
    const int t = referenceThreshold(image, settings);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, grayLevel(image.pixel(x, y)) > t ? 0xFFFFFFFFu : 0xFF000000u);
    return image;
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
    struct Neighbour
    {
        int dx, dy;
        double weight;
    };
    const Neighbour neighbours[4] = {{1, 0, 0.4375}, {-1, 1, 0.3125}, {0, 1, 0.375}, {1, 1, 0.125}};
    for (int y = 0; y <= h - 2; ++y) {
        for (int x = 0; x <= w - 2; ++x) {
            const QRgb current = image.pixel(x, y);
            for (const Neighbour& n : neighbours) {
                if (x + n.dx < 0)
                    continue;
                const QRgb old = image.pixel(x + n.dx, y + n.dy);
                int out[3];
                for (int c = 0; c < 3; ++c) {
                    const double k = limit[c] < channel(current, c) ? 0.0 : 255.0;
                    out[c] = qMin(int(channel(old, c) + k * n.weight), 255);
                }
                image.setPixel(x + n.dx, y + n.dy, opaque(out[0], out[1], out[2]));
            }
        }
    }
    return image;
}

QImage referenceInverse(QImage image, const Settings&)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            image.setPixel(x, y, opaque(255 - qRed(p), 255 - qGreen(p), 255 - qBlue(p)));
        }
    }
    return image;
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
            image.setPixel(x, y, opaque(out[0], out[1], out[2]));
        }
    }
    return image;
}

// The random stream taken one draw after the other: for even n, draws n and
// n + 1 are the upper two 16-bit quarters of splitmix64's output n + 1 from
// zero.
class ReferenceDraws
{
public:
    explicit ReferenceDraws(std::uint64_t first) : m_next(first) {}
    int nextMod19()
    {
        const std::uint64_t n = m_next++;
        const std::uint64_t even = n - n % 2;
        const std::uint64_t output = pictures::Random(even * 0x9E3779B97F4A7C15ull).next();
        return int((n % 2 ? output >> 32 : output >> 48) & 0xFFFF) % 19;
    }

private:
    std::uint64_t m_next;
};

QImage referencePulverize(QImage image, const Settings& settings)
{
    const QImage snapshot = image.copy();
    const int w = image.width(), h = image.height();
    ReferenceDraws draws(settings.seed);
    for (int x = 1; x <= w - 2; ++x) {
        for (int y = 1; y <= h - 2; ++y) {
            const int dx = draws.nextMod19();
            const int dy = draws.nextMod19();
            image.setPixel(x, y, snapshot.pixel(qMin(x + dx, w - 1), qMin(y + dy, h - 1)));
        }
    }
    return image;
}

QImage referenceOutline(QImage image, const Settings& settings)
{
    const int t = referenceThreshold(image, settings);
    const QImage snapshot = image.copy();
    const auto gray = [&snapshot](int x, int y) { return grayLevel(snapshot.pixel(x, y)); };
    for (int x = 1; x <= image.width() - 2; ++x) {
        for (int y = 1; y <= image.height() - 2; ++y) {
            if (gray(x, y) > t || (gray(x - 1, y) < t && gray(x, y - 1) < t && gray(x + 1, y) < t &&
                                   gray(x, y + 1) < t))
                image.setPixel(x, y, 0xFFFFFFFFu);
        }
    }
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
            image.setPixel(x0, y0,
                           opaque(qBound(0, sums[0] / 16, 255), qBound(0, sums[1] / 16, 255),
                                  qBound(0, sums[2] / 16, 255)));
        }
    }
    return image;
}

struct Filter
{
    const char* name;
    void (ImageProcessor::*run)();
    QImage (*reference)(QImage, const Settings&);
};

const Filter filters[] = {
    {"gray", &ImageProcessor::grayImage, referenceGray},
    {"binary", &ImageProcessor::binaryImage, referenceBinary},
    {"dither", &ImageProcessor::ditherImage, referenceDither},
    {"inverse", &ImageProcessor::inverseImage, referenceInverse},
    {"relief", &ImageProcessor::reliefImage, referenceRelief},
    {"pulverize", &ImageProcessor::pulverizeImage, referencePulverize},
    {"outline", &ImageProcessor::outlineImage, referenceOutline},
    {"soften", &ImageProcessor::softenImage, referenceSoften},
};

// Random content of one of a few kinds: noise (with or without alpha), a
// handful of colours in blocks (flat areas and edges), or a gradient.
QImage randomPicture(pictures::Random& random, int width, int height)
{
    const std::uint64_t seed = random.next();
    switch (random.bounded(4)) {
    case 0:
        return pictures::randomImage(width, height, seed, false);
    case 1:
        return pictures::randomImage(width, height, seed, true);
    case 2: {
        QRgb palette[4];
        for (QRgb& colour : palette)
            colour = QRgb(random.next()) | (random.bounded(2) ? 0xFF000000u : 0u);
        const int block = 1 + random.bounded(6);
        const int colours = 1 + random.bounded(4);
        QImage image(width, height, QImage::Format_ARGB32);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                image.setPixel(x, y, palette[(x / block * 3 + y / block) % colours]);
        return image;
    }
    default: {
        QImage image(width, height, QImage::Format_RGB32);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                image.setPixel(x, y, qRgb(x * 6 % 256, y * 6 % 256, (x + y) * 3 % 256));
        return image;
    }
    }
}

Settings randomSettings(pictures::Random& random)
{
    static const int thresholds[] = {-3, 0, 1, 100, 127, 128, 254, 255, 256, 1000};
    Settings settings;
    settings.manual = random.bounded(2) == 1;
    settings.threshold = random.bounded(3) == 0
                             ? random.bounded(256)
                             : thresholds[random.bounded(int(std::size(thresholds)))];
    // Small and large, odd and even, and runs that wrap round the end of the stream.
    settings.seed = random.bounded(8) == 0 ? ~std::uint64_t(random.bounded(3000))
                                           : random.next() >> random.bounded(64);
    return settings;
}

bool sameWords(const QImage& a, const QImage& b)
{
    if (a.size() != b.size() || a.format() != b.format())
        return false;
    for (int y = 0; y < a.height(); ++y)
        if (std::memcmp(a.constScanLine(y), b.constScanLine(y), std::size_t(a.width()) * 4) != 0)
            return false;
    return true;
}

QString describe(const QImage& image, const Settings& settings)
{
    return QString("%1 x %2, format %3, %4 threshold %5, seed %6")
        .arg(image.width())
        .arg(image.height())
        .arg(int(image.format()))
        .arg(settings.manual ? "manual" : "automatic")
        .arg(settings.threshold)
        .arg(settings.seed);
}

// Runs the filter on the picture and checks it against the reference, the
// threshold in force and an untouched source image. Empty on success.
QString check(const Filter& filter, const QImage& picture, const Settings& settings)
{
    ImageProcessor processor;
    processor.seedRandom(settings.seed);
    processor.adoptImage(picture);
    processor.setManualThreshold(settings.manual);
    processor.setThreshold(settings.threshold);
    const QImage before = working(processor).copy();
    if (!before.isNull() && before.depth() != 32)
        return "the workspace did not hold 32-bit pixels: " + describe(before, settings);
    if (processor.effectiveThreshold() != referenceThreshold(before, settings))
        return "threshold differs: " + describe(before, settings);

    (processor.*filter.run)();
    const QImage expected = filter.reference(before, settings);
    if (!sameWords(working(processor), expected))
        return QString("%1 differs: %2").arg(filter.name, describe(before, settings));
    if (!sameWords(processor.sourceImage(), before))
        return QString("%1 changed the source image: %2")
            .arg(filter.name, describe(before, settings));
    return QString();
}

} // namespace

void TestFilterProperty::matchesReference_data()
{
    QTest::addColumn<int>("filter");
    for (int i = 0; i < int(std::size(filters)); ++i)
        QTest::newRow(filters[i].name) << i;
}

void TestFilterProperty::matchesReference()
{
    QFETCH(int, filter);
    const QList<QImage::Format> formats = pictures::decoderFormats();
    pictures::Random random(0xF117E5 + std::uint64_t(filter));
    for (int round = 0; round < 300; ++round) {
        const int width = random.bounded(41), height = random.bounded(41);
        const QImage::Format format = formats[random.bounded(formats.size())];
        const QImage picture = randomPicture(random, width, height).convertToFormat(format);
        const Settings settings = randomSettings(random);
        const QString failure = check(filters[filter], picture, settings);
        if (!failure.isEmpty())
            QFAIL(qPrintable(failure));
    }
}

void TestFilterProperty::smallShapes_data()
{
    QTest::addColumn<int>("filter");
    QTest::addColumn<QSize>("size");
    const QSize shapes[] = {{0, 0}, {1, 1}, {1, 7}, {7, 1}, {2, 2}, {2, 9}, {9, 2}, {3, 3}};
    for (int i = 0; i < int(std::size(filters)); ++i)
        for (const QSize& shape : shapes)
            QTest::addRow("%s %dx%d", filters[i].name, shape.width(), shape.height()) << i << shape;
}

void TestFilterProperty::smallShapes()
{
    QFETCH(int, filter);
    QFETCH(QSize, size);
    pictures::Random random(std::uint64_t(size.width() * 100 + size.height()));
    for (bool manual : {false, true}) {
        Settings settings;
        settings.manual = manual;
        settings.seed = random.next();
        const QImage picture =
            pictures::randomImage(size.width(), size.height(), random.next(), true);
        const QString failure = check(filters[filter], picture, settings);
        if (!failure.isEmpty())
            QFAIL(qPrintable(failure));
    }
}

QTEST_APPLESS_MAIN(TestFilterProperty)
#include "tst_filterproperty.moc"
