#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "profile/sample_filter.hpp"

namespace vexa_cli {

/// The figures of one tile entry of a report.
struct TileStatistics {
    std::uint32_t physical_tile = 0;
    std::size_t samples = 0;
    /// Cycles per kind, in the order of `STEP_KINDS`.
    std::array<std::uint64_t, 4> kind_cycles{};
    std::uint64_t cycles = 0;
    /// First start and last end on the device timeline; none without samples.
    std::optional<std::uint64_t> first_start = std::nullopt;
    std::uint64_t last_end = 0;

    [[nodiscard]] std::uint64_t span() const { return first_start ? last_end - *first_start : 0; }
    /// Cycles in samples of any kind but Idle.
    [[nodiscard]] std::uint64_t busy_cycles() const;
};

/// How the cycles per sample of one kernel or operation are distributed.
struct DurationStatistics {
    std::string name;
    std::size_t samples = 0;
    std::uint64_t cycles = 0;
    std::uint32_t min = 0;
    /// Nearest-rank percentiles of the cycles per sample.
    std::uint32_t p50 = 0;
    std::uint32_t p90 = 0;
    std::uint32_t p99 = 0;
    std::uint32_t max = 0;

    [[nodiscard]] double mean() const {
        return static_cast<double>(cycles) / static_cast<double>(samples);
    }
};

/// Everything `profile summary` shows.
struct ProfileStatistics {
    std::uint64_t clock_hz = 0;
    std::vector<TileStatistics> tiles;
    std::size_t samples = 0;
    std::array<std::uint64_t, 4> kind_cycles{};
    std::uint64_t cycles = 0;
    /// The earliest start and the latest end over all tiles on the device timeline; none
    /// without samples.
    std::optional<vexa_package::TimelineSpan> span;
    /// From the earliest start to the latest end over all tiles, in cycles.
    std::uint64_t covered = 0;
    /// What the counter values could not settle, over every sample of the report.
    vexa_package::TimelineAnomalies anomalies;
    /// Most cycles first; equal cycles by name.
    std::vector<DurationStatistics> kernels;
    std::vector<DurationStatistics> operations;
};

/// Gathers the statistics while a report streams past. Beside the input it keeps four bytes
/// per kept sample for each of kernels and operations, which the percentiles need.
class StatisticsCollector final : public FilteredVisitor {
  public:
    explicit StatisticsCollector(SampleFilter& filter) : FilteredVisitor(filter) {}

    /// The figures of everything seen; the collector is spent afterwards.
    [[nodiscard]] ProfileStatistics finish();

  private:
    struct NameHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view name) const {
            return std::hash<std::string_view>{}(name);
        }
    };
    struct Durations {
        std::uint64_t cycles = 0;
        std::deque<std::uint32_t> values;
    };
    using Tally = std::unordered_map<std::string, Durations, NameHash, std::equal_to<>>;

    void on_header(const vexa_package::ProfileHeaderView& header) override;
    void on_tile(const vexa_package::TileProfileView& tile) override;
    void on_sample(const KeptSample& sample) override;

    static void count(Tally& tally, std::string_view name, std::uint32_t cycles);
    static std::vector<DurationStatistics> ranked(Tally& tally);

    ProfileStatistics statistics_;
    Tally kernels_;
    Tally operations_;
};

}  // namespace vexa_cli
