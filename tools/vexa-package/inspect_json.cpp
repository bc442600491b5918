#include "inspect.hpp"
#include "package_facts.hpp"

namespace vexa_cli {
namespace {

using namespace vexa_package;

template <typename Record, typename Convert>
JsonOutput list_json(const std::vector<Record>& records, Convert convert) {
    JsonOutput list = JsonOutput::array();
    for (const Record& record : records) {
        list.push_back(convert(record));
    }
    return list;
}

JsonOutput tile_json(const TileImage& tile) {
    const TileFacts facts = tile_facts(tile);
    return {{"physical_tile", tile.physical_tile},
            {"entry_point", tile.entry_point},
            {"command_address", tile.command_address},
            {"diagnostic_address", tile.diagnostic_address},
            {"segment_count", tile.segments.size()},
            {"data_bytes", facts.data_bytes},
            {"memory_bytes", facts.memory_bytes},
            {"load_base", facts.load_base ? JsonOutput(*facts.load_base) : JsonOutput(nullptr)},
            {"image_size", facts.image_size},
            {"segments", list_json(tile.segments, [](const Segment& segment) -> JsonOutput {
                 return {{"address", segment.address},
                         {"memory_size", segment.memory_size},
                         {"data_bytes", segment.data.size()},
                         {"flags", segment.flags}};
             })}};
}

JsonOutput binding_json(const Binding& binding) {
    const BindingFacts facts = binding_facts(binding);
    return {{"name", binding.name},
            {"dtype", binding.dtype},
            {"shape", binding.shape},
            {"slice_count", binding.slices.size()},
            {"total_bytes", facts.total_bytes},
            {"tiles", facts.tiles},
            {"slices", list_json(binding.slices, [](const RegionSlice& slice) -> JsonOutput {
                 return {{"tile", slice.tile},
                         {"tile_address", slice.tile_address},
                         {"file_offset", slice.file_offset},
                         {"size", slice.size}};
             })}};
}

JsonOutput host_slices_json(const std::vector<HostSlice>& slices) {
    return list_json(slices, [](const HostSlice& slice) -> JsonOutput {
        return {{"page", slice.page},
                {"page_offset", slice.page_offset},
                {"file_offset", slice.file_offset},
                {"size", slice.size}};
    });
}

JsonOutput call_json(const HostCall& call) {
    const SliceTotals in = slice_totals(call.inputs, call.input_batch_ends);
    const SliceTotals out = slice_totals(call.outputs, call.output_batch_ends);
    return {{"name", call.name},
            {"command", call.command},
            {"phases", call.phases},
            {"invocations", call.invocations},
            {"input_slices", in.slices},
            {"input_batches", in.batches},
            {"input_bytes", in.bytes},
            {"output_slices", out.slices},
            {"output_batches", out.batches},
            {"output_bytes", out.bytes},
            {"input_batch_ends", call.input_batch_ends},
            {"output_batch_ends", call.output_batch_ends},
            {"inputs", host_slices_json(call.inputs)},
            {"outputs", host_slices_json(call.outputs)}};
}

JsonOutput host_exchange_json(const HostExchange& exchange) {
    return {{"startup_mark", exchange.startup_mark},
            {"command_page", exchange.command_page},
            {"command_offset", exchange.command_offset},
            {"pages", list_json(exchange.pages,
                                [](const HostPage& page) -> JsonOutput {
                                    return {{"index", page.index}, {"size", page.size}};
                                })},
            {"attach_order", exchange.attach_order},
            {"calls", list_json(exchange.calls, call_json)}};
}

}  // namespace

JsonOutput inspect_json(const Application& application) {
    return {{"compiler_version", application.compiler_version},
            {"tiles", list_json(application.tiles, tile_json)},
            {"inputs", list_json(application.inputs, binding_json)},
            {"outputs", list_json(application.outputs, binding_json)},
            {"weights", list_json(application.weights, binding_json)},
            {"host_exchange", host_exchange_json(application.host_exchange)},
            {"entry_points", list_json(application.entry_points,
                                       [](const EntryPoint& entry) -> JsonOutput {
                                           return {{"name", entry.name},
                                                   {"command", entry.command},
                                                   {"external_syncs", entry.external_syncs}};
                                       })},
            {"device_config_writes",
             list_json(application.device_config_writes,
                       [](const DeviceConfigWrite& write) -> JsonOutput {
                           return {{"offset", write.offset}, {"value", write.value}};
                       })}};
}

}  // namespace vexa_cli
