#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>

#include "io/file_io.hpp"
#include "trace/interned_texts.hpp"
#include "trace/perfetto_trace.pb.h"
#include "trace/trace_writer.hpp"
#include "trace/track_lanes.hpp"
#include "trace/wire_buffer.hpp"

namespace vexa_cli {

/// Writes the trace in Perfetto's protobuf format, packet by packet while the report is read:
/// a device track with one child track per physical tile, ordered by tile number; a slice
/// (begin and end event) per sample, named by kernel, else operation, else kind, with its kind
/// as category and operation, local index, phase, epoch and metadata as debug annotations;
/// and under each tile's track a counter track per kind of its samples, "tile N busy KIND",
/// with the busy share in percent.
///
/// Each tile entry is a sequence of its own (the device's track and the counters are
/// sequence 1), whose incremental state holds what its packets share: its default track is
/// the entry's tile, so events do not repeat it; names, categories, annotation names and
/// annotation texts are interned, so a repeated text costs an index; and timestamps are
/// deltas on a clock of the sequence, set by a clock snapshot at its first event. A packet
/// whose time lies before the one before it on its sequence (overlapping or out-of-order
/// samples) gives its time in full on the trace clock, and the deltas go on from the latest
/// time. Past `INTERNED_LIMIT` distinct texts of one table, further ones are written out,
/// which bounds the writer's memory. Slices on one track must nest, so a sample that overlaps
/// others of its tile goes on an overflow track under the tile's ("tile N (overlap K)";
/// `TrackLanes`).
class PerfettoTraceWriter final : public TraceWriter {
  public:
    static constexpr std::size_t INTERNED_LIMIT = std::size_t{1} << 16;

    PerfettoTraceWriter(OutputFile& output, std::string_view source, TracePlan plan);

    /// Overflow tracks written, and samples that overlap others on every track of their tile.
    [[nodiscard]] std::size_t overflow_tracks() const noexcept { return lanes_.overflow_tracks(); }
    [[nodiscard]] std::size_t crowded() const noexcept { return lanes_.crowded(); }

  private:
    void begin() override;
    void entry(std::uint32_t physical_tile, bool new_track) override;
    void slice(const Slice& slice, const vexa_package::CycleSampleView& sample) override;
    void counter_tracks(std::uint32_t physical_tile,
                        std::span<const vexa_package::ProfileStepKind> kinds) override;
    void counter_point(std::uint32_t physical_tile, std::uint64_t time,
                       std::span<const CounterValue> values) override;
    // Announces an overflow track of a tile before its first slice.
    void lane_entry(std::uint32_t physical_tile, std::uint32_t lane);

    // One interned table of the sequence: the field of InternedData its entries go in.
    struct InternTable {
        std::uint32_t field = 0;
        InternedTexts ids{INTERNED_LIMIT};
    };
    // The id of a text of `table`, interning it in this packet if new; 0 when the table is
    // full and the text is written out.
    [[nodiscard]] std::uint64_t interned_id(InternTable& table, std::string_view text);
    void add_interned(std::uint32_t table, std::uint64_t id, std::string_view text);
    void annotate(std::uint64_t name_id, std::uint64_t value);
    void annotate(std::uint64_t name_id, std::string_view value);
    void annotate(std::string_view name, std::string_view value);
    // The value of an annotation being written: interned when that is shorter.
    void annotation_text(std::string_view value);

    // Starts a sequence whose first packet clears its incremental state.
    void start_sequence(std::uint32_t sequence);
    // Writes the time of a packet into it, as the first field: a delta on the sequence's
    // clock, after a snapshot of that clock if it is the sequence's first; or in full when
    // the time goes back, and then the packet must name the trace clock (`trace_clock`).
    [[nodiscard]] bool timestamp(WireBuffer& packet, std::uint64_t time);
    void trace_clock(WireBuffer& packet);
    void write_framed(std::string_view packet);
    void write_packet(const perfetto::protos::TracePacket& packet);

    OutputFile& output_;
    // The packets written once per trace, tile entry or track, as messages.
    perfetto::protos::TracePacket packet_;
    std::string bytes_;
    // The packets of each slice and counter point, written directly; reused so that they
    // allocate only while they grow.
    WireBuffer packet_bytes_;
    WireBuffer event_;
    WireBuffer annotation_;
    WireBuffer interned_;
    WireBuffer entry_;
    // An end packet after its timestamp, for the current sequence.
    WireBuffer end_tail_;
    WireBuffer end_packet_;
    // A slice's two packets, framed.
    WireBuffer framed_;
    std::uint32_t sequence_ = 0;
    std::uint32_t entries_ = 0;
    // The current sequence's clock: whether it has a snapshot, and its latest time.
    bool clock_started_ = false;
    std::uint64_t clock_time_ = 0;
    InternTable names_{.field = static_cast<std::uint32_t>(
                           perfetto::protos::InternedData::kEventNamesFieldNumber)};
    InternTable annotation_names_{
        .field = static_cast<std::uint32_t>(
            perfetto::protos::InternedData::kDebugAnnotationNamesFieldNumber)};
    InternTable annotation_values_{
        .field = static_cast<std::uint32_t>(
            perfetto::protos::InternedData::kDebugAnnotationStringValuesFieldNumber)};
    std::array<bool, 4> categories_{};
    TrackLanes lanes_;
    std::uint32_t highest_tile_ = 0;
    // The counter tracks: the id of each tile's first, its others following.
    std::map<std::uint32_t, std::uint64_t> counter_tracks_;
    std::uint64_t next_counter_track_ = 0;
};

}  // namespace vexa_cli
