// What taking a file's levels as it is written costs the download: LevelMeter::add over a
// record's frames, as the worker feeds it, against the time the record takes on the line.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "download/ChannelLevels.h"
#include "tools/blocksim/BlockSetup.h"
#include "tools/blocksim/SampleGenerator.h"

namespace {

// The benchmark's batch-mode record: 20 s at 21362 samples per second, each block's copy
// 854480 bytes, which the line (460800 baud, 8N1: 46080 bytes/s) moves in 18.54 s.
constexpr std::uint32_t kChannelBytes = 21362 * 20 * 2;
constexpr double kLineBytesPerSecond = 46080.0;
// The worker writes a group of up to 20 pairs of 512-byte sectors at a time.
constexpr std::size_t kGroupBytes = 20 * 2 * 512;

std::vector<std::uint8_t> recordFrames(kelvra::blocksim::SampleShape shape) {
    kelvra::blocksim::BlockSetup a;
    a.serialNumber = 42;
    kelvra::blocksim::BlockSetup b;
    b.serialNumber = 43;
    std::vector<std::uint8_t> left(kChannelBytes);
    std::vector<std::uint8_t> right(kChannelBytes);
    kelvra::blocksim::fillRecordBytes(a, 5, 0, 0, left.data(), left.size(), 0, shape);
    kelvra::blocksim::fillRecordBytes(b, 9, 0, 0, right.data(), right.size(), 0, shape);
    std::vector<std::uint8_t> frames;
    frames.reserve(2 * std::size_t{kChannelBytes});
    for (std::size_t k = 0; k + 1 < kChannelBytes; k += 2) {
        frames.insert(frames.end(), {left[k], left[k + 1], right[k], right[k + 1]});
    }
    return frames;
}

void levelsOfARecord(benchmark::State& state) {
    const auto frames = recordFrames(static_cast<kelvra::blocksim::SampleShape>(state.range(0)));
    for (auto _ : state) {
        kelvra::LevelMeter meter;
        for (std::size_t at = 0; at < frames.size(); at += kGroupBytes) {
            meter.add(frames.data() + at, std::min(kGroupBytes, frames.size() - at));
        }
        benchmark::DoNotOptimize(meter.levels(0, true));
        benchmark::DoNotOptimize(meter.levels(1, true));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(frames.size()));
    // The meter's time per record over the record's line time: the share of one core it takes
    // while the download runs.
    state.counters["core_share"] = benchmark::Counter(
        kChannelBytes / kLineBytesPerSecond,
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

}  // namespace

// Tone, zero and clipped samples: the meter's work is the same for each, branches aside.
BENCHMARK(levelsOfARecord)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
