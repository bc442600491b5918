#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>

#include "profile/sample_filter.hpp"
#include "trace/busy_overview.hpp"
#include "vexa_package/profile_visitor.hpp"

namespace vexa_cli {

/// What a first pass over the report decided for its trace.
struct TracePlan {
    /// Samples that start at or after this cycle get no slice; none: every kept sample does.
    std::optional<std::uint64_t> cut;
    /// The busy counters over the kept samples; none when no sample is kept.
    std::optional<BusyOverview> overview;
};

/// What a trace file shows, whatever its format: one track per physical tile, announced
/// before the first slice on it; one slice per kept sample at its place on the device
/// timeline, unless the plan cuts it off; and under each tile's track, counters of the share
/// of time the tile spent in each kind of step (`BusyOverview`), over all kept samples. A
/// writer is fed by a `FilteredVisitor` (`FilteredTrace`) while the report is read and then
/// ended with `finish`; it keeps the set of tiles seen and the counters, never the samples.
class TraceWriter {
  public:
    virtual ~TraceWriter() = default;

    /// One sample on the trace's time line, in nanoseconds; `end` is never before `start`.
    struct Slice {
        std::uint32_t physical_tile = 0;
        std::uint64_t start = 0;
        std::uint64_t end = 0;
    };

    /// One kind's share at a point of a tile's counters, and whether it differs from the
    /// point before (always at the first point).
    struct CounterValue {
        vexa_package::ProfileStepKind kind = vexa_package::ProfileStepKind::Exchange;
        double percent = 0;
        bool changed = false;
    };

    void header(const vexa_package::ProfileHeaderView& header);
    void tile(const vexa_package::TileProfileView& tile);
    void sample(const KeptSample& kept);
    /// Writes the counters and ends the trace, once the whole report was read.
    void finish();

    [[nodiscard]] std::uint64_t clock_hz() const { return clock_hz_; }
    /// The cycle from which kept samples get no slice; none when every one gets one.
    [[nodiscard]] std::optional<std::uint64_t> cut() const { return plan_.cut; }
    /// The earliest start of a kept sample, in cycles; 0 when none is kept.
    [[nodiscard]] std::uint64_t run_start() const {
        return plan_.overview ? plan_.overview->bucket_start(0) : 0;
    }
    /// Slices written, and kept samples the plan's cut left without one.
    [[nodiscard]] std::size_t slices() const { return slices_; }
    [[nodiscard]] std::size_t cut_off() const { return cut_off_; }
    [[nodiscard]] std::size_t tracks() const { return tracks_.size(); }
    /// Counter tracks written: one per tile and kind of its kept samples.
    [[nodiscard]] std::size_t counter_tracks() const {
        return plan_.overview ? plan_.overview->series().size() : 0;
    }

  protected:
    /// `source` names the report in the name of the device's track.
    TraceWriter(std::string_view source, TracePlan plan);

    /// "vexa device (SOURCE)", as valid UTF-8 whatever the file name holds.
    [[nodiscard]] const std::string& device_name() const { return device_name_; }

    /// Before anything else, once the clock is known.
    virtual void begin() = 0;
    /// At each tile entry, before its slices; `new_track` the first time its physical tile
    /// appears.
    virtual void entry(std::uint32_t physical_tile, bool new_track) = 0;
    virtual void slice(const Slice& slice, const vexa_package::CycleSampleView& sample) = 0;
    /// After the last slice, once per tile with kept samples, by tile number: the kinds its
    /// counters show, in code order. Some formats need no announcement.
    virtual void counter_tracks(std::uint32_t /*physical_tile*/,
                                std::span<const vexa_package::ProfileStepKind> /*kinds*/) {}
    /// A point of a tile's counters at `time` nanoseconds, a value per kind in the order
    /// announced; points come in time order, and only where a value changed.
    virtual void counter_point(std::uint32_t physical_tile, std::uint64_t time,
                               std::span<const CounterValue> values) = 0;
    /// Ends the trace; some formats need no ending.
    virtual void end() {}

  private:
    void write_counters(BusyOverview& overview);

    std::string device_name_;
    TracePlan plan_;
    std::uint64_t clock_hz_ = 0;
    std::size_t slices_ = 0;
    std::size_t cut_off_ = 0;
    std::set<std::uint32_t> tracks_;
};

/// Hands the samples that pass the filters to a trace writer, at their places on the device
/// timeline.
class FilteredTrace final : public FilteredVisitor {
  public:
    FilteredTrace(SampleFilter& filter, TraceWriter& writer)
        : FilteredVisitor(filter), writer_(&writer) {}

  private:
    void on_header(const vexa_package::ProfileHeaderView& header) override {
        writer_->header(header);
    }
    void on_tile(const vexa_package::TileProfileView& tile) override { writer_->tile(tile); }
    void on_sample(const KeptSample& kept) override { writer_->sample(kept); }

    TraceWriter* writer_;
};

}  // namespace vexa_cli
