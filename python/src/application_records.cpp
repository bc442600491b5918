#include "application_records.hpp"

#include <Python.h>

#include "field_conversion.hpp"

namespace vexa_package::python {

namespace py = pybind11;

Segment segment_from_python(py::handle record) {
    const FieldReader fields(record, "Segment");
    return Segment{.address = fields.u32("address"),
                   .memory_size = fields.u32("memory_size"),
                   .data = fields.bytes("data"),
                   .flags = fields.u32("flags")};
}

TileImage tile_image_from_python(py::handle record, const RecordClasses& classes) {
    const FieldReader fields(record, "TileImage");
    return TileImage{.physical_tile = fields.u32("physical_tile"),
                     .entry_point = fields.u32("entry_point"),
                     .command_address = fields.u32("command_address"),
                     .diagnostic_address = fields.u32("diagnostic_address"),
                     .segments = fields.records("segments", classes.segment, segment_from_python)};
}

RegionSlice region_slice_from_python(py::handle record) {
    const FieldReader fields(record, "RegionSlice");
    return RegionSlice{.tile = fields.u32("tile"),
                       .tile_address = fields.u32("tile_address"),
                       .file_offset = fields.u64("file_offset"),
                       .size = fields.u64("size")};
}

Binding binding_from_python(py::handle record, const RecordClasses& classes) {
    const FieldReader fields(record, "Binding");
    return Binding{
        .name = fields.text("name"),
        .dtype = fields.text("dtype"),
        .shape = fields.u32_list("shape"),
        .slices = fields.records("slices", classes.region_slice, region_slice_from_python)};
}

HostPage host_page_from_python(py::handle record) {
    const FieldReader fields(record, "HostPage");
    return HostPage{.index = fields.u32("index"), .size = fields.u64("size")};
}

HostSlice host_slice_from_python(py::handle record) {
    const FieldReader fields(record, "HostSlice");
    return HostSlice{.page = fields.u32("page"),
                     .page_offset = fields.u64("page_offset"),
                     .file_offset = fields.u64("file_offset"),
                     .size = fields.u64("size")};
}

HostCall host_call_from_python(py::handle record, const RecordClasses& classes) {
    const FieldReader fields(record, "HostCall");
    return HostCall{
        .name = fields.text("name"),
        .command = fields.u32("command"),
        .phases = fields.u32("phases"),
        .inputs = fields.records("inputs", classes.host_slice, host_slice_from_python),
        .outputs = fields.records("outputs", classes.host_slice, host_slice_from_python),
        .invocations = fields.u32("invocations"),
        .input_batch_ends = fields.u32_list("input_batch_ends"),
        .output_batch_ends = fields.u32_list("output_batch_ends")};
}

HostExchange host_exchange_from_python(py::handle record, const RecordClasses& classes) {
    const FieldReader fields(record, "HostExchange");
    const auto call = [&](py::handle item) { return host_call_from_python(item, classes); };
    return HostExchange{.startup_mark = fields.u32("startup_mark"),
                        .command_page = fields.u32("command_page"),
                        .command_offset = fields.u64("command_offset"),
                        .pages = fields.records("pages", classes.host_page, host_page_from_python),
                        .attach_order = fields.u32_list("attach_order"),
                        .calls = fields.records("calls", classes.host_call, call)};
}

EntryPoint entry_point_from_python(py::handle record) {
    const FieldReader fields(record, "EntryPoint");
    return EntryPoint{.name = fields.text("name"),
                      .command = fields.u32("command"),
                      .external_syncs = fields.u32("external_syncs")};
}

DeviceConfigWrite device_config_write_from_python(py::handle record) {
    const FieldReader fields(record, "DeviceConfigWrite");
    return DeviceConfigWrite{.offset = fields.u32("offset"), .value = fields.u32("value")};
}

Application application_from_python(py::handle record, const RecordClasses& classes) {
    const FieldReader fields(record, "Application");
    const auto tile = [&](py::handle item) { return tile_image_from_python(item, classes); };
    const auto binding = [&](py::handle item) { return binding_from_python(item, classes); };
    return Application{
        .compiler_version = fields.text("compiler_version"),
        .tiles = fields.records("tiles", classes.tile_image, tile),
        .inputs = fields.records("inputs", classes.binding, binding),
        .outputs = fields.records("outputs", classes.binding, binding),
        .weights = fields.records("weights", classes.binding, binding),
        .host_exchange = host_exchange_from_python(
            fields.record("host_exchange", classes.host_exchange), classes),
        .entry_points =
            fields.records("entry_points", classes.entry_point, entry_point_from_python),
        .device_config_writes = fields.records("device_config_writes", classes.device_config_write,
                                               device_config_write_from_python)};
}

Application tile_of_application_from_python(py::handle record, std::uint32_t physical_tile,
                                            const RecordClasses& classes) {
    // The tile numbers of the tiles before the match are checked like any field; nothing
    // else of the application is read.
    const auto tiles = FieldReader(record, "Application")
                           .records("tiles", classes.tile_image, [](py::handle item) {
                               return py::reinterpret_borrow<py::object>(item);
                           });
    Application application;
    for (const py::object& tile : tiles) {
        if (FieldReader(tile, "TileImage").u32("physical_tile") == physical_tile) {
            application.tiles.push_back(tile_image_from_python(tile, classes));
            break;
        }
    }
    return application;
}

namespace {

py::object segment_to_python(const Segment& segment, const RecordClasses& classes) {
    return RecordBuilder(classes.segment)
        .set("address", python_int(segment.address))
        .set("memory_size", python_int(segment.memory_size))
        .set("data", python_bytes(segment.data))
        .set("flags", python_int(segment.flags))
        .finish();
}

py::object tile_image_to_python(const TileImage& tile, const RecordClasses& classes) {
    return RecordBuilder(classes.tile_image)
        .set("physical_tile", python_int(tile.physical_tile))
        .set("entry_point", python_int(tile.entry_point))
        .set("command_address", python_int(tile.command_address))
        .set("diagnostic_address", python_int(tile.diagnostic_address))
        .set("segments", python_list(tile.segments,
                                     [&](const Segment& segment) {
                                         return segment_to_python(segment, classes);
                                     }))
        .finish();
}

py::object region_slice_to_python(const RegionSlice& slice, const RecordClasses& classes) {
    return RecordBuilder(classes.region_slice)
        .set("tile", python_int(slice.tile))
        .set("tile_address", python_int(slice.tile_address))
        .set("file_offset", python_int(slice.file_offset))
        .set("size", python_int(slice.size))
        .finish();
}

py::object binding_to_python(const Binding& binding, const RecordClasses& classes) {
    return RecordBuilder(classes.binding)
        .set("name", python_text(binding.name))
        .set("dtype", python_text(binding.dtype))
        .set("shape", python_u32_list(binding.shape))
        .set("slices", python_list(binding.slices,
                                   [&](const RegionSlice& slice) {
                                       return region_slice_to_python(slice, classes);
                                   }))
        .finish();
}

py::object host_page_to_python(const HostPage& page, const RecordClasses& classes) {
    return RecordBuilder(classes.host_page)
        .set("index", python_int(page.index))
        .set("size", python_int(page.size))
        .finish();
}

py::object host_slice_to_python(const HostSlice& slice, const RecordClasses& classes) {
    return RecordBuilder(classes.host_slice)
        .set("page", python_int(slice.page))
        .set("page_offset", python_int(slice.page_offset))
        .set("file_offset", python_int(slice.file_offset))
        .set("size", python_int(slice.size))
        .finish();
}

py::object host_call_to_python(const HostCall& call, const RecordClasses& classes) {
    const auto slice = [&](const HostSlice& value) { return host_slice_to_python(value, classes); };
    return RecordBuilder(classes.host_call)
        .set("name", python_text(call.name))
        .set("command", python_int(call.command))
        .set("phases", python_int(call.phases))
        .set("inputs", python_list(call.inputs, slice))
        .set("outputs", python_list(call.outputs, slice))
        .set("invocations", python_int(call.invocations))
        .set("input_batch_ends", python_u32_list(call.input_batch_ends))
        .set("output_batch_ends", python_u32_list(call.output_batch_ends))
        .finish();
}

py::object host_exchange_to_python(const HostExchange& exchange, const RecordClasses& classes) {
    return RecordBuilder(classes.host_exchange)
        .set("startup_mark", python_int(exchange.startup_mark))
        .set("command_page", python_int(exchange.command_page))
        .set("command_offset", python_int(exchange.command_offset))
        .set("pages",
             python_list(exchange.pages,
                         [&](const HostPage& page) { return host_page_to_python(page, classes); }))
        .set("attach_order", python_u32_list(exchange.attach_order))
        .set("calls",
             python_list(exchange.calls,
                         [&](const HostCall& call) { return host_call_to_python(call, classes); }))
        .finish();
}

py::object entry_point_to_python(const EntryPoint& entry, const RecordClasses& classes) {
    return RecordBuilder(classes.entry_point)
        .set("name", python_text(entry.name))
        .set("command", python_int(entry.command))
        .set("external_syncs", python_int(entry.external_syncs))
        .finish();
}

py::object device_config_write_to_python(const DeviceConfigWrite& write,
                                         const RecordClasses& classes) {
    return RecordBuilder(classes.device_config_write)
        .set("offset", python_int(write.offset))
        .set("value", python_int(write.value))
        .finish();
}

}  // namespace

py::object application_to_python(const Application& application, const RecordClasses& classes) {
    const auto binding = [&](const Binding& value) { return binding_to_python(value, classes); };
    return RecordBuilder(classes.application)
        .set("compiler_version", python_text(application.compiler_version))
        .set("tiles", python_list(application.tiles,
                                  [&](const TileImage& tile) {
                                      return tile_image_to_python(tile, classes);
                                  }))
        .set("inputs", python_list(application.inputs, binding))
        .set("outputs", python_list(application.outputs, binding))
        .set("weights", python_list(application.weights, binding))
        .set("host_exchange", host_exchange_to_python(application.host_exchange, classes))
        .set("entry_points", python_list(application.entry_points,
                                         [&](const EntryPoint& entry) {
                                             return entry_point_to_python(entry, classes);
                                         }))
        .set("device_config_writes", python_list(application.device_config_writes,
                                                 [&](const DeviceConfigWrite& write) {
                                                     return device_config_write_to_python(write,
                                                                                          classes);
                                                 }))
        .finish();
}

}  // namespace vexa_package::python
