// Crop and rotate on the 24-megapixel photo-like picture. Both must make a new
// picture, so they are judged against BM_MemcpyFresh, the copy of the same
// bytes into a freshly allocated buffer.
//
// Each iteration crops or rotates the whole picture once. The workspace is
// restored outside the timed region by adopting the photo again, which also
// frees the previous result, so every result lands in a new buffer.

#include "photo.h"

#include "imaging/imageprocessor.h"

#include <benchmark/benchmark.h>

namespace {

const QImage& photo()
{
    static const QImage picture = photoLikePicture();
    return picture;
}

void runGeometry(benchmark::State& state, void (*operation)(ImageProcessor&))
{
    ImageProcessor processor;
    for (auto _ : state) {
        state.PauseTiming();
        processor.adoptImage(photo());
        state.ResumeTiming();
        operation(processor);
        benchmark::DoNotOptimize(processor.workingImage()->constBits());
        benchmark::ClobberMemory();
    }
    if (processor.workingImage()->isNull())
        state.SkipWithError("the operation left no picture");
    const double pixels = double(photo().width()) * photo().height();
    state.counters["pixels per second"] =
        benchmark::Counter(pixels * double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_Rotate(benchmark::State& state)
{
    runGeometry(state, [](ImageProcessor& processor) { processor.rotateImage(); });
}

void BM_Crop(benchmark::State& state)
{
    runGeometry(state, [](ImageProcessor& processor) { processor.cropImage(5000, 3000); });
}

// The first filter after Open, Reset or a zoom step: the working picture
// still shares its pixels with the source, so it must first get its own.
void BM_FirstFilterAfterOpen(benchmark::State& state)
{
    runGeometry(state, [](ImageProcessor& processor) { processor.inverseImage(); });
}

} // namespace

BENCHMARK(BM_FirstFilterAfterOpen)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Rotate)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Crop)->Unit(benchmark::kMillisecond)->UseRealTime();
