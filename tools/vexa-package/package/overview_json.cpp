#include "json/json_records.hpp"
#include "package/overview.hpp"
#include "package/package_facts.hpp"

namespace vexa_cli {
namespace {

using namespace vexa_package;

// The records as dump writes them, segment bytes left out, with the derived figures beside.

JsonOutput tile_json(const TileImage& tile) {
    const TileFacts facts = tile_facts(tile);
    JsonOutput json = record_to_json(tile);
    json["segment_count"] = tile.segments.size();
    json["data_bytes"] = facts.data_bytes;
    json["memory_bytes"] = facts.memory_bytes;
    json["load_base"] = facts.load_base ? JsonOutput(*facts.load_base) : JsonOutput(nullptr);
    json["image_size"] = facts.image_size;
    return json;
}

JsonOutput binding_json(const Binding& binding) {
    const BindingFacts facts = binding_facts(binding);
    JsonOutput json = record_to_json(binding);
    json["slice_count"] = binding.slices.size();
    json["total_bytes"] = facts.total_bytes;
    json["tiles"] = facts.tiles;
    return json;
}

JsonOutput call_json(const HostCall& call) {
    const SliceTotals in = slice_totals(call.inputs, call.input_batch_ends);
    const SliceTotals out = slice_totals(call.outputs, call.output_batch_ends);
    JsonOutput json = record_to_json(call);
    json["input_slices"] = in.slices;
    json["input_batches"] = in.batches;
    json["input_bytes"] = in.bytes;
    json["output_slices"] = out.slices;
    json["output_batches"] = out.batches;
    json["output_bytes"] = out.bytes;
    return json;
}

}  // namespace

JsonOutput inspect_json(const Application& application) {
    // The records as dump writes them; the lists with derived figures replace theirs in place.
    JsonOutput json = record_to_json(application);
    json["tiles"] = list_to_json(application.tiles, tile_json);
    json["inputs"] = list_to_json(application.inputs, binding_json);
    json["outputs"] = list_to_json(application.outputs, binding_json);
    json["weights"] = list_to_json(application.weights, binding_json);
    json["host_exchange"]["calls"] = list_to_json(application.host_exchange.calls, call_json);
    return json;
}

}  // namespace vexa_cli
