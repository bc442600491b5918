#include <ostream>

#include "render_support.hpp"
#include "vexa_package/application.hpp"

namespace vexa_package {

using detail::RecordRenderer;

std::ostream& operator<<(std::ostream& out, const Segment& value) {
    return RecordRenderer(out, "Segment")
        .field("address", value.address)
        .field("memory_size", value.memory_size)
        .field("data", value.data)
        .field("flags", value.flags)
        .finish();
}

std::ostream& operator<<(std::ostream& out, const TileImage& value) {
    return RecordRenderer(out, "TileImage")
        .field("physical_tile", value.physical_tile)
        .field("entry_point", value.entry_point)
        .field("command_address", value.command_address)
        .field("diagnostic_address", value.diagnostic_address)
        .field("segments", value.segments)
        .finish();
}

std::ostream& operator<<(std::ostream& out, const RegionSlice& value) {
    return RecordRenderer(out, "RegionSlice")
        .field("tile", value.tile)
        .field("tile_address", value.tile_address)
        .field("file_offset", value.file_offset)
        .field("size", value.size)
        .finish();
}

std::ostream& operator<<(std::ostream& out, const Binding& value) {
    return RecordRenderer(out, "Binding")
        .field("name", value.name)
        .field("dtype", value.dtype)
        .field("shape", value.shape)
        .field("slices", value.slices)
        .finish();
}

std::ostream& operator<<(std::ostream& out, const HostPage& value) {
    return RecordRenderer(out, "HostPage")
        .field("index", value.index)
        .field("size", value.size)
        .finish();
}

std::ostream& operator<<(std::ostream& out, const HostSlice& value) {
    return RecordRenderer(out, "HostSlice")
        .field("page", value.page)
        .field("page_offset", value.page_offset)
        .field("file_offset", value.file_offset)
        .field("size", value.size)
        .finish();
}

std::ostream& operator<<(std::ostream& out, const HostCall& value) {
    return RecordRenderer(out, "HostCall")
        .field("name", value.name)
        .field("command", value.command)
        .field("phases", value.phases)
        .field("inputs", value.inputs)
        .field("outputs", value.outputs)
        .field("invocations", value.invocations)
        .field("input_batch_ends", value.input_batch_ends)
        .field("output_batch_ends", value.output_batch_ends)
        .finish();
}

std::ostream& operator<<(std::ostream& out, const HostExchange& value) {
    return RecordRenderer(out, "HostExchange")
        .field("startup_mark", value.startup_mark)
        .field("command_page", value.command_page)
        .field("command_offset", value.command_offset)
        .field("pages", value.pages)
        .field("attach_order", value.attach_order)
        .field("calls", value.calls)
        .finish();
}

std::ostream& operator<<(std::ostream& out, const EntryPoint& value) {
    return RecordRenderer(out, "EntryPoint")
        .field("name", value.name)
        .field("command", value.command)
        .field("external_syncs", value.external_syncs)
        .finish();
}

std::ostream& operator<<(std::ostream& out, const DeviceConfigWrite& value) {
    return RecordRenderer(out, "DeviceConfigWrite")
        .field("offset", value.offset)
        .field("value", value.value)
        .finish();
}

std::ostream& operator<<(std::ostream& out, const Application& value) {
    return RecordRenderer(out, "Application")
        .field("compiler_version", value.compiler_version)
        .field("tiles", value.tiles)
        .field("inputs", value.inputs)
        .field("outputs", value.outputs)
        .field("weights", value.weights)
        .field("host_exchange", value.host_exchange)
        .field("entry_points", value.entry_points)
        .field("device_config_writes", value.device_config_writes)
        .finish();
}

std::string to_string(const Segment& value) {
    return detail::render_to_string(value);
}
std::string to_string(const TileImage& value) {
    return detail::render_to_string(value);
}
std::string to_string(const RegionSlice& value) {
    return detail::render_to_string(value);
}
std::string to_string(const Binding& value) {
    return detail::render_to_string(value);
}
std::string to_string(const HostPage& value) {
    return detail::render_to_string(value);
}
std::string to_string(const HostSlice& value) {
    return detail::render_to_string(value);
}
std::string to_string(const HostCall& value) {
    return detail::render_to_string(value);
}
std::string to_string(const HostExchange& value) {
    return detail::render_to_string(value);
}
std::string to_string(const EntryPoint& value) {
    return detail::render_to_string(value);
}
std::string to_string(const DeviceConfigWrite& value) {
    return detail::render_to_string(value);
}
std::string to_string(const Application& value) {
    return detail::render_to_string(value);
}

}  // namespace vexa_package
