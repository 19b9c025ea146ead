#include "imaging/pngwriter.h"

#include "dialogs/progress.h"
#include "imaging/pixelrows.h"

#include <QIODevice>
#include <QThread>
#include <QtEndian>

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <system_error>
#include <thread>
#include <vector>

namespace png {

namespace {

using Bytes = std::vector<uchar>;

// About this much filtered data per band: large enough that what each band
// loses (a flush marker, the history of the band before it) costs little,
// small enough that the bands in flight hold a few MiB.
constexpr std::size_t bandBytes = std::size_t(1) << 20;

// Bands deflated at once, at most.
constexpr int maxThreads = 8;

// The row filters used, by their numbers in PNG.
enum Filter : uchar { None = 0, Sub = 1, Paeth = 4 };

struct Layout
{
    Kind kind;
    int width;
    int bitDepth;
    int colourType;
    int bytesPerPixel; // for the filters: at least one
    std::size_t rowBytes;
};

Layout layoutOf(Kind kind, int width)
{
    switch (kind) {
    case Kind::Mono:
        return {kind, width, 1, 0, 1, (std::size_t(width) + 7) / 8};
    case Kind::Gray:
        return {kind, width, 8, 0, 1, std::size_t(width)};
    case Kind::Rgb:
        return {kind, width, 8, 2, 3, std::size_t(width) * 3};
    case Kind::Rgba:
        break;
    }
    return {Kind::Rgba, width, 8, 6, 4, std::size_t(width) * 4};
}

// The pixels of one row in the file's own layout.
void packRow(const Layout& layout, const QRgb* line, uchar* out)
{
    const int width = layout.width;
    switch (layout.kind) {
    case Kind::Mono:
        std::fill(out, out + layout.rowBytes, uchar(0));
        for (int x = 0; x < width; ++x)
            out[x >> 3] |= uchar((line[x] & 1u) << (7 - (x & 7)));
        return;
    case Kind::Gray:
        for (int x = 0; x < width; ++x)
            out[x] = uchar(line[x]);
        return;
    case Kind::Rgb:
        for (int x = 0; x < width; ++x, out += 3) {
            out[0] = uchar(qRed(line[x]));
            out[1] = uchar(qGreen(line[x]));
            out[2] = uchar(qBlue(line[x]));
        }
        return;
    case Kind::Rgba:
        for (int x = 0; x < width; ++x, out += 4) {
            out[0] = uchar(qRed(line[x]));
            out[1] = uchar(qGreen(line[x]));
            out[2] = uchar(qBlue(line[x]));
            out[3] = uchar(qAlpha(line[x]));
        }
        return;
    }
}

int paethPredictor(int left, int up, int upLeft)
{
    const int p = left + up - upLeft;
    const int pa = std::abs(p - left), pb = std::abs(p - up), pc = std::abs(p - upLeft);
    if (pa <= pb && pa <= pc)
        return left;
    return pb <= pc ? up : upLeft;
}

// out[0] is the filter byte, out[1..] the filtered row. Only Paeth reads
// prev, the row above; the first row, which has none, takes Sub.
void filterRow(Filter filter, const uchar* row, const uchar* prev, std::size_t count, int bpp,
               uchar* out)
{
    out[0] = filter;
    uchar* to = out + 1;
    const std::size_t lead = std::min(count, std::size_t(bpp));
    switch (filter) {
    case None:
        std::copy(row, row + count, to);
        return;
    case Sub:
        std::copy(row, row + lead, to);
        for (std::size_t i = lead; i < count; ++i)
            to[i] = uchar(row[i] - row[i - bpp]);
        return;
    case Paeth:
        for (std::size_t i = 0; i < lead; ++i)
            to[i] = uchar(row[i] - prev[i]);
        for (std::size_t i = lead; i < count; ++i)
            to[i] = uchar(row[i] - paethPredictor(row[i - bpp], prev[i], prev[i - bpp]));
        return;
    }
}

// Paeth predicts photographs best of the five filters, and a fixed choice
// costs one pass per row instead of five. Black-and-white rows have
// nothing a filter could predict.
Filter filterFor(const Layout& layout, bool firstRow)
{
    if (layout.kind == Kind::Mono)
        return None;
    return firstRow ? Sub : Paeth; // Paeth over a row of zeros is Sub
}

// zlib's fastest level with matching still on: the filtered rows of a photo
// leave few long matches to find, and the files stay smaller than the usual
// default level writes unfiltered, at a fraction of its time.
constexpr int compressionLevel = 1;

// One band of rows, filtered and deflated into a piece of the zlib stream
// that ends on a byte boundary (or ends the stream, for the last band).
struct Band
{
    int top = 0;
    int bottom = 0;
    bool last = false;
    Bytes deflated;
    uLong adler = 1;
    uLong filteredBytes = 0;
    bool ok = false;
};

void deflateBand(const QImage& image, const Layout& layout, Band& band)
{
    z_stream stream{};
    if (deflateInit2(&stream, compressionLevel, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return;
    const std::size_t rowBytes = layout.rowBytes;
    const uLong raw = uLong((rowBytes + 1) * std::size_t(band.bottom - band.top));
    band.deflated.resize(deflateBound(&stream, raw) + 64);
    stream.next_out = band.deflated.data();
    stream.avail_out = uInt(band.deflated.size());
    Bytes rows(2 * rowBytes), filtered(rowBytes + 1);
    uchar* row = rows.data();
    uchar* prev = rows.data() + rowBytes;
    if (band.top > 0)
        packRow(layout, reinterpret_cast<const QRgb*>(image.constScanLine(band.top - 1)), prev);
    bool ok = true;
    for (int y = band.top; y < band.bottom && ok; ++y) {
        packRow(layout, reinterpret_cast<const QRgb*>(image.constScanLine(y)), row);
        filterRow(filterFor(layout, y == 0), row, y > 0 ? prev : nullptr, rowBytes,
                  layout.bytesPerPixel, filtered.data());
        band.adler = adler32(band.adler, filtered.data(), uInt(filtered.size()));
        stream.next_in = filtered.data();
        stream.avail_in = uInt(filtered.size());
        ok = deflate(&stream, Z_NO_FLUSH) == Z_OK && stream.avail_in == 0;
        std::swap(row, prev);
    }
    const int end = band.last ? Z_FINISH : Z_SYNC_FLUSH;
    const int done = band.last ? Z_STREAM_END : Z_OK;
    ok = ok && deflate(&stream, end) == done && stream.avail_out > 0;
    band.deflated.resize(band.deflated.size() - stream.avail_out);
    band.filteredBytes = raw;
    band.ok = ok;
    deflateEnd(&stream);
}

bool writeChunk(QIODevice* device, const char type[4], const uchar* data, std::size_t size)
{
    uchar head[8];
    qToBigEndian<quint32>(quint32(size), head);
    std::copy(type, type + 4, head + 4);
    uLong crc = crc32(0, head + 4, 4);
    if (size > 0) // zlib answers 0 for a null buffer
        crc = crc32_z(crc, data, size);
    uchar tail[4];
    qToBigEndian<quint32>(quint32(crc), tail);
    return device->write(reinterpret_cast<const char*>(head), 8) == 8 &&
           device->write(reinterpret_cast<const char*>(data), qint64(size)) == qint64(size) &&
           device->write(reinterpret_cast<const char*>(tail), 4) == 4;
}

// The resolution, in dots per metre, as Qt's own writer records it.
bool writeResolution(QIODevice* device, const QImage& image)
{
    if (image.dotsPerMeterX() <= 0 && image.dotsPerMeterY() <= 0)
        return true;
    uchar resolution[9] = {};
    qToBigEndian<quint32>(quint32(std::max(0, image.dotsPerMeterX())), resolution);
    qToBigEndian<quint32>(quint32(std::max(0, image.dotsPerMeterY())), resolution + 4);
    resolution[8] = 1; // the unit: the metre
    return writeChunk(device, "pHYs", resolution, sizeof resolution);
}

bool writeHeader(QIODevice* device, const Layout& layout, int height)
{
    static const uchar signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    uchar header[13] = {};
    qToBigEndian<quint32>(quint32(layout.width), header);
    qToBigEndian<quint32>(quint32(height), header + 4);
    header[8] = uchar(layout.bitDepth);
    header[9] = uchar(layout.colourType);
    return device->write(reinterpret_cast<const char*>(signature), 8) == 8 &&
           writeChunk(device, "IHDR", header, sizeof header);
}

// Deflates the bands of a batch side by side, one thread each.
void deflateBatch(const QImage& image, const Layout& layout, std::vector<Band>& batch)
{
    std::vector<std::thread> helpers;
    for (std::size_t i = 1; i < batch.size(); ++i) {
        try {
            helpers.emplace_back(deflateBand, std::cref(image), std::cref(layout),
                                 std::ref(batch[i]));
        } catch (const std::system_error&) {
            deflateBand(image, layout, batch[i]); // no thread to be had: here, then
        }
    }
    deflateBand(image, layout, batch[0]);
    for (std::thread& helper : helpers)
        helper.join();
}

bool writeImageData(QIODevice* device, const QImage& image, const Layout& layout,
                    ProgressReport* progress)
{
    const int height = image.height();
    const int bandRows =
        int(std::clamp<std::size_t>(bandBytes / (layout.rowBytes + 1), 1, std::size_t(height)));
    // Each band in flight holds about bandBytes of output.
    const int threads = std::clamp(QThread::idealThreadCount(), 1, maxThreads);
    // The zlib header: deflate with a 32 KiB window, no preset dictionary.
    static const uchar zlibHeader[2] = {0x78, 0x01};
    if (!writeChunk(device, "IDAT", zlibHeader, 2))
        return false;
    uLong adler = 1;
    std::vector<Band> batch;
    for (int top = 0; top < height;) {
        if (progress && !progress->proceed(double(top) / height))
            return false;
        batch.clear();
        for (int i = 0; i < threads && top < height; ++i, top += bandRows) {
            Band band;
            band.top = top;
            band.bottom = std::min(height, top + bandRows);
            band.last = band.bottom == height;
            batch.push_back(std::move(band));
        }
        deflateBatch(image, layout, batch);
        for (const Band& band : batch) {
            if (!band.ok || !writeChunk(device, "IDAT", band.deflated.data(), band.deflated.size()))
                return false;
            adler = adler32_combine(adler, band.adler, z_off_t(band.filteredBytes));
        }
    }
    if (progress && !progress->proceed(1.0))
        return false;
    uchar check[4];
    qToBigEndian<quint32>(quint32(adler), check);
    return writeChunk(device, "IDAT", check, 4) && writeChunk(device, "IEND", nullptr, 0);
}

} // namespace

Kind kindOf(const QImage& source)
{
    const QImage image = workingPixels(source);
    const bool opaqueFormat = image.format() == QImage::Format_RGB32;
    bool gray = true, mono = true;
    const int width = image.width(), height = image.height();
    for (int y = 0; y < height; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            const QRgb pixel = opaqueFormat ? line[x] | 0xFF000000u : line[x];
            if (qAlpha(pixel) != 255)
                return Kind::Rgba;
            const QRgb colour = pixel & 0xFFFFFFu;
            if (colour != (colour & 0xFFu) * 0x010101u) {
                if (opaqueFormat)
                    return Kind::Rgb;
                gray = false;
            } else if (colour != 0 && colour != 0xFFFFFFu)
                mono = false;
        }
    }
    return !gray ? Kind::Rgb : (mono ? Kind::Mono : Kind::Gray);
}

bool write(const QImage& source, QIODevice* device, ProgressReport* progress)
{
    const QImage image = workingPixels(source);
    if (image.isNull() || !device)
        return false;
    const Layout layout = layoutOf(kindOf(image), image.width());
    return writeHeader(device, layout, image.height()) && writeResolution(device, image) &&
           writeImageData(device, image, layout, progress);
}

} // namespace png
