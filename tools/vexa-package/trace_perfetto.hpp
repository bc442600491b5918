#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "file_io.hpp"
#include "perfetto_trace.pb.h"
#include "trace_writer.hpp"
#include "track_lanes.hpp"
#include "wire_buffer.hpp"

namespace vexa_cli {

/// Writes the trace in Perfetto's protobuf format, packet by packet while the report is read:
/// a device track with one child track per physical tile, ordered by tile number; a slice
/// (begin and end event) per sample, named by kernel, else operation, else kind, with its kind
/// as category and operation, local index, phase, epoch and metadata as debug annotations.
/// All packets are one sequence, whose incremental state starts afresh at each tile entry:
/// its default track is the entry's tile, so events do not repeat it, and names, categories
/// and annotation names are interned anew, so a repeated kernel name costs an index. Past
/// `INTERNED_LIMIT` distinct texts of one table, further ones are written out, which bounds
/// the writer's memory. Slices on one track must nest, so a sample that overlaps others of
/// its tile goes on an overflow track under the tile's ("tile N (overlap K)"; `TrackLanes`).
class PerfettoTraceWriter final : public TraceWriter {
  public:
    static constexpr std::size_t INTERNED_LIMIT = std::size_t{1} << 16;

    PerfettoTraceWriter(OutputFile& output, std::string_view source);

    /// Overflow tracks written, and samples that overlap others on every track of their tile.
    [[nodiscard]] std::size_t overflow_tracks() const noexcept { return lanes_.overflow_tracks(); }
    [[nodiscard]] std::size_t crowded() const noexcept { return lanes_.crowded(); }

  private:
    // Interned texts of one kind with their ids, from 1.
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const noexcept {
            return std::hash<std::string_view>{}(text);
        }
    };
    using Interned = std::unordered_map<std::string, std::uint64_t, TextHash, std::equal_to<>>;
    // An id of a table; 0 when the table is full and the text is written out instead.
    struct InternedId {
        std::uint64_t id = 0;
        bool added = false;
    };
    [[nodiscard]] static InternedId intern(Interned& table, std::string_view text);

    void begin() override;
    void entry(std::uint32_t physical_tile, bool new_track) override;
    void slice(const Slice& slice, const vexa_package::CycleSampleView& sample) override;
    // Announces an overflow track of a tile before its first slice.
    void lane_entry(std::uint32_t physical_tile, std::uint32_t lane);

    // One interned table of the sequence, with the last text looked up.
    struct InternTable {
        std::uint32_t field = 0;
        Interned ids;
        std::string last;
        std::uint64_t last_id = 0;

        void clear() {
            ids.clear();
            last_id = 0;
        }
    };
    // The id of a text of `table`, interning it in this packet if new; 0 when the table is
    // full and the text is written out.
    [[nodiscard]] std::uint64_t interned_id(InternTable& table, std::string_view text);
    void add_interned(std::uint32_t table, std::uint64_t id, std::string_view text);
    void annotate(std::uint64_t name_id, std::uint64_t value);
    void annotate(std::string_view name, std::string_view value);
    void write_framed(std::string_view packet);
    void write_packet(const perfetto::protos::TracePacket& packet);

    OutputFile& output_;
    // The packets written once per trace or tile entry, as messages.
    perfetto::protos::TracePacket packet_;
    std::string bytes_;
    // The packets of each slice, written directly; reused so that they allocate only while
    // they grow.
    WireBuffer packet_bytes_;
    WireBuffer event_;
    WireBuffer annotation_;
    WireBuffer interned_;
    WireBuffer entry_;
    std::string end_tail_;
    std::string end_packet_;
    InternTable names_{.field = static_cast<std::uint32_t>(
                           perfetto::protos::InternedData::kEventNamesFieldNumber)};
    InternTable annotation_names_{
        .field = static_cast<std::uint32_t>(
            perfetto::protos::InternedData::kDebugAnnotationNamesFieldNumber)};
    std::array<bool, 4> categories_{};
    TrackLanes lanes_;
};

}  // namespace vexa_cli
