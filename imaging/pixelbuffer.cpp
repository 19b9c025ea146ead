#include "imaging/pixelbuffer.h"

#include <QPixelFormat>

#include <cstdlib>
#include <limits>
#include <mutex>
#include <new>
#include <vector>

#if defined(Q_OS_LINUX)
#include <sys/mman.h>
#endif

#if defined(__SANITIZE_ADDRESS__)
#define TAVO_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TAVO_ADDRESS_SANITIZER 1
#endif
#endif

#if defined(TAVO_ADDRESS_SANITIZER)
#include <sanitizer/asan_interface.h>
#endif

namespace {

constexpr std::size_t hugePageBytes = std::size_t(2) << 20;
// Below this a picture is cheap to fault in; Qt's own allocation serves it.
constexpr qint64 smallPictureBytes = qint64(hugePageBytes);
// Spares are bounded so that an idle workspace holds little extra memory.
constexpr int maxSpareBuffers = 2;
constexpr qint64 maxSpareBytes = qint64(512) << 20;

struct Buffer
{
    uchar* data;
    std::size_t capacity;
};

// Bytes a picture may not touch are poisoned, so the sanitizer build still
// catches overruns into the rounded-up tail and use of a recycled buffer.
void poison(uchar* data, std::size_t bytes)
{
#if defined(TAVO_ADDRESS_SANITIZER)
    ASAN_POISON_MEMORY_REGION(data, bytes);
#else
    Q_UNUSED(data);
    Q_UNUSED(bytes);
#endif
}

void unpoison(uchar* data, std::size_t bytes)
{
#if defined(TAVO_ADDRESS_SANITIZER)
    ASAN_UNPOISON_MEMORY_REGION(data, bytes);
#else
    Q_UNUSED(data);
    Q_UNUSED(bytes);
#endif
}

struct SparePool
{
    std::mutex mutex;
    std::vector<Buffer*> buffers; // oldest first
    qint64 bytes = 0;
};

// Never destroyed: a picture may be released during static destruction.
SparePool& spares()
{
    static SparePool* pool = new SparePool;
    return *pool;
}

std::size_t roundUpToHugePage(std::size_t bytes)
{
    return (bytes + hugePageBytes - 1) / hugePageBytes * hugePageBytes;
}

void freeBuffer(Buffer* buffer)
{
    std::free(buffer->data);
    delete buffer;
}

Buffer* allocateBuffer(std::size_t bytes)
{
    const std::size_t capacity = roundUpToHugePage(bytes);
#if defined(Q_OS_LINUX) && defined(MADV_HUGEPAGE)
    // Aligned and whole huge pages, so the advice can take effect before the
    // first touch; a refusal only costs speed.
    auto* data = static_cast<uchar*>(std::aligned_alloc(hugePageBytes, capacity));
    if (data)
        madvise(data, capacity, MADV_HUGEPAGE);
#else
    auto* data = static_cast<uchar*>(std::malloc(capacity));
#endif
    if (!data)
        return nullptr;
    auto* buffer = new (std::nothrow) Buffer{data, capacity};
    if (!buffer) {
        std::free(data);
        return nullptr;
    }
    poison(data + bytes, capacity - bytes);
    return buffer;
}

// The smallest spare that holds the picture without wasting more than it uses.
Buffer* takeSpare(std::size_t bytes)
{
    SparePool& pool = spares();
    Buffer* found = nullptr;
    {
        std::lock_guard<std::mutex> lock(pool.mutex);
        auto best = pool.buffers.end();
        for (auto it = pool.buffers.begin(); it != pool.buffers.end(); ++it) {
            const std::size_t capacity = (*it)->capacity;
            if (capacity < bytes || capacity > 2 * roundUpToHugePage(bytes))
                continue;
            if (best == pool.buffers.end() || capacity < (*best)->capacity)
                best = it;
        }
        if (best == pool.buffers.end())
            return nullptr;
        found = *best;
        pool.buffers.erase(best);
        pool.bytes -= qint64(found->capacity);
    }
    unpoison(found->data, bytes);
    return found;
}

void releaseBuffer(void* info)
{
    auto* buffer = static_cast<Buffer*>(info);
    if (qint64(buffer->capacity) > maxSpareBytes) {
        freeBuffer(buffer);
        return;
    }
    poison(buffer->data, buffer->capacity);
    std::vector<Buffer*> evicted;
    {
        SparePool& pool = spares();
        std::lock_guard<std::mutex> lock(pool.mutex);
        pool.buffers.push_back(buffer);
        pool.bytes += qint64(buffer->capacity);
        while (int(pool.buffers.size()) > maxSpareBuffers || pool.bytes > maxSpareBytes) {
            evicted.push_back(pool.buffers.front());
            pool.bytes -= qint64(pool.buffers.front()->capacity);
            pool.buffers.erase(pool.buffers.begin());
        }
    }
    for (Buffer* old : evicted)
        freeBuffer(old);
}

} // namespace

QImage newPicture(int width, int height, QImage::Format format)
{
    if (width <= 0 || height <= 0 || format == QImage::Format_Invalid)
        return QImage();
    const int depth = QImage::toPixelFormat(format).bitsPerPixel();
    const qint64 bytesPerLine = (qint64(width) * depth + 31) / 32 * 4;
    if (bytesPerLine > std::numeric_limits<int>::max())
        return QImage();
    const qint64 bytes = bytesPerLine * height;
    if (bytes < smallPictureBytes)
        return QImage(width, height, format); // null when Qt cannot allocate it

    Buffer* buffer = takeSpare(std::size_t(bytes));
    if (!buffer)
        buffer = allocateBuffer(std::size_t(bytes));
    if (!buffer)
        return QImage();
    QImage picture(buffer->data, width, height, int(bytesPerLine), format, releaseBuffer, buffer);
    // Qt calls the cleanup only for a picture it accepted.
    if (picture.isNull())
        releaseBuffer(buffer);
    return picture;
}

void releaseSparePixelBuffers()
{
    std::vector<Buffer*> released;
    {
        SparePool& pool = spares();
        std::lock_guard<std::mutex> lock(pool.mutex);
        released.swap(pool.buffers);
        pool.bytes = 0;
    }
    for (Buffer* buffer : released)
        freeBuffer(buffer);
}

qint64 sparePixelBufferBytes()
{
    SparePool& pool = spares();
    std::lock_guard<std::mutex> lock(pool.mutex);
    return pool.bytes;
}
