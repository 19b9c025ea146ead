// The three G-code writers on the 24-megapixel photo-like picture, against
// the floor they are judged by: the same number of bytes written from one
// large buffer through the same kind of file (QSaveFile in the same folder,
// synced and renamed on commit).
//
// Laser Line gets the picture after Dither, so its rows hold many short runs;
// Laser Dots gets the photo with Ignored Threshold 0, so every pixel is a dot
// (about 48 million lines); CNC Line gets the photo, where nearly every pixel
// changes the depth. Files go to $TAVO_BENCH_DIR, else the system's temporary
// folder: keep it on the disk the floor is measured on.
//
// Counters: bytes_per_second (the rate to compare), file_MiB, and
// peak_rss_MiB, the growth of the peak resident memory while writing (the
// pictures are resident before, the page cache does not count).
//
// Disk writes on a shared machine vary a lot from run to run; run with
// --benchmark_repetitions and compare the "min" times (the best each one
// managed), from which best rate = file_MiB / min time.

#include "photo.h"

#include "gcode/gcodegenerator.h"
#include "imaging/imageprocessor.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

const QImage& photo()
{
    static const QImage picture = photoLikePicture();
    return picture;
}

const QImage& ditheredPhoto()
{
    static const QImage picture = [] {
        ImageProcessor processor;
        processor.adoptImage(photo());
        processor.ditherImage();
        return *processor.workingImage();
    }();
    return picture;
}

struct Job
{
    int type;
    std::array<QString, 5> values;
    const QImage& (*picture)();
    FirmwareSettings firmware = FirmwareSettings();
};

// The GRBL jobs engrave with 2 mm of overscan, as a user of a fast machine
// would.
const FirmwareSettings grbl{Firmware::Grbl, 1000, 2.0, false};
const Job jobs[6] = {
    {LaserLine, {"0.16", "100", "500", "1000", "20"}, ditheredPhoto},
    {LaserDots, {"0.16", "0", "0.4", "100", "20"}, photo},
    {CncLine, {"0.16", "100", "40", "1", "500"}, photo},
    {LaserLine, {"0.16", "100", "500", "1000", "20"}, ditheredPhoto, grbl},
    {LaserDots, {"0.16", "0", "0.4", "100", "20"}, photo, grbl},
    {CncLine, {"0.16", "100", "40", "1", "500"}, photo, grbl},
};

QString benchFolder()
{
    const QByteArray folder = qgetenv("TAVO_BENCH_DIR");
    return folder.isEmpty() ? QDir::tempPath() : QString::fromLocal8Bit(folder);
}

// Size of each writer's file, learnt from its first run.
qint64 outputBytes[6] = {0, 0, 0, 0, 0, 0};

double statusMiB(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0)
            return std::stod(line.substr(std::strlen(field))) / 1024.0;
    return 0.0;
}

// Lets VmHWM start again from the current resident size (Linux 4.0 and later).
void resetPeakMemory()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

bool generateOnce(GcodeGenerator& generator, int index, const QString& path)
{
    QImage picture = jobs[index].picture();
    generator.setImage(&picture);
    generator.paramValues = jobs[index].values;
    generator.firmware = jobs[index].firmware;
    return generator.generate(jobs[index].type, path);
}

void runWriter(benchmark::State& state, int index)
{
    QTemporaryDir dir(benchFolder() + "/tavo-bench-XXXXXX");
    const QString path = dir.filePath("out.gcode");
    QImage picture = jobs[index].picture();
    GcodeGenerator generator(&picture);
    generator.paramValues = jobs[index].values;
    generator.firmware = jobs[index].firmware;

    resetPeakMemory();
    const double residentBefore = statusMiB("VmRSS:");
    qint64 bytes = 0;
    for (auto _ : state) {
        if (!generator.generate(jobs[index].type, path)) {
            state.SkipWithError("the file could not be written");
            return;
        }
        state.PauseTiming();
        const qint64 size = QFileInfo(path).size();
        bytes += size;
        outputBytes[index] = size;
        QFile::remove(path);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(bytes);
    state.counters["file_MiB"] = double(outputBytes[index]) / (1 << 20);
    state.counters["peak_rss_MiB"] = statusMiB("VmHWM:") - residentBefore;
}

void BM_LaserLine(benchmark::State& state)
{
    runWriter(state, 0);
}

void BM_LaserDots(benchmark::State& state)
{
    runWriter(state, 1);
}

void BM_CncLine(benchmark::State& state)
{
    runWriter(state, 2);
}

void BM_LaserLineGrbl(benchmark::State& state)
{
    runWriter(state, 3);
}

void BM_LaserDotsGrbl(benchmark::State& state)
{
    runWriter(state, 4);
}

void BM_CncLineGrbl(benchmark::State& state)
{
    runWriter(state, 5);
}

// The floor: the writer's number of bytes, in chunks from one large buffer of
// G-code-like text, through QSaveFile with its commit.
void BM_RawWrite(benchmark::State& state, int index)
{
    QTemporaryDir dir(benchFolder() + "/tavo-bench-XXXXXX");
    const QString path = dir.filePath("raw.gcode");
    if (outputBytes[index] == 0) {
        GcodeGenerator generator;
        if (!generateOnce(generator, index, path)) {
            state.SkipWithError("the writer's file could not be written");
            return;
        }
        outputBytes[index] = QFileInfo(path).size();
        QFile::remove(path);
    }
    const qint64 total = outputBytes[index];
    const qint64 chunk = qint64(1) << 20;
    std::vector<char> buffer(std::size_t(64) << 20);
    const char line[] = "G1 X-123.45 Y67.89 F1000\r\nM106 S42\r\n";
    for (std::size_t i = 0; i < buffer.size(); ++i)
        buffer[i] = line[i % (sizeof line - 1)];

    qint64 bytes = 0;
    for (auto _ : state) {
        QSaveFile file(path);
        bool ok = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
        qint64 offset = 0;
        for (qint64 done = 0; ok && done < total; done += chunk) {
            const qint64 size = qMin(chunk, total - done);
            if (offset + size > qint64(buffer.size()))
                offset = 0;
            ok = file.write(buffer.data() + offset, size) == size;
            offset += size;
        }
        if (!ok || !file.commit()) {
            state.SkipWithError("the file could not be written");
            return;
        }
        state.PauseTiming();
        bytes += total;
        QFile::remove(path);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(bytes);
    state.counters["file_MiB"] = double(total) / (1 << 20);
}

} // namespace

namespace {

double smallest(const std::vector<double>& values)
{
    return values.empty() ? 0.0 : *std::min_element(values.begin(), values.end());
}

void configure(benchmark::internal::Benchmark* benchmark)
{
    benchmark->Unit(benchmark::kMillisecond)->UseRealTime()->ComputeStatistics("min", smallest);
}

} // namespace

BENCHMARK(BM_LaserLine)->Apply(configure);
BENCHMARK_CAPTURE(BM_RawWrite, LaserLine, 0)->Apply(configure);
BENCHMARK(BM_LaserDots)->Apply(configure);
BENCHMARK_CAPTURE(BM_RawWrite, LaserDots, 1)->Apply(configure);
BENCHMARK(BM_CncLine)->Apply(configure);
BENCHMARK_CAPTURE(BM_RawWrite, CncLine, 2)->Apply(configure);
BENCHMARK(BM_LaserLineGrbl)->Apply(configure);
BENCHMARK_CAPTURE(BM_RawWrite, LaserLineGrbl, 3)->Apply(configure);
BENCHMARK(BM_LaserDotsGrbl)->Apply(configure);
BENCHMARK_CAPTURE(BM_RawWrite, LaserDotsGrbl, 4)->Apply(configure);
BENCHMARK(BM_CncLineGrbl)->Apply(configure);
BENCHMARK_CAPTURE(BM_RawWrite, CncLineGrbl, 5)->Apply(configure);
