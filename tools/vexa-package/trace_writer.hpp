#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "sample_filter.hpp"
#include "vexa_package/profile_visitor.hpp"

namespace vexa_cli {

/// What a trace file shows, whatever its format: one track per physical tile, announced
/// before the first slice on it, and one slice per kept sample at its place on its tile's
/// unwrapped time line. A writer is fed by a `FilteredVisitor` (`FilteredTrace`) while the
/// report is read and then ended with `finish`; it keeps only the set of tiles seen, never the
/// samples.
class TraceWriter {
  public:
    virtual ~TraceWriter() = default;

    /// One sample on the trace's time line, in nanoseconds; `end` is never before `start`.
    struct Slice {
        std::uint32_t physical_tile = 0;
        std::uint64_t start = 0;
        std::uint64_t end = 0;
    };

    void header(const vexa_package::ProfileHeaderView& header);
    void tile(const vexa_package::TileProfileView& tile);
    void sample(const KeptSample& kept);

    /// Ends the trace once the whole report was read; some formats need no ending.
    virtual void finish() {}

    [[nodiscard]] std::uint64_t clock_hz() const { return clock_hz_; }
    [[nodiscard]] std::size_t slices() const { return slices_; }
    [[nodiscard]] std::size_t tracks() const { return tracks_.size(); }

  protected:
    /// `source` names the report in the name of the device's track.
    explicit TraceWriter(std::string_view source);

    /// "vexa device (SOURCE)", as valid UTF-8 whatever the file name holds.
    [[nodiscard]] const std::string& device_name() const { return device_name_; }

    /// Before anything else, once the clock is known.
    virtual void begin() = 0;
    /// At each tile entry, before its slices; `new_track` the first time its physical tile
    /// appears.
    virtual void entry(std::uint32_t physical_tile, bool new_track) = 0;
    virtual void slice(const Slice& slice, const vexa_package::CycleSampleView& sample) = 0;

  private:
    std::string device_name_;
    std::uint64_t clock_hz_ = 0;
    std::size_t slices_ = 0;
    std::set<std::uint32_t> tracks_;
};

/// Hands the samples that pass the filters to a trace writer, at the places they have on the
/// unfiltered time line.
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
