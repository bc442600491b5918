#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "vexa_package/profile_visitor.hpp"

namespace vexa_package {

/// Where one sample lies on the device timeline, in cycles.
struct TimelinePlace {
    /// The start on the device timeline; `start % 2^32` is the stored `start_cycle`.
    std::uint64_t start = 0;
    /// `start` plus `end_cycle - start_cycle` modulo 2^32; never before `start`.
    std::uint64_t end = 0;

    /// Field-by-field equality.
    friend bool operator==(const TimelinePlace&, const TimelinePlace&) = default;
};

/// The earliest start and the latest end of the samples placed so far.
struct TimelineSpan {
    /// Earliest start on the device timeline.
    std::uint64_t first_start = 0;
    /// Latest end on the device timeline; not before `first_start`.
    std::uint64_t last_end = 0;

    /// Cycles from the earliest start to the latest end.
    [[nodiscard]] std::uint64_t cycles() const noexcept { return last_end - first_start; }

    /// Field-by-field equality.
    friend bool operator==(const TimelineSpan&, const TimelineSpan&) = default;
};

/// How many samples showed one kind of anomaly, and the first of them.
struct TimelineAnomaly {
    /// Number of samples that showed it; the fields below are meaningful when it is not 0.
    std::uint64_t count = 0;
    /// Position of the first such sample's tile in the report, from 0.
    std::size_t tile_index = 0;
    /// Physical tile of that tile entry.
    std::uint32_t physical_tile = 0;
    /// Position of the first such sample in its tile, from 0.
    std::size_t sample_index = 0;

    /// Field-by-field equality.
    friend bool operator==(const TimelineAnomaly&, const TimelineAnomaly&) = default;
};

/// What the counter values alone could not settle, by kind.
struct TimelineAnomalies {
    /// Samples placed before the sample listed before them on their tile. Reports keep the
    /// producer's order, so this is legal; it is counted because it is also what a counter
    /// that wrapped between two samples listed more than 2^31 cycles apart looks like.
    TimelineAnomaly backwards;
    /// Samples whose start lies within `CycleTimeline::AMBIGUITY_MARGIN` cycles of 2^31 from
    /// the start they are placed against (the previous start of their tile, or the device's
    /// first start for a tile's first sample): forwards and backwards are then nearly equally
    /// likely, and the nearer one was taken.
    TimelineAnomaly ambiguous;
    /// Samples whose nearest placement lies below cycle 0 of the timeline, more than
    /// 2^32 + the first stored start cycles before the device's first start, or above
    /// 2^64 - 1; they are placed at the value with the same low 32 bits that lies nearest
    /// inside the timeline.
    TimelineAnomaly out_of_range;

    /// Whether any sample showed an anomaly.
    [[nodiscard]] bool any() const noexcept {
        return backwards.count != 0 || ambiguous.count != 0 || out_of_range.count != 0;
    }

    /// Field-by-field equality.
    friend bool operator==(const TimelineAnomalies&, const TimelineAnomalies&) = default;
};

/// Places every sample of a profile report on one 64-bit device timeline, from the 32-bit
/// counter values it was stored with, in one pass in stored order (as `visit_profile` hands
/// them on), with memory that does not depend on the number of samples.
///
/// The anchor: the first sample of the report (the first sample of the first tile that has
/// any) starts at 2^32 + its `start_cycle`, one epoch up, so that samples and tiles that
/// began up to 2^32 cycles earlier still lie above 0. Every placed start keeps its stored
/// value in its low 32 bits.
///
/// Placement is serial-number arithmetic: a start is put at the 64-bit value with its
/// stored low 32 bits that lies nearest the start it is placed against, forwards or
/// backwards; a distance of exactly 2^31 goes forwards. A tile's first sample is placed
/// against the device's first start, every later sample against the previous start of its
/// tile entry. The end of a sample is its start plus `end_cycle - start_cycle` modulo 2^32.
///
/// Contract: the true times of the run are recovered exactly (up to the choice of anchor)
/// whenever each tile entry's consecutive starts lie less than 2^31 cycles apart, forwards
/// or backwards, and each tile entry's first start lies less than 2^31 cycles from the
/// device's first start. What the values cannot settle is counted in `anomalies()`, never
/// dropped: every sample is placed. Tile entries with the same physical tile are placed
/// independently, each against the device's first start.
///
/// Usage: call `tile` at each tile entry, then `place` for each of its samples in stored
/// order. Samples placed before any `tile` call belong to a first tile entry numbered 0.
class CycleTimeline {
  public:
    /// One wrap of the 32-bit cycle counter.
    static constexpr std::uint64_t EPOCH = std::uint64_t{1} << 32;
    /// Distances from 2^31 - `AMBIGUITY_MARGIN` to 2^31 cycles are counted as ambiguous.
    static constexpr std::uint32_t AMBIGUITY_MARGIN = std::uint32_t{1} << 28;

    /// Starts the next tile entry of the report.
    void tile(std::uint32_t physical_tile) noexcept;
    /// Starts the next tile entry, as announced by `visit_profile`.
    void tile(const TileProfileView& tile) noexcept { this->tile(tile.physical_tile); }

    /// Places the next sample of the current tile entry.
    TimelinePlace place(std::uint32_t start_cycle, std::uint32_t end_cycle) noexcept;
    /// Places the next sample, as delivered by `visit_profile`.
    TimelinePlace place(const CycleSampleView& sample) noexcept {
        return place(sample.start_cycle, sample.end_cycle);
    }

    /// The earliest start and latest end placed so far; none before the first sample.
    [[nodiscard]] std::optional<TimelineSpan> span() const noexcept { return span_; }
    /// Where the device's first sample starts; none before the first sample.
    [[nodiscard]] std::optional<std::uint64_t> origin() const noexcept { return origin_; }
    /// What the counter values could not settle so far.
    [[nodiscard]] const TimelineAnomalies& anomalies() const noexcept { return anomalies_; }
    /// Number of samples placed so far.
    [[nodiscard]] std::uint64_t samples() const noexcept { return samples_; }

  private:
    void note(TimelineAnomaly& anomaly) const noexcept;

    std::optional<std::uint64_t> origin_;
    std::optional<TimelineSpan> span_;
    TimelineAnomalies anomalies_;
    std::uint64_t samples_ = 0;
    // The current tile entry: its position (none before the first `tile` call), physical
    // tile, samples placed, and its previous start.
    std::optional<std::size_t> tile_index_;
    std::uint32_t physical_tile_ = 0;
    std::size_t sample_index_ = 0;
    std::optional<std::uint64_t> previous_;
};

}  // namespace vexa_package
