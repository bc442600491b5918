// Where the time of a run went, per tile, from a stored profile report: the report streams
// through `visit_profile`, each sample is placed on the device timeline, and per tile the
// first start, the last end and the busy cycles are kept; nothing else is held.
//
//   profile_timeline REPORT.vxprof   reads a stored report
//   profile_timeline                 uses a small report made here, whose counters wrap
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>

#include "vexa_package/vexa_package.hpp"

namespace {

using namespace vexa_package;

struct TileTimes {
    std::uint64_t first_start = UINT64_MAX;
    std::uint64_t last_end = 0;
    std::uint64_t busy = 0;
};

class TileTimesVisitor final : public ProfileVisitor {
  public:
    void tile(const TileProfileView& tile) override {
        timeline.tile(tile);
        physical_tile_ = tile.physical_tile;
    }
    void sample(const CycleSampleView& sample) override {
        // Every sample is placed, also those not counted, so all tiles share one time axis.
        const TimelinePlace place = timeline.place(sample);
        TileTimes& times = tiles[physical_tile_];
        times.first_start = std::min(times.first_start, place.start);
        times.last_end = std::max(times.last_end, place.end);
        if (sample.kind != ProfileStepKind::Idle) {
            times.busy += place.end - place.start;
        }
    }

    CycleTimeline timeline;
    std::map<std::uint32_t, TileTimes> tiles;

  private:
    std::uint32_t physical_tile_ = 0;
};

// Two tiles at 1 GHz: tile 0 runs across a wrap of its 32-bit counter and lists one sample
// out of order; tile 1 starts after tile 0's counter wrapped.
Bytes small_report() {
    const auto sample = [](std::uint32_t start, std::uint32_t cycles, ProfileStepKind kind) {
        return CycleSample{
            .step = {.operation = "matmul", .kind = kind, .kernel = "gemm", .metadata = {}},
            .start_cycle = start,
            .end_cycle = start + cycles};
    };
    const ProfileReport report{
        .clock_hz = 1'000'000'000,
        .tiles = {TileProfile{.physical_tile = 0,
                              .samples = {sample(0xfff00000, 0x80000, ProfileStepKind::Compute),
                                          sample(0x00100000, 0x1000, ProfileStepKind::Exchange),
                                          sample(0xfff90000, 0x100, ProfileStepKind::Idle)}},
                  TileProfile{.physical_tile = 1,
                              .samples = {sample(0x00200000, 0x4000, ProfileStepKind::Compute)}}},
    };
    Bytes bytes;
    // Writing into memory cannot fail.
    (void)report.write(bytes);
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    Bytes bytes;
    if (argc > 1) {
        std::ifstream file(argv[1], std::ios::binary);
        if (!file) {
            std::cerr << "cannot open " << argv[1] << '\n';
            return 1;
        }
        bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    } else {
        bytes = small_report();
    }
    TileTimesVisitor visitor;
    if (auto read = visit_profile(bytes, visitor); !read) {
        std::cerr << read.error() << '\n';
        return 1;
    }
    for (const auto& [tile, times] : visitor.tiles) {
        if (times.first_start == UINT64_MAX) {
            std::printf("tile %u: no samples\n", tile);
            continue;
        }
        std::printf("tile %u: cycles %llu to %llu on the device timeline, %llu busy\n", tile,
                    static_cast<unsigned long long>(times.first_start),
                    static_cast<unsigned long long>(times.last_end),
                    static_cast<unsigned long long>(times.busy));
    }
    const TimelineAnomalies& anomalies = visitor.timeline.anomalies();
    if (anomalies.backwards.count != 0) {
        std::printf("samples listed out of order: %llu, the first on tile %u\n",
                    static_cast<unsigned long long>(anomalies.backwards.count),
                    anomalies.backwards.physical_tile);
    }
    if (anomalies.ambiguous.count != 0 || anomalies.out_of_range.count != 0) {
        std::printf("some samples could not be placed with confidence\n");
    }
    return 0;
}
