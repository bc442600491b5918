#include "profile/profile_statistics.hpp"

#include <algorithm>

#include "profile/percentiles.hpp"
#include "profile/profile_timeline.hpp"

namespace vexa_cli {

std::uint64_t TileStatistics::busy_cycles() const {
    return cycles - kind_cycles[kind_index(vexa_package::ProfileStepKind::Idle)];
}

void StatisticsCollector::on_header(const vexa_package::ProfileHeaderView& header) {
    statistics_.clock_hz = header.clock_hz;
}

void StatisticsCollector::on_tile(const vexa_package::TileProfileView& tile) {
    statistics_.tiles.push_back({.physical_tile = tile.physical_tile});
}

void StatisticsCollector::on_sample(const KeptSample& kept) {
    // Sums of 32-bit durations stay far below 2^64 for any report that fits in memory.
    TileStatistics& tile = statistics_.tiles.back();
    ++tile.samples;
    tile.kind_cycles[kind_index(kept.sample.kind)] += kept.cycles;
    tile.cycles += kept.cycles;
    tile.first_start = std::min(tile.first_start.value_or(kept.start), kept.start);
    tile.last_end = std::max(tile.last_end, kept.end);
    count(kernels_, kept.sample.kernel, kept.cycles);
    count(operations_, kept.sample.operation, kept.cycles);
}

void StatisticsCollector::count(Tally& tally, std::string_view name, std::uint32_t cycles) {
    auto entry = tally.find(name);
    if (entry == tally.end()) {
        entry = tally.emplace(std::string(name), Durations{}).first;
    }
    entry->second.cycles += cycles;
    entry->second.values.push_back(cycles);
}

std::vector<DurationStatistics> StatisticsCollector::ranked(Tally& tally) {
    std::vector<DurationStatistics> entries;
    entries.reserve(tally.size());
    for (auto& [name, durations] : tally) {
        auto& values = durations.values;
        // Taken before the percentiles reorder the values.
        const auto [min, max] = std::ranges::minmax(values);
        entries.push_back({.name = name,
                           .samples = values.size(),
                           .cycles = durations.cycles,
                           .min = min,
                           .p50 = nearest_rank(values, 50),
                           .p90 = nearest_rank(values, 90),
                           .p99 = nearest_rank(values, 99),
                           .max = max});
        // The durations of a name are done with; giving them back keeps the peak down.
        values = {};
    }
    std::ranges::sort(entries, [](const DurationStatistics& a, const DurationStatistics& b) {
        return a.cycles != b.cycles ? a.cycles > b.cycles : a.name < b.name;
    });
    return entries;
}

ProfileStatistics StatisticsCollector::finish() {
    std::optional<std::uint64_t> earliest;
    std::uint64_t latest = 0;
    for (const TileStatistics& tile : statistics_.tiles) {
        if (tile.first_start) {
            earliest = std::min(earliest.value_or(*tile.first_start), *tile.first_start);
            latest = std::max(latest, tile.last_end);
        }
        statistics_.samples += tile.samples;
        statistics_.cycles += tile.cycles;
        for (std::size_t kind = 0; kind < STEP_KINDS.size(); ++kind) {
            statistics_.kind_cycles[kind] += tile.kind_cycles[kind];
        }
    }
    if (earliest) {
        statistics_.span = vexa_package::TimelineSpan{.first_start = *earliest, .last_end = latest};
        statistics_.covered = statistics_.span->cycles();
    }
    statistics_.anomalies = timeline().anomalies();
    statistics_.kernels = ranked(kernels_);
    statistics_.operations = ranked(operations_);
    return std::move(statistics_);
}

}  // namespace vexa_cli
