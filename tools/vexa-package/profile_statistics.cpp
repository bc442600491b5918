#include "profile_statistics.hpp"

#include <algorithm>
#include <string_view>
#include <unordered_map>

#include "profile_timeline.hpp"

namespace vexa_cli {
namespace {

using Tally = std::unordered_map<std::string_view, NamedCycles>;

void count(Tally& tally, std::string_view name, std::uint32_t cycles) {
    NamedCycles& entry = tally[name];
    ++entry.samples;
    entry.cycles += cycles;
}

std::vector<NamedCycles> ranked(const Tally& tally) {
    std::vector<NamedCycles> entries;
    entries.reserve(tally.size());
    for (const auto& [name, entry] : tally) {
        entries.push_back(
            {.name = std::string(name), .samples = entry.samples, .cycles = entry.cycles});
    }
    std::ranges::sort(entries, [](const NamedCycles& a, const NamedCycles& b) {
        return a.cycles != b.cycles ? a.cycles > b.cycles : a.name < b.name;
    });
    return entries;
}

}  // namespace

ProfileStatistics profile_statistics(const vexa_package::ProfileReport& report) {
    ProfileStatistics statistics{.clock_hz = report.clock_hz};
    Tally kernels;
    Tally operations;
    std::optional<std::uint64_t> earliest;
    std::uint64_t latest = 0;
    // Sums of 32-bit durations stay far below 2^64 for any report that fits in memory.
    for (const vexa_package::TileProfile& tile : report.tiles) {
        TileStatistics figures{.physical_tile = tile.physical_tile, .samples = tile.samples.size()};
        for_each_placed(tile, [&](const vexa_package::CycleSample& sample, PlacedSample placed) {
            const std::uint32_t cycles = sample_cycles(sample);
            figures.kind_cycles[kind_index(sample.step.kind)] += cycles;
            figures.cycles += cycles;
            figures.first_start =
                std::min(figures.first_start.value_or(placed.start), placed.start);
            figures.last_end = std::max(figures.last_end, placed.end);
            count(kernels, sample.step.kernel, cycles);
            count(operations, sample.step.operation, cycles);
        });
        if (figures.first_start) {
            earliest = std::min(earliest.value_or(*figures.first_start), *figures.first_start);
            latest = std::max(latest, figures.last_end);
        }
        statistics.samples += figures.samples;
        statistics.cycles += figures.cycles;
        for (std::size_t kind = 0; kind < STEP_KINDS.size(); ++kind) {
            statistics.kind_cycles[kind] += figures.kind_cycles[kind];
        }
        statistics.tiles.push_back(figures);
    }
    statistics.covered = earliest ? latest - *earliest : 0;
    statistics.kernels = ranked(kernels);
    statistics.operations = ranked(operations);
    return statistics;
}

}  // namespace vexa_cli
