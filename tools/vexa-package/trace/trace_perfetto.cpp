#include "trace/trace_perfetto.hpp"

#include <algorithm>
#include <array>
#include <limits>
#include <utility>

#include <google/protobuf/io/coded_stream.h>

namespace vexa_cli {
namespace {

using namespace vexa_package;
using perfetto::protos::ClockSnapshot;
using perfetto::protos::DebugAnnotation;
using perfetto::protos::EventName;
using perfetto::protos::InternedData;
using perfetto::protos::TracePacket;
using perfetto::protos::TrackDescriptor;
using perfetto::protos::TrackEvent;

// The device's track and the counters are the first sequence; each tile entry is one of its
// own, numbered on from the second.
constexpr std::uint32_t DEVICE_SEQUENCE = 1;
constexpr std::uint32_t INCREMENTAL_STATE_CLEARED = 1;
constexpr std::uint32_t NEEDS_INCREMENTAL_STATE = 2;
// The trace's clock (BOOTTIME, Perfetto's default), and the clock of each sequence, whose
// timestamps are deltas.
constexpr std::uint32_t TRACE_CLOCK = 6;
constexpr std::uint32_t SEQUENCE_CLOCK = 64;
constexpr std::uint64_t DEVICE_TRACK = 1;
// Field 1 of Trace, length-delimited: every packet is framed by this tag and its length.
constexpr std::uint32_t TRACE_PACKET = 1;
constexpr std::uint8_t PACKET_TAG = (TRACE_PACKET << 3) | 2;
// A tag of one byte and a varint of at most ten.
constexpr std::size_t MOST_FRAME_BYTES = 1 + 10;
// Field numbers as the wire writer takes them.
constexpr auto field(int number) {
    return static_cast<std::uint32_t>(number);
}
// The annotations every slice has, interned first at each tile entry.
constexpr std::array<std::string_view, 4> STEP_FIELDS{"operation", "local_index", "phase", "epoch"};
constexpr std::uint64_t OPERATION_ID = 1;
constexpr std::uint64_t LOCAL_INDEX_ID = 2;
constexpr std::uint64_t PHASE_ID = 3;
constexpr std::uint64_t EPOCH_ID = 4;
// A text this short costs no more written out than referred to by its id (a two-byte tag
// and an id of one or two bytes), and would only fill the table.
constexpr std::size_t SHORTEST_INTERNED_VALUE = 3;

// Tile tracks follow the device track; small ids are short on the wire. A tile's overflow
// tracks lie above all tile and counter tracks, whose ids stay below 2^33.
std::uint64_t tile_track(std::uint32_t physical_tile) {
    return DEVICE_TRACK + 1 + physical_tile;
}

std::uint64_t lane_track(std::uint32_t physical_tile, std::uint32_t lane) {
    return tile_track(physical_tile) + (std::uint64_t{lane} << 33);
}

// Under a tile's track, its counters follow its overflow tracks.
std::uint32_t counter_rank(ProfileStepKind kind) {
    return TrackLanes::LANE_LIMIT + static_cast<std::uint32_t>(kind_index(kind));
}

// Ranks are signed 32-bit numbers: tile numbers are shifted down by 2^31 so that every tile
// number keeps its place, tile 10 after tile 2 and tile 2^32 - 1 last.
std::int32_t sibling_rank(std::uint32_t physical_tile) {
    return static_cast<std::int32_t>(std::int64_t{physical_tile} +
                                     std::numeric_limits<std::int32_t>::min());
}

// The category id of a kind: its code plus one, for ids start at 1.
std::uint64_t category_id(ProfileStepKind kind) {
    return static_cast<std::uint64_t>(kind) + 1;
}

}  // namespace

PerfettoTraceWriter::PerfettoTraceWriter(OutputFile& output, std::string_view source,
                                         TracePlan plan)
    : TraceWriter(source, std::move(plan)), output_(output) {}

void PerfettoTraceWriter::write_framed(std::string_view packet) {
    std::uint8_t frame[MOST_FRAME_BYTES];
    frame[0] = PACKET_TAG;
    const std::uint8_t* const frame_end =
        google::protobuf::io::CodedOutputStream::WriteVarint64ToArray(packet.size(), frame + 1);
    output_.write(std::string_view(reinterpret_cast<const char*>(frame),
                                   static_cast<std::size_t>(frame_end - frame)));
    output_.write(packet);
}

void PerfettoTraceWriter::write_packet(const TracePacket& packet) {
    packet.SerializeToString(&bytes_);
    write_framed(bytes_);
}

void PerfettoTraceWriter::start_sequence(std::uint32_t sequence) {
    sequence_ = sequence;
    clock_started_ = false;
    // An end packet is the same each time but for its time, which comes first on the wire
    // (fields are written in number order).
    end_tail_.clear();
    end_tail_.varint_field(field(TracePacket::kTrustedPacketSequenceIdFieldNumber), sequence_);
    event_.clear();
    event_.varint_field(field(TrackEvent::kTypeFieldNumber), TrackEvent::TYPE_SLICE_END);
    end_tail_.message_field(field(TracePacket::kTrackEventFieldNumber), event_);

    packet_.Clear();
    packet_.set_trusted_packet_sequence_id(sequence_);
    packet_.set_sequence_flags(INCREMENTAL_STATE_CLEARED);
    packet_.mutable_trace_packet_defaults()->set_timestamp_clock_id(SEQUENCE_CLOCK);
}

bool PerfettoTraceWriter::timestamp(WireBuffer& packet, std::uint64_t time) {
    if (!clock_started_) {
        // Both clocks read the same instant; the packet itself needs no time.
        clock_started_ = true;
        clock_time_ = time;
        packet_.Clear();
        packet_.set_trusted_packet_sequence_id(sequence_);
        ClockSnapshot& snapshot = *packet_.mutable_clock_snapshot();
        ClockSnapshot::Clock& trace = *snapshot.add_clocks();
        trace.set_clock_id(TRACE_CLOCK);
        trace.set_timestamp(time);
        ClockSnapshot::Clock& deltas = *snapshot.add_clocks();
        deltas.set_clock_id(SEQUENCE_CLOCK);
        deltas.set_timestamp(time);
        deltas.set_is_incremental(true);
        write_packet(packet_);
    }
    if (time >= clock_time_) {
        packet.varint_field(field(TracePacket::kTimestampFieldNumber), time - clock_time_);
        clock_time_ = time;
        return false;
    }
    packet.varint_field(field(TracePacket::kTimestampFieldNumber), time);
    return true;
}

void PerfettoTraceWriter::trace_clock(WireBuffer& packet) {
    packet.varint_field(field(TracePacket::kTimestampClockIdFieldNumber), TRACE_CLOCK);
}

void PerfettoTraceWriter::begin() {
    start_sequence(DEVICE_SEQUENCE);
    TrackDescriptor& device = *packet_.mutable_track_descriptor();
    device.set_uuid(DEVICE_TRACK);
    device.set_name(device_name());
    device.set_child_ordering(TrackDescriptor::EXPLICIT);
    write_packet(packet_);
}

void PerfettoTraceWriter::entry(std::uint32_t physical_tile, bool new_track) {
    // A report holds fewer than 2^32 - 2 tiles: a Cap'n Proto list has fewer than 2^29.
    ++entries_;
    highest_tile_ = std::max(highest_tile_, physical_tile);
    start_sequence(DEVICE_SEQUENCE + entries_);
    packet_.mutable_trace_packet_defaults()->mutable_track_event_defaults()->set_track_uuid(
        tile_track(physical_tile));
    names_.ids.clear();
    annotation_names_.ids.clear();
    annotation_values_.ids.clear();
    categories_ = {};
    for (const std::string_view name : STEP_FIELDS) {
        const InternedTexts::Id id = annotation_names_.ids.intern(name);
        auto& entry = *packet_.mutable_interned_data()->add_debug_annotation_names();
        entry.set_iid(id.id);
        entry.set_name(name.data(), name.size());
    }
    write_packet(packet_);
    if (new_track) {
        packet_.Clear();
        packet_.set_trusted_packet_sequence_id(sequence_);
        TrackDescriptor& tile = *packet_.mutable_track_descriptor();
        tile.set_uuid(tile_track(physical_tile));
        tile.set_name("tile " + std::to_string(physical_tile));
        tile.set_parent_uuid(DEVICE_TRACK);
        tile.set_sibling_order_rank(sibling_rank(physical_tile));
        // Its overflow and counter tracks, if any, follow in their order.
        tile.set_child_ordering(TrackDescriptor::EXPLICIT);
        write_packet(packet_);
    }
}

void PerfettoTraceWriter::lane_entry(std::uint32_t physical_tile, std::uint32_t lane) {
    packet_.Clear();
    packet_.set_trusted_packet_sequence_id(sequence_);
    TrackDescriptor& track = *packet_.mutable_track_descriptor();
    track.set_uuid(lane_track(physical_tile, lane));
    track.set_name("tile " + std::to_string(physical_tile) + " (overlap " + std::to_string(lane) +
                   ")");
    track.set_parent_uuid(tile_track(physical_tile));
    track.set_sibling_order_rank(static_cast<std::int32_t>(lane));
    write_packet(packet_);
}

void PerfettoTraceWriter::add_interned(std::uint32_t table, std::uint64_t id,
                                       std::string_view text) {
    entry_.clear();
    entry_.varint_field(field(EventName::kIidFieldNumber), id);
    entry_.bytes_field(field(EventName::kNameFieldNumber), text);
    interned_.message_field(table, entry_);
}

std::uint64_t PerfettoTraceWriter::interned_id(InternTable& table, std::string_view text) {
    const InternedTexts::Id id = table.ids.intern(text);
    if (id.added) {
        add_interned(table.field, id.id, text);
    }
    return id.id;
}

void PerfettoTraceWriter::annotation_text(std::string_view value) {
    const std::uint64_t id =
        value.size() < SHORTEST_INTERNED_VALUE ? 0 : interned_id(annotation_values_, value);
    if (id != 0) {
        annotation_.varint_field(field(DebugAnnotation::kStringValueIidFieldNumber), id);
    } else {
        annotation_.bytes_field(field(DebugAnnotation::kStringValueFieldNumber), value);
    }
}

void PerfettoTraceWriter::annotate(std::uint64_t name_id, std::uint64_t value) {
    annotation_.clear();
    annotation_.varint_field(field(DebugAnnotation::kNameIidFieldNumber), name_id);
    annotation_.varint_field(field(DebugAnnotation::kUintValueFieldNumber), value);
    event_.message_field(field(TrackEvent::kDebugAnnotationsFieldNumber), annotation_);
}

void PerfettoTraceWriter::annotate(std::uint64_t name_id, std::string_view value) {
    annotation_.clear();
    annotation_.varint_field(field(DebugAnnotation::kNameIidFieldNumber), name_id);
    annotation_text(value);
    event_.message_field(field(TrackEvent::kDebugAnnotationsFieldNumber), annotation_);
}

void PerfettoTraceWriter::annotate(std::string_view name, std::string_view value) {
    const std::uint64_t id = interned_id(annotation_names_, name);
    if (id != 0) {
        annotate(id, value);
        return;
    }
    // Fields in number order: the value (6 or 17) before the name (10) when the value is
    // written out, after it when referred to.
    annotation_.clear();
    const std::uint64_t value_id =
        value.size() < SHORTEST_INTERNED_VALUE ? 0 : interned_id(annotation_values_, value);
    if (value_id == 0) {
        annotation_.bytes_field(field(DebugAnnotation::kStringValueFieldNumber), value);
    }
    annotation_.bytes_field(field(DebugAnnotation::kNameFieldNumber), name);
    if (value_id != 0) {
        annotation_.varint_field(field(DebugAnnotation::kStringValueIidFieldNumber), value_id);
    }
    event_.message_field(field(TrackEvent::kDebugAnnotationsFieldNumber), annotation_);
}

void PerfettoTraceWriter::slice(const Slice& slice, const CycleSampleView& sample) {
    // The begin packet is written field by field in number order, as libprotobuf would write
    // it: its parts are known only here, and building message objects for millions of
    // packets would take longer than the rest of the trace. Interned texts that are new go
    // into the same packet, by table: categories, then names, annotation names and values.
    const TrackLanes::Placement placement =
        lanes_.place(slice.physical_tile, slice.start, slice.end);
    if (placement.new_lane) {
        lane_entry(slice.physical_tile, placement.lane);
    }
    // Slices on the tile's own track take it from the entry's defaults.
    const std::uint64_t track =
        placement.lane == 0 ? 0 : lane_track(slice.physical_tile, placement.lane);

    event_.clear();
    interned_.clear();
    const std::uint64_t category = category_id(sample.kind);
    event_.varint_field(field(TrackEvent::kCategoryIidsFieldNumber), category);
    if (bool& known = categories_[category - 1]; !known) {
        known = true;
        add_interned(field(InternedData::kEventCategoriesFieldNumber), category,
                     to_string(sample.kind));
    }
    const std::string_view name = sample_name(sample);
    const std::uint64_t name_iid = interned_id(names_, name);

    annotate(OPERATION_ID, sample.operation);
    annotate(LOCAL_INDEX_ID, sample.local_index);
    annotate(PHASE_ID, sample.phase);
    annotate(EPOCH_ID, sample.epoch);
    for (const ProfileMetadataView& entry : sample.metadata) {
        annotate(entry.name, entry.value);
    }
    event_.varint_field(field(TrackEvent::kTypeFieldNumber), TrackEvent::TYPE_SLICE_BEGIN);
    if (name_iid != 0) {
        event_.varint_field(field(TrackEvent::kNameIidFieldNumber), name_iid);
    }
    if (track != 0) {
        event_.varint_field(field(TrackEvent::kTrackUuidFieldNumber), track);
    }
    if (name_iid == 0) {
        event_.bytes_field(field(TrackEvent::kNameFieldNumber), name);
    }

    packet_bytes_.clear();
    const bool begin_in_full = timestamp(packet_bytes_, slice.start);
    packet_bytes_.varint_field(field(TracePacket::kTrustedPacketSequenceIdFieldNumber), sequence_);
    packet_bytes_.message_field(field(TracePacket::kTrackEventFieldNumber), event_);
    if (!interned_.empty()) {
        packet_bytes_.message_field(field(TracePacket::kInternedDataFieldNumber), interned_);
    }
    packet_bytes_.varint_field(field(TracePacket::kSequenceFlagsFieldNumber),
                               NEEDS_INCREMENTAL_STATE);
    if (begin_in_full) {
        trace_clock(packet_bytes_);
    }

    end_packet_.clear();
    const bool end_in_full = timestamp(end_packet_, slice.end);
    if (track == 0) {
        end_packet_.append(end_tail_);
    } else {
        end_packet_.varint_field(field(TracePacket::kTrustedPacketSequenceIdFieldNumber),
                                 sequence_);
        event_.clear();
        event_.varint_field(field(TrackEvent::kTypeFieldNumber), TrackEvent::TYPE_SLICE_END);
        event_.varint_field(field(TrackEvent::kTrackUuidFieldNumber), track);
        end_packet_.message_field(field(TracePacket::kTrackEventFieldNumber), event_);
    }
    if (end_in_full) {
        trace_clock(end_packet_);
    }
    // Both packets in one write: the output gathers small writes, but each costs a call.
    framed_.clear();
    framed_.message_field(TRACE_PACKET, packet_bytes_);
    framed_.message_field(TRACE_PACKET, end_packet_);
    output_.write(framed_.view());
}

void PerfettoTraceWriter::counter_tracks(std::uint32_t physical_tile,
                                         std::span<const ProfileStepKind> kinds) {
    // The counters come after every tile entry, on the device's sequence, with a clock of
    // their own. Each event names its track, so their ids are kept short: they follow the
    // highest tile track's.
    if (sequence_ != DEVICE_SEQUENCE) {
        start_sequence(DEVICE_SEQUENCE);
        write_packet(packet_);
        next_counter_track_ = tile_track(highest_tile_) + 1;
    }
    counter_tracks_[physical_tile] = next_counter_track_;
    for (const ProfileStepKind kind : kinds) {
        packet_.Clear();
        packet_.set_trusted_packet_sequence_id(sequence_);
        TrackDescriptor& track = *packet_.mutable_track_descriptor();
        track.set_uuid(next_counter_track_++);
        track.set_name("tile " + std::to_string(physical_tile) + " busy " +
                       std::string(to_string(kind)));
        track.set_parent_uuid(tile_track(physical_tile));
        track.set_sibling_order_rank(static_cast<std::int32_t>(counter_rank(kind)));
        track.mutable_counter()->set_unit_name("%");
        write_packet(packet_);
    }
}

void PerfettoTraceWriter::counter_point(std::uint32_t physical_tile, std::uint64_t time,
                                        std::span<const CounterValue> values) {
    std::uint64_t track = counter_tracks_.at(physical_tile);
    for (const CounterValue& value : values) {
        if (!value.changed) {
            ++track;
            continue;
        }
        packet_bytes_.clear();
        const bool in_full = timestamp(packet_bytes_, time);
        packet_bytes_.varint_field(field(TracePacket::kTrustedPacketSequenceIdFieldNumber),
                                   sequence_);
        event_.clear();
        event_.varint_field(field(TrackEvent::kTypeFieldNumber), TrackEvent::TYPE_COUNTER);
        event_.varint_field(field(TrackEvent::kTrackUuidFieldNumber), track++);
        event_.double_field(field(TrackEvent::kDoubleCounterValueFieldNumber), value.percent);
        packet_bytes_.message_field(field(TracePacket::kTrackEventFieldNumber), event_);
        if (in_full) {
            trace_clock(packet_bytes_);
        }
        write_framed(packet_bytes_.view());
    }
}

}  // namespace vexa_cli
