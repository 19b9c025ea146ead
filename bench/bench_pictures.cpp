// Picture files: Open and Save of the 24-megapixel photo-like picture in the
// three common formats, and the PNG writer against Qt's own on the same gray
// pixels.
//
// BM_SavePng and BM_SavePngQt encode into memory, so only the encoders
// differ. BM_Load and BM_Save go through ImageProcessor::loadImage and
// saveImage with files in $TAVO_BENCH_DIR, else the system's temporary
// folder: they include fresh picture memory and the file system, as Open
// and Save in the window do.
//
// Counters: file_MiB, the size written or read.

#include "photo.h"

#include "imaging/imageprocessor.h"
#include "imaging/pngwriter.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

const QImage& grayPhoto()
{
    static const QImage picture = [] {
        ImageProcessor processor;
        processor.adoptImage(photoLikePicture());
        processor.grayImage();
        return *processor.workingImage();
    }();
    return picture;
}

const QImage& colourPhoto()
{
    static const QImage picture = photoLikePicture();
    return picture;
}

QString benchFolder()
{
    static QTemporaryDir dir(qEnvironmentVariable("TAVO_BENCH_DIR", QDir::tempPath()) +
                             "/tavo-bench-XXXXXX");
    return dir.path();
}

void countFile(benchmark::State& state, double bytes)
{
    state.counters["file_MiB"] = bytes / (1 << 20);
}

void encode(benchmark::State& state, bool qt)
{
    QByteArray bytes;
    for (auto _ : state) {
        bytes.clear();
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        const bool ok = qt ? grayPhoto().save(&buffer, "PNG") : png::write(grayPhoto(), &buffer);
        if (!ok)
            state.SkipWithError("the PNG could not be written");
        benchmark::DoNotOptimize(bytes.data());
    }
    countFile(state, bytes.size());
}

void BM_SavePng(benchmark::State& state)
{
    encode(state, false);
}

void BM_SavePngQt(benchmark::State& state)
{
    encode(state, true);
}

void BM_Save(benchmark::State& state, const char* suffix)
{
    ImageProcessor processor;
    processor.adoptImage(colourPhoto());
    const QString path = benchFolder() + "/save." + suffix;
    for (auto _ : state) {
        if (!processor.saveImage(path))
            state.SkipWithError("the picture could not be saved");
    }
    countFile(state, double(QFileInfo(path).size()));
}

void BM_Load(benchmark::State& state, const char* suffix)
{
    const QString path = benchFolder() + "/load." + suffix;
    if (!QFileInfo::exists(path) && !colourPhoto().save(path)) {
        state.SkipWithError("the input could not be written");
        return;
    }
    for (auto _ : state) {
        ImageProcessor processor;
        if (!processor.loadImage(path))
            state.SkipWithError("the picture could not be loaded");
        benchmark::DoNotOptimize(processor.workingImage()->constBits());
        state.PauseTiming(); // freeing it is not part of Open
        processor.adoptImage(QImage());
        state.ResumeTiming();
    }
    countFile(state, double(QFileInfo(path).size()));
}

} // namespace

BENCHMARK(BM_SavePng)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SavePngQt)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Load, jpeg, "jpg")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Load, png, "png")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Load, bmp, "bmp")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Save, jpeg, "jpg")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Save, png, "png")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Save, bmp, "bmp")->Unit(benchmark::kMillisecond)->UseRealTime();
