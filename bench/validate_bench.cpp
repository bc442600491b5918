// Overlap detection on one tile of 600,000 shuffled one-byte segments, against sorting the
// same address pairs.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "fixtures.hpp"

namespace vexa_package::bench {
namespace {

const Application& application() {
    static const Application segments = shuffled_segments_application();
    return segments;
}

void segments_validate(benchmark::State& state) {
    if (!application().validate()) {
        fail("shuffled segments do not validate");
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(application().validate());
    }
}

void segments_sort(benchmark::State& state) {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> pairs;
    for (const Segment& segment : application().tiles.front().segments) {
        pairs.emplace_back(segment.address, segment.address + segment.memory_size);
    }
    for (auto _ : state) {
        // A fresh unsorted copy each time, as validation gathers its own pairs.
        auto sorted = pairs;
        std::sort(sorted.begin(), sorted.end());
        benchmark::DoNotOptimize(sorted.data());
    }
}

BENCHMARK(segments_validate)->Name("segments/validate")->Unit(benchmark::kMillisecond);
BENCHMARK(segments_sort)->Name("segments/sort")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vexa_package::bench
