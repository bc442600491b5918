#include "trace_perfetto.hpp"

#include <array>
#include <limits>

#include <google/protobuf/io/coded_stream.h>

namespace vexa_cli {
namespace {

using namespace vexa_package;
using perfetto::protos::DebugAnnotation;
using perfetto::protos::EventName;
using perfetto::protos::InternedData;
using perfetto::protos::TracePacket;
using perfetto::protos::TrackDescriptor;
using perfetto::protos::TrackEvent;

// One writer is one sequence.
constexpr std::uint32_t SEQUENCE_ID = 1;
constexpr std::uint32_t INCREMENTAL_STATE_CLEARED = 1;
constexpr std::uint32_t NEEDS_INCREMENTAL_STATE = 2;
constexpr std::uint64_t DEVICE_TRACK = 1;
// Field 1 of Trace, length-delimited: every packet is framed by this tag and its length.
constexpr std::uint8_t PACKET_TAG = (1 << 3) | 2;
// A tag of one byte and a varint of at most ten.
constexpr std::size_t MOST_FRAME_BYTES = 1 + 10;
// TracePacket.timestamp as a varint.
constexpr std::uint8_t TIMESTAMP_TAG = TracePacket::kTimestampFieldNumber << 3;
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

// Tile tracks follow the device track; small ids are short on the wire. A tile's overflow
// tracks lie above all tile tracks, whose ids stay below 2^33.
std::uint64_t tile_track(std::uint32_t physical_tile) {
    return DEVICE_TRACK + 1 + physical_tile;
}

std::uint64_t lane_track(std::uint32_t physical_tile, std::uint32_t lane) {
    return tile_track(physical_tile) + (std::uint64_t{lane} << 33);
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

PerfettoTraceWriter::PerfettoTraceWriter(OutputFile& output, std::string_view source)
    : TraceWriter(source), output_(output) {
    // An end is the same packet each time but for its time, which comes first on the wire
    // (fields are written in number order): the rest is serialised once.
    TracePacket end;
    end.set_trusted_packet_sequence_id(SEQUENCE_ID);
    end.mutable_track_event()->set_type(TrackEvent::TYPE_SLICE_END);
    end_tail_ = end.SerializeAsString();
}

PerfettoTraceWriter::InternedId PerfettoTraceWriter::intern(Interned& table,
                                                            std::string_view text) {
    if (const auto found = table.find(text); found != table.end()) {
        return {.id = found->second};
    }
    if (table.size() == INTERNED_LIMIT) {
        return {};
    }
    const std::uint64_t id = table.size() + 1;
    table.emplace(text, id);
    return {.id = id, .added = true};
}

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

void PerfettoTraceWriter::begin() {
    packet_.Clear();
    packet_.set_trusted_packet_sequence_id(SEQUENCE_ID);
    packet_.set_sequence_flags(INCREMENTAL_STATE_CLEARED);
    TrackDescriptor& device = *packet_.mutable_track_descriptor();
    device.set_uuid(DEVICE_TRACK);
    device.set_name(device_name());
    device.set_child_ordering(TrackDescriptor::EXPLICIT);
    write_packet(packet_);
}

void PerfettoTraceWriter::entry(std::uint32_t physical_tile, bool new_track) {
    if (new_track) {
        packet_.Clear();
        packet_.set_trusted_packet_sequence_id(SEQUENCE_ID);
        TrackDescriptor& tile = *packet_.mutable_track_descriptor();
        tile.set_uuid(tile_track(physical_tile));
        tile.set_name("tile " + std::to_string(physical_tile));
        tile.set_parent_uuid(DEVICE_TRACK);
        tile.set_sibling_order_rank(sibling_rank(physical_tile));
        // Its overflow tracks, if any, follow in their order.
        tile.set_child_ordering(TrackDescriptor::EXPLICIT);
        write_packet(packet_);
    }
    packet_.Clear();
    packet_.set_trusted_packet_sequence_id(SEQUENCE_ID);
    packet_.set_sequence_flags(INCREMENTAL_STATE_CLEARED);
    packet_.mutable_trace_packet_defaults()->mutable_track_event_defaults()->set_track_uuid(
        tile_track(physical_tile));
    names_.clear();
    annotation_names_.clear();
    categories_ = {};
    for (const std::string_view name : STEP_FIELDS) {
        const InternedId id = intern(annotation_names_.ids, name);
        auto& entry = *packet_.mutable_interned_data()->add_debug_annotation_names();
        entry.set_iid(id.id);
        entry.set_name(name.data(), name.size());
    }
    write_packet(packet_);
}

void PerfettoTraceWriter::lane_entry(std::uint32_t physical_tile, std::uint32_t lane) {
    packet_.Clear();
    packet_.set_trusted_packet_sequence_id(SEQUENCE_ID);
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
    // Neighbouring samples often run the same kernel, and steps mostly carry the same
    // attribute names: the last text is checked first.
    if (table.last_id != 0 && table.last == text) {
        return table.last_id;
    }
    const InternedId id = intern(table.ids, text);
    if (id.added) {
        add_interned(table.field, id.id, text);
    }
    if (id.id != 0) {
        table.last.assign(text);
        table.last_id = id.id;
    }
    return id.id;
}

void PerfettoTraceWriter::annotate(std::uint64_t name_id, std::uint64_t value) {
    annotation_.clear();
    annotation_.varint_field(field(DebugAnnotation::kNameIidFieldNumber), name_id);
    annotation_.varint_field(field(DebugAnnotation::kUintValueFieldNumber), value);
    event_.message_field(field(TrackEvent::kDebugAnnotationsFieldNumber), annotation_);
}

void PerfettoTraceWriter::annotate(std::string_view name, std::string_view value) {
    annotation_.clear();
    if (const std::uint64_t id = interned_id(annotation_names_, name); id != 0) {
        annotation_.varint_field(field(DebugAnnotation::kNameIidFieldNumber), id);
        annotation_.bytes_field(field(DebugAnnotation::kStringValueFieldNumber), value);
    } else {
        annotation_.bytes_field(field(DebugAnnotation::kStringValueFieldNumber), value);
        annotation_.bytes_field(field(DebugAnnotation::kNameFieldNumber), name);
    }
    event_.message_field(field(TrackEvent::kDebugAnnotationsFieldNumber), annotation_);
}

void PerfettoTraceWriter::slice(const Slice& slice, const CycleSampleView& sample) {
    // The begin packet is written field by field in number order, as libprotobuf would write
    // it: its parts are known only here, and building message objects for millions of
    // packets would take longer than the rest of the trace. Interned texts that are new go
    // into the same packet, by table: categories, then names, then annotation names.
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

    annotation_.clear();
    annotation_.varint_field(field(DebugAnnotation::kNameIidFieldNumber), OPERATION_ID);
    annotation_.bytes_field(field(DebugAnnotation::kStringValueFieldNumber), sample.operation);
    event_.message_field(field(TrackEvent::kDebugAnnotationsFieldNumber), annotation_);
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
    packet_bytes_.varint_field(field(TracePacket::kTimestampFieldNumber), slice.start);
    packet_bytes_.varint_field(field(TracePacket::kTrustedPacketSequenceIdFieldNumber),
                               SEQUENCE_ID);
    packet_bytes_.message_field(field(TracePacket::kTrackEventFieldNumber), event_);
    if (!interned_.empty()) {
        packet_bytes_.message_field(field(TracePacket::kInternedDataFieldNumber), interned_);
    }
    packet_bytes_.varint_field(field(TracePacket::kSequenceFlagsFieldNumber),
                               NEEDS_INCREMENTAL_STATE);
    write_framed(packet_bytes_.view());

    // The end packet: the timestamp field, then the fixed tail.
    std::uint8_t end[MOST_FRAME_BYTES];
    end[0] = TIMESTAMP_TAG;
    const std::uint8_t* const end_time =
        google::protobuf::io::CodedOutputStream::WriteVarint64ToArray(slice.end, end + 1);
    const auto time_size = static_cast<std::size_t>(end_time - end);
    end_packet_.assign(reinterpret_cast<const char*>(end), time_size);
    if (track == 0) {
        end_packet_.append(end_tail_);
    } else {
        packet_bytes_.clear();
        packet_bytes_.varint_field(field(TracePacket::kTrustedPacketSequenceIdFieldNumber),
                                   SEQUENCE_ID);
        event_.clear();
        event_.varint_field(field(TrackEvent::kTypeFieldNumber), TrackEvent::TYPE_SLICE_END);
        event_.varint_field(field(TrackEvent::kTrackUuidFieldNumber), track);
        packet_bytes_.message_field(field(TracePacket::kTrackEventFieldNumber), event_);
        end_packet_.append(packet_bytes_.view());
    }
    write_framed(end_packet_);
}

}  // namespace vexa_cli
