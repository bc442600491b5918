#include "json/json_records.hpp"

#include "json/byte_encoding.hpp"

namespace vexa_cli {
namespace {

using namespace vexa_package;

JsonOutput numbers_to_json(const std::vector<std::uint32_t>& numbers) {
    JsonOutput list = JsonOutput::array();
    for (const std::uint32_t number : numbers) {
        list.push_back(number);
    }
    return list;
}

}  // namespace

JsonOutput segment_to_json(const Segment& segment, std::optional<ByteSpelling> spelling) {
    JsonOutput json{{"address", segment.address}, {"memory_size", segment.memory_size}};
    if (!spelling) {
        json["data_bytes"] = segment.data.size();
    } else if (*spelling == ByteSpelling::Hex) {
        json["data"] = JsonOutput{{"hex", hex_encode(segment.data)}};
    } else {
        json["data"] = base64_encode(segment.data);
    }
    json["flags"] = segment.flags;
    return json;
}

JsonOutput tile_to_json(const TileImage& tile, std::optional<ByteSpelling> spelling) {
    return {{"physical_tile", tile.physical_tile},
            {"entry_point", tile.entry_point},
            {"command_address", tile.command_address},
            {"diagnostic_address", tile.diagnostic_address},
            {"segments", list_to_json(tile.segments, [spelling](const Segment& segment) {
                 return segment_to_json(segment, spelling);
             })}};
}

JsonOutput region_slice_to_json(const RegionSlice& slice) {
    return {{"tile", slice.tile},
            {"tile_address", slice.tile_address},
            {"file_offset", slice.file_offset},
            {"size", slice.size}};
}

JsonOutput binding_to_json(const Binding& binding) {
    return {{"name", binding.name},
            {"dtype", binding.dtype},
            {"shape", numbers_to_json(binding.shape)},
            {"slices", list_to_json(binding.slices, region_slice_to_json)}};
}

JsonOutput host_page_to_json(const HostPage& page) {
    return {{"index", page.index}, {"size", page.size}};
}

JsonOutput host_slice_to_json(const HostSlice& slice) {
    return {{"page", slice.page},
            {"page_offset", slice.page_offset},
            {"file_offset", slice.file_offset},
            {"size", slice.size}};
}

JsonOutput host_call_to_json(const HostCall& call) {
    return {{"name", call.name},
            {"command", call.command},
            {"phases", call.phases},
            {"inputs", list_to_json(call.inputs, host_slice_to_json)},
            {"outputs", list_to_json(call.outputs, host_slice_to_json)},
            {"invocations", call.invocations},
            {"input_batch_ends", numbers_to_json(call.input_batch_ends)},
            {"output_batch_ends", numbers_to_json(call.output_batch_ends)}};
}

JsonOutput host_exchange_to_json(const HostExchange& exchange) {
    return {{"startup_mark", exchange.startup_mark},
            {"command_page", exchange.command_page},
            {"command_offset", exchange.command_offset},
            {"pages", list_to_json(exchange.pages, host_page_to_json)},
            {"attach_order", numbers_to_json(exchange.attach_order)},
            {"calls", list_to_json(exchange.calls, host_call_to_json)}};
}

JsonOutput entry_point_to_json(const EntryPoint& entry) {
    return {
        {"name", entry.name}, {"command", entry.command}, {"external_syncs", entry.external_syncs}};
}

JsonOutput config_write_to_json(const DeviceConfigWrite& write) {
    return {{"offset", write.offset}, {"value", write.value}};
}

}  // namespace vexa_cli
