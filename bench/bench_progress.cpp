// What progress reporting costs: Save, Open and a G-code file of the
// 24-megapixel photo-like picture without a report (/0) and with one that
// counts its calls and never stops (/1). The ratio of the two times is the
// cost; calls is how often the work asked.
#include "photo.h"

#include "dialogs/progress.h"
#include "gcode/gcodegenerator.h"
#include "imaging/imageprocessor.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

class Counting final : public ProgressReport
{
public:
    long calls = 0;

protected:
    bool report(double) override
    {
        ++calls;
        return true;
    }
};

const QImage& picture()
{
    static const QImage photo = photoLikePicture();
    return photo;
}

QString folder()
{
    static QTemporaryDir dir(qEnvironmentVariable("TAVO_BENCH_DIR", QDir::tempPath()) +
                             "/tavo-bench-XXXXXX");
    return dir.path();
}

void finish(benchmark::State& state, bool ok, const Counting& counting)
{
    if (!ok)
        state.SkipWithError("the work failed");
    state.counters["calls"] = double(counting.calls);
}

void BM_ProgressSave(benchmark::State& state, const char* suffix)
{
    ImageProcessor processor;
    processor.adoptImage(picture());
    const QString path = folder() + "/progress-save." + suffix;
    Counting counting;
    bool ok = true;
    for (auto _ : state)
        ok &= processor.saveImage(path, state.range(0) ? &counting : nullptr);
    finish(state, ok, counting);
}

void BM_ProgressLoad(benchmark::State& state, const char* suffix)
{
    const QString path = folder() + "/progress-load." + suffix;
    if (!QFileInfo::exists(path) && !picture().save(path))
        state.SkipWithError("the input could not be written");
    Counting counting;
    bool ok = true;
    for (auto _ : state) {
        ImageProcessor processor;
        ok &= processor.loadImage(path, state.range(0) ? &counting : nullptr);
    }
    finish(state, ok, counting);
}

void BM_ProgressCncLine(benchmark::State& state)
{
    QImage photo = picture();
    GcodeGenerator generator(&photo);
    generator.paramValues = {"0.16", "100", "40", "1", "500"};
    const QString path = folder() + "/progress.gcode";
    Counting counting;
    bool ok = true;
    for (auto _ : state)
        ok &= generator.generate(CncLine, path, state.range(0) ? &counting : nullptr);
    finish(state, ok, counting);
}

void configure(benchmark::internal::Benchmark* benchmark)
{
    benchmark->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
}

} // namespace

BENCHMARK_CAPTURE(BM_ProgressSave, png, "png")->Apply(configure);
BENCHMARK_CAPTURE(BM_ProgressSave, bmp, "bmp")->Apply(configure);
BENCHMARK_CAPTURE(BM_ProgressSave, jpeg, "jpg")->Apply(configure);
BENCHMARK_CAPTURE(BM_ProgressLoad, png, "png")->Apply(configure);
BENCHMARK_CAPTURE(BM_ProgressLoad, jpeg, "jpg")->Apply(configure);
BENCHMARK(BM_ProgressCncLine)->Apply(configure);
