#include "trace_perfetto.hpp"

#include <array>
#include <limits>

#include <google/protobuf/io/coded_stream.h>

namespace vexa_cli {
namespace {

using namespace vexa_package;
using perfetto::protos::DebugAnnotation;
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
// The annotations every slice has, interned first at each tile entry.
constexpr std::array<std::string_view, 4> STEP_FIELDS{"operation", "local_index", "phase", "epoch"};
constexpr std::uint64_t OPERATION_ID = 1;
constexpr std::uint64_t LOCAL_INDEX_ID = 2;
constexpr std::uint64_t PHASE_ID = 3;
constexpr std::uint64_t EPOCH_ID = 4;

// Tile tracks follow the device track; small ids are short on the wire.
std::uint64_t tile_track(std::uint32_t physical_tile) {
    return DEVICE_TRACK + 1 + physical_tile;
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

void PerfettoTraceWriter::write_packet(const TracePacket& packet) {
    const std::size_t size = packet.ByteSizeLong();
    bytes_.resize(MOST_FRAME_BYTES + size);
    auto* const frame = reinterpret_cast<std::uint8_t*>(bytes_.data());
    std::size_t length = 0;
    frame[length++] = PACKET_TAG;
    for (std::uint64_t rest = size;; rest >>= 7) {
        const auto low = static_cast<std::uint8_t>(rest & 0x7f);
        if (rest < 0x80) {
            frame[length++] = low;
            break;
        }
        frame[length++] = static_cast<std::uint8_t>(low | 0x80);
    }
    packet.SerializeWithCachedSizesToArray(frame + length);
    output_.write(std::string_view(bytes_.data(), length + size));
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
        write_packet(packet_);
    }
    packet_.Clear();
    packet_.set_trusted_packet_sequence_id(SEQUENCE_ID);
    packet_.set_sequence_flags(INCREMENTAL_STATE_CLEARED);
    packet_.mutable_trace_packet_defaults()->mutable_track_event_defaults()->set_track_uuid(
        tile_track(physical_tile));
    names_.clear();
    last_name_.reset();
    annotation_names_.clear();
    categories_ = {};
    for (const std::string_view field : STEP_FIELDS) {
        const InternedId id = intern(annotation_names_, field);
        auto& entry = *packet_.mutable_interned_data()->add_debug_annotation_names();
        entry.set_iid(id.id);
        entry.set_name(field.data(), field.size());
    }
    write_packet(packet_);
}

DebugAnnotation& PerfettoTraceWriter::annotation(TrackEvent& event, std::string_view name) {
    DebugAnnotation& annotation = *event.add_debug_annotations();
    const InternedId name_id = intern(annotation_names_, name);
    if (name_id.id == 0) {
        annotation.set_name(name.data(), name.size());
        return annotation;
    }
    annotation.set_name_iid(name_id.id);
    if (name_id.added) {
        auto& entry = *packet_.mutable_interned_data()->add_debug_annotation_names();
        entry.set_iid(name_id.id);
        entry.set_name(std::string(name));
    }
    return annotation;
}

void PerfettoTraceWriter::annotate(TrackEvent& event, std::uint64_t name_id, std::uint64_t value) {
    DebugAnnotation& annotation = *event.add_debug_annotations();
    annotation.set_name_iid(name_id);
    annotation.set_uint_value(value);
}

std::uint64_t PerfettoTraceWriter::name_id(std::string_view name) {
    // Neighbouring samples often run the same kernel: the last name is checked first.
    if (last_name_ && last_name_->first == name) {
        return last_name_->second;
    }
    const InternedId id = intern(names_, name);
    if (id.added) {
        auto& entry = *packet_.mutable_interned_data()->add_event_names();
        entry.set_iid(id.id);
        entry.set_name(name.data(), name.size());
    }
    if (id.id != 0) {
        last_name_.emplace(std::string(name), id.id);
    }
    return id.id;
}

void PerfettoTraceWriter::slice(const Slice& slice, const CycleSampleView& sample) {
    packet_.Clear();
    packet_.set_timestamp(slice.start);
    packet_.set_trusted_packet_sequence_id(SEQUENCE_ID);
    packet_.set_sequence_flags(NEEDS_INCREMENTAL_STATE);
    TrackEvent& event = *packet_.mutable_track_event();
    event.set_type(TrackEvent::TYPE_SLICE_BEGIN);

    const std::string_view name = sample_name(sample);
    if (const std::uint64_t id = name_id(name); id != 0) {
        event.set_name_iid(id);
    } else {
        event.set_name(name.data(), name.size());
    }
    const std::uint64_t category = category_id(sample.kind);
    event.add_category_iids(category);
    if (bool& known = categories_[category - 1]; !known) {
        known = true;
        auto& entry = *packet_.mutable_interned_data()->add_event_categories();
        entry.set_iid(category);
        entry.set_name(std::string(to_string(sample.kind)));
    }

    DebugAnnotation& operation = *event.add_debug_annotations();
    operation.set_name_iid(OPERATION_ID);
    operation.set_string_value(sample.operation.data(), sample.operation.size());
    annotate(event, LOCAL_INDEX_ID, sample.local_index);
    annotate(event, PHASE_ID, sample.phase);
    annotate(event, EPOCH_ID, sample.epoch);
    for (const ProfileMetadataView& entry : sample.metadata) {
        annotation(event, entry.name).set_string_value(entry.value.data(), entry.value.size());
    }
    write_packet(packet_);

    // The end packet as libprotobuf writes it: the timestamp field, then the fixed tail.
    std::uint8_t timestamp[MOST_FRAME_BYTES];
    timestamp[0] = TIMESTAMP_TAG;
    const std::uint8_t* const timestamp_end =
        google::protobuf::io::CodedOutputStream::WriteVarint64ToArray(slice.end, timestamp + 1);
    const auto timestamp_size = static_cast<std::size_t>(timestamp_end - timestamp);
    bytes_.assign(1, static_cast<char>(PACKET_TAG));
    // An end packet is far shorter than 128 bytes, so its length takes one byte.
    bytes_.push_back(static_cast<char>(timestamp_size + end_tail_.size()));
    bytes_.append(reinterpret_cast<const char*>(timestamp), timestamp_size);
    bytes_.append(end_tail_);
    output_.write(bytes_);
}

}  // namespace vexa_cli
