#include "trace_perfetto.hpp"

#include <limits>

namespace vexa_cli {
namespace {

using namespace vexa_package;
using perfetto::protos::DebugAnnotation;
using perfetto::protos::TrackDescriptor;
using perfetto::protos::TrackEvent;

// One writer is one sequence.
constexpr std::uint32_t SEQUENCE_ID = 1;
constexpr std::uint32_t INCREMENTAL_STATE_CLEARED = 1;
constexpr std::uint32_t NEEDS_INCREMENTAL_STATE = 2;
constexpr std::uint64_t DEVICE_TRACK = 1;
// Field 1 of Trace, length-delimited: every packet is framed by this tag and its length.
constexpr char PACKET_TAG = (1 << 3) | 2;

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
    : TraceWriter(source), output_(output) {}

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

void PerfettoTraceWriter::write_packet() {
    packet_.SerializeToString(&bytes_);
    char frame[16] = {PACKET_TAG};
    std::size_t length = 1;
    for (std::uint64_t size = bytes_.size();; size >>= 7) {
        const auto low = static_cast<char>(size & 0x7f);
        if (size < 0x80) {
            frame[length++] = low;
            break;
        }
        frame[length++] = static_cast<char>(low | 0x80);
    }
    output_.write(std::string_view(frame, length));
    output_.write(bytes_);
}

void PerfettoTraceWriter::begin() {
    packet_.Clear();
    packet_.set_trusted_packet_sequence_id(SEQUENCE_ID);
    packet_.set_sequence_flags(INCREMENTAL_STATE_CLEARED);
    TrackDescriptor& device = *packet_.mutable_track_descriptor();
    device.set_uuid(DEVICE_TRACK);
    device.set_name(device_name());
    device.set_child_ordering(TrackDescriptor::EXPLICIT);
    write_packet();
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
        write_packet();
    }
    packet_.Clear();
    packet_.set_trusted_packet_sequence_id(SEQUENCE_ID);
    packet_.set_sequence_flags(INCREMENTAL_STATE_CLEARED);
    packet_.mutable_trace_packet_defaults()->mutable_track_event_defaults()->set_track_uuid(
        tile_track(physical_tile));
    write_packet();
    names_.clear();
    annotation_names_.clear();
    categories_ = {};
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

void PerfettoTraceWriter::annotate(TrackEvent& event, std::string_view name, std::uint64_t value) {
    annotation(event, name).set_uint_value(value);
}

void PerfettoTraceWriter::slice(const Slice& slice, const CycleSampleView& sample) {
    packet_.Clear();
    packet_.set_timestamp(slice.start);
    packet_.set_trusted_packet_sequence_id(SEQUENCE_ID);
    packet_.set_sequence_flags(NEEDS_INCREMENTAL_STATE);
    TrackEvent& event = *packet_.mutable_track_event();
    event.set_type(TrackEvent::TYPE_SLICE_BEGIN);

    const std::string_view name = sample_name(sample);
    const InternedId name_id = intern(names_, name);
    if (name_id.id == 0) {
        event.set_name(name.data(), name.size());
    } else {
        event.set_name_iid(name_id.id);
        if (name_id.added) {
            auto& entry = *packet_.mutable_interned_data()->add_event_names();
            entry.set_iid(name_id.id);
            entry.set_name(std::string(name));
        }
    }
    const std::uint64_t category = category_id(sample.kind);
    event.add_category_iids(category);
    if (bool& known = categories_[category - 1]; !known) {
        known = true;
        auto& entry = *packet_.mutable_interned_data()->add_event_categories();
        entry.set_iid(category);
        entry.set_name(std::string(to_string(sample.kind)));
    }

    annotation(event, "operation")
        .set_string_value(sample.operation.data(), sample.operation.size());
    annotate(event, "local_index", sample.local_index);
    annotate(event, "phase", sample.phase);
    annotate(event, "epoch", sample.epoch);
    for (const ProfileMetadataView& entry : sample.metadata) {
        annotation(event, entry.name).set_string_value(entry.value.data(), entry.value.size());
    }
    write_packet();

    packet_.Clear();
    packet_.set_timestamp(slice.end);
    packet_.set_trusted_packet_sequence_id(SEQUENCE_ID);
    TrackEvent& end = *packet_.mutable_track_event();
    end.set_type(TrackEvent::TYPE_SLICE_END);
    write_packet();
}

}  // namespace vexa_cli
