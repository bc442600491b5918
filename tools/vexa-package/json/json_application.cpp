#include "json/json_application.hpp"

#include "json/json_fields.hpp"

namespace vexa_cli {
namespace {

using namespace vexa_package;

// ---- JSON to model ----

Segment segment_from_json(const JsonValue& value, const JsonPath& path, JsonProblems& problems) {
    JsonObject object(value, path, problems, {"address", "memory_size", "data", "flags"});
    return {.address = object.u32("address"),
            .memory_size = object.u32("memory_size"),
            .data = object.bytes("data"),
            .flags = object.u32("flags")};
}

TileImage tile_from_json(const JsonValue& value, const JsonPath& path, JsonProblems& problems) {
    JsonObject object(
        value, path, problems,
        {"physical_tile", "entry_point", "command_address", "diagnostic_address", "segments"});
    return {.physical_tile = object.u32("physical_tile"),
            .entry_point = object.u32("entry_point"),
            .command_address = object.u32("command_address"),
            .diagnostic_address = object.u32("diagnostic_address"),
            .segments = object.list("segments", segment_from_json)};
}

RegionSlice slice_from_json(const JsonValue& value, const JsonPath& path, JsonProblems& problems) {
    JsonObject object(value, path, problems, {"tile", "tile_address", "file_offset", "size"});
    return {.tile = object.u32("tile"),
            .tile_address = object.u32("tile_address"),
            .file_offset = object.u64("file_offset"),
            .size = object.u64("size")};
}

Binding binding_from_json(const JsonValue& value, const JsonPath& path, JsonProblems& problems) {
    JsonObject object(value, path, problems, {"name", "dtype", "shape", "slices"});
    return {.name = object.text("name"),
            .dtype = object.text("dtype"),
            .shape = object.u32_list("shape"),
            .slices = object.list("slices", slice_from_json)};
}

HostPage page_from_json(const JsonValue& value, const JsonPath& path, JsonProblems& problems) {
    JsonObject object(value, path, problems, {"index", "size"});
    return {.index = object.u32("index"), .size = object.u64("size")};
}

HostSlice host_slice_from_json(const JsonValue& value, const JsonPath& path,
                               JsonProblems& problems) {
    JsonObject object(value, path, problems, {"page", "page_offset", "file_offset", "size"});
    return {.page = object.u32("page"),
            .page_offset = object.u64("page_offset"),
            .file_offset = object.u64("file_offset"),
            .size = object.u64("size")};
}

HostCall host_call_from_json(const JsonValue& value, const JsonPath& path, JsonProblems& problems) {
    JsonObject object(value, path, problems,
                      {"name", "command", "phases", "inputs", "outputs", "invocations",
                       "input_batch_ends", "output_batch_ends"});
    return {.name = object.text("name"),
            .command = object.u32("command"),
            .phases = object.u32("phases"),
            .inputs = object.list("inputs", host_slice_from_json),
            .outputs = object.list("outputs", host_slice_from_json),
            .invocations = object.u32("invocations"),
            .input_batch_ends = object.u32_list("input_batch_ends"),
            .output_batch_ends = object.u32_list("output_batch_ends")};
}

HostExchange host_exchange_from_json(const JsonValue& value, const JsonPath& path,
                                     JsonProblems& problems) {
    JsonObject object(
        value, path, problems,
        {"startup_mark", "command_page", "command_offset", "pages", "attach_order", "calls"});
    return {.startup_mark = object.u32("startup_mark"),
            .command_page = object.u32("command_page"),
            .command_offset = object.u64("command_offset"),
            .pages = object.list("pages", page_from_json),
            .attach_order = object.u32_list("attach_order"),
            .calls = object.list("calls", host_call_from_json)};
}

EntryPoint entry_point_from_json(const JsonValue& value, const JsonPath& path,
                                 JsonProblems& problems) {
    JsonObject object(value, path, problems, {"name", "command", "external_syncs"});
    return {.name = object.text("name"),
            .command = object.u32("command"),
            .external_syncs = object.u32("external_syncs")};
}

DeviceConfigWrite config_write_from_json(const JsonValue& value, const JsonPath& path,
                                         JsonProblems& problems) {
    JsonObject object(value, path, problems, {"offset", "value"});
    return {.offset = object.u32("offset"), .value = object.u32("value")};
}

}  // namespace

JsonOutput application_to_json(const Application& application, ByteSpelling spelling) {
    return {{"compiler_version", application.compiler_version},
            {"tiles", list_to_json(application.tiles,
                                   [spelling](const TileImage& tile) {
                                       return tile_to_json(tile, spelling);
                                   })},
            {"inputs", list_to_json(application.inputs, binding_to_json)},
            {"outputs", list_to_json(application.outputs, binding_to_json)},
            {"weights", list_to_json(application.weights, binding_to_json)},
            {"host_exchange", host_exchange_to_json(application.host_exchange)},
            {"entry_points", list_to_json(application.entry_points, entry_point_to_json)},
            {"device_config_writes",
             list_to_json(application.device_config_writes, config_write_to_json)}};
}

std::expected<Application, std::string> application_from_json(const JsonValue& document) {
    JsonProblems problems;
    const JsonPath root;
    JsonObject object(document, root, problems,
                      {"compiler_version", "tiles", "inputs", "outputs", "weights", "host_exchange",
                       "entry_points", "device_config_writes"});
    Application application{
        .compiler_version = object.text("compiler_version"),
        .tiles = object.list("tiles", tile_from_json),
        .inputs = object.list("inputs", binding_from_json),
        .outputs = object.list("outputs", binding_from_json),
        .weights = object.list("weights", binding_from_json),
        .host_exchange = object.record("host_exchange", host_exchange_from_json),
        .entry_points = object.list("entry_points", entry_point_from_json),
        .device_config_writes = object.list("device_config_writes", config_write_from_json)};
    if (problems.any()) {
        return std::unexpected(problems.first());
    }
    return application;
}

}  // namespace vexa_cli
