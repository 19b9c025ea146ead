// The eight picture filters on a 24-megapixel photo-like picture, against
// the two floors they are judged by: a copy between buffers already touched
// (work done in place) and a copy into a fresh buffer (work that must make a
// new picture).
//
// Each iteration filters the whole picture once. The input is restored
// outside the timed region by copying the photo's bytes back into the same,
// already touched and unshared buffer, so neither a fresh allocation nor a
// copy-on-write detach is measured.

#include "photo.h"

#include "imaging/imageprocessor.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

namespace {

const QImage& photo()
{
    static const QImage picture = photoLikePicture();
    return picture;
}

std::size_t photoBytes()
{
    return std::size_t(photo().sizeInBytes());
}

void countPixels(benchmark::State& state)
{
    const double pixels = double(photo().width()) * photo().height();
    state.counters["pixels per second"] =
        benchmark::Counter(pixels * double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_Memcpy(benchmark::State& state)
{
    std::vector<uchar> target(photoBytes(), 0);
    std::vector<uchar> source(photo().constBits(), photo().constBits() + photoBytes());
    for (auto _ : state) {
        std::memcpy(target.data(), source.data(), source.size());
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    countPixels(state);
}

void BM_MemcpyFresh(benchmark::State& state)
{
    std::vector<uchar> source(photo().constBits(), photo().constBits() + photoBytes());
    std::unique_ptr<uchar[]> fresh;
    for (auto _ : state) {
        // The previous copy is released untimed, as a replaced picture would be.
        state.PauseTiming();
        fresh.reset();
        state.ResumeTiming();
        // Left uninitialised on purpose: the copy is the first touch.
        fresh.reset(new uchar[source.size()]);
        std::memcpy(fresh.get(), source.data(), source.size());
        benchmark::DoNotOptimize(fresh.get());
        benchmark::ClobberMemory();
    }
    countPixels(state);
}

void runFilter(benchmark::State& state, void (ImageProcessor::*filter)())
{
    ImageProcessor processor;
    processor.adoptImage(photo());
    QImage& working = *processor.workingImage();
    uchar* bits = working.bits(); // detaches from the photo once, here
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(bits, photo().constBits(), photoBytes());
        state.ResumeTiming();
        (processor.*filter)();
        benchmark::ClobberMemory();
    }
    if (working.constBits() != bits)
        state.SkipWithError("the filter replaced the working picture's buffer");
    countPixels(state);
}

void BM_Gray(benchmark::State& state)
{
    runFilter(state, &ImageProcessor::grayImage);
}

void BM_Binary(benchmark::State& state)
{
    runFilter(state, &ImageProcessor::binaryImage); // automatic threshold: the mean is included
}

void BM_Dither(benchmark::State& state)
{
    runFilter(state, &ImageProcessor::ditherImage);
}

void BM_Inverse(benchmark::State& state)
{
    runFilter(state, &ImageProcessor::inverseImage);
}

void BM_Relief(benchmark::State& state)
{
    runFilter(state, &ImageProcessor::reliefImage);
}

void BM_Pulverize(benchmark::State& state)
{
    runFilter(state, &ImageProcessor::pulverizeImage);
}

void BM_Outline(benchmark::State& state)
{
    runFilter(state, &ImageProcessor::outlineImage);
}

void BM_Soften(benchmark::State& state)
{
    runFilter(state, &ImageProcessor::softenImage);
}

} // namespace

BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MemcpyFresh)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Gray)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Binary)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Dither)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Inverse)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Relief)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Pulverize)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Outline)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Soften)->Unit(benchmark::kMillisecond)->UseRealTime();
