// Adding a field to the package format takes four steps, in this order:
//
//  1. Build: store it in `build_message` (or in the filling function of its struct) at its
//     place in the build order. Every object lies where the objects built before it leave
//     room, so the order fixes the bytes of everything after the field.
//  2. Plan: place it in `plan_application` at the same point of the order, with its size in
//     words, if it is an object of its own (a text, byte list, list or struct); a scalar lies
//     inside its struct and is not planned. A plan that disagrees with the build still gives
//     the right bytes, by building again with the default builder and copying, but every
//     write then costs two builds: the tests below are what keep the plan right.
//  3. Reference: store it in the same order in `tests/support/reference_writers.cpp`, which
//     builds with Cap'n Proto's default builder, and give it values in
//     `tests/support/random_models.cpp`.
//     `tests/writer_bytes_test.cpp` then compares the bytes and the plan with the reference.
//  4. Read it back in `application_reader.cpp`, charging what it becomes against the read's
//     budget before it is made.
#include <capnp/message.h>

#include "application.capnp.h"
#include "capnp_boundary.hpp"
#include "emit.hpp"
#include "message_plans.hpp"
#include "placed_message.hpp"
#include "segment_plan.hpp"
#include "vexa_package/application.hpp"

namespace vexa_package {

namespace wire = application_capnp;

namespace detail {
namespace {

void write_u32_list(capnp::List<std::uint32_t>::Builder list,
                    const std::vector<std::uint32_t>& values) {
    for (std::uint32_t i = 0; i < values.size(); ++i) {
        list.set(i, values[i]);
    }
}

capnp::Data::Reader as_data(const Bytes& bytes) {
    return capnp::Data::Reader(bytes.data(), list_length(bytes.size()));
}

// The filling functions below receive lists already created at their final length and fill
// element i from model element i. The order of the calls fixes where each object lies in the
// message, so the same application always gives the same bytes.

void write_tiles(capnp::List<wire::TileImage>::Builder list, const std::vector<TileImage>& tiles) {
    for (std::uint32_t i = 0; i < tiles.size(); ++i) {
        const TileImage& tile = tiles[i];
        auto out = list[i];
        out.setPhysicalTile(tile.physical_tile);
        out.setEntryPoint(tile.entry_point);
        out.setCommandAddress(tile.command_address);
        out.setDiagnosticAddress(tile.diagnostic_address);
        auto segments = out.initSegments(list_length(tile.segments.size()));
        for (std::uint32_t j = 0; j < tile.segments.size(); ++j) {
            const Segment& segment = tile.segments[j];
            auto segment_out = segments[j];
            segment_out.setAddress(segment.address);
            segment_out.setMemorySize(segment.memory_size);
            segment_out.setData(as_data(segment.data));
            segment_out.setFlags(segment.flags);
        }
    }
}

void write_bindings(capnp::List<wire::Binding>::Builder list,
                    const std::vector<Binding>& bindings) {
    for (std::uint32_t i = 0; i < bindings.size(); ++i) {
        const Binding& binding = bindings[i];
        auto out = list[i];
        out.setName(as_text(binding.name));
        out.setDtype(as_text(binding.dtype));
        write_u32_list(out.initShape(list_length(binding.shape.size())), binding.shape);
        auto slices = out.initSlices(list_length(binding.slices.size()));
        for (std::uint32_t j = 0; j < binding.slices.size(); ++j) {
            const RegionSlice& slice = binding.slices[j];
            auto slice_out = slices[j];
            slice_out.setTile(slice.tile);
            slice_out.setTileAddress(slice.tile_address);
            slice_out.setFileOffset(slice.file_offset);
            slice_out.setSize(slice.size);
        }
    }
}

void write_host_slices(capnp::List<wire::HostSlice>::Builder list,
                       const std::vector<HostSlice>& slices) {
    for (std::uint32_t i = 0; i < slices.size(); ++i) {
        const HostSlice& slice = slices[i];
        auto out = list[i];
        out.setPage(slice.page);
        out.setPageOffset(slice.page_offset);
        out.setFileOffset(slice.file_offset);
        out.setSize(slice.size);
    }
}

void write_host_exchange(wire::HostExchange::Builder out, const HostExchange& exchange) {
    out.setStartupMark(exchange.startup_mark);
    out.setCommandPage(exchange.command_page);
    out.setCommandOffset(exchange.command_offset);
    auto pages = out.initPages(list_length(exchange.pages.size()));
    for (std::uint32_t i = 0; i < exchange.pages.size(); ++i) {
        pages[i].setIndex(exchange.pages[i].index);
        pages[i].setSize(exchange.pages[i].size);
    }
    write_u32_list(out.initAttachOrder(list_length(exchange.attach_order.size())),
                   exchange.attach_order);
    auto calls = out.initCalls(list_length(exchange.calls.size()));
    for (std::uint32_t i = 0; i < exchange.calls.size(); ++i) {
        const HostCall& call = exchange.calls[i];
        auto call_out = calls[i];
        call_out.setName(as_text(call.name));
        call_out.setCommand(call.command);
        call_out.setPhases(call.phases);
        call_out.setInvocations(call.invocations);
        write_u32_list(call_out.initInputBatchEnds(list_length(call.input_batch_ends.size())),
                       call.input_batch_ends);
        write_u32_list(call_out.initOutputBatchEnds(list_length(call.output_batch_ends.size())),
                       call.output_batch_ends);
        write_host_slices(call_out.initInputs(list_length(call.inputs.size())), call.inputs);
        write_host_slices(call_out.initOutputs(list_length(call.outputs.size())), call.outputs);
    }
}

}  // namespace
}  // namespace detail

namespace {

using detail::as_text;
using detail::list_length;

void build_message(capnp::MessageBuilder& message, const Application& application) {
    auto root = message.initRoot<wire::Application>();
    root.setSchemaVersion(PACKAGE_SCHEMA_VERSION);
    root.setCompilerVersion(as_text(application.compiler_version));
    root.setTarget(as_text(PACKAGE_TARGET));
    root.setTileMemoryBase(TILE_MEMORY_BASE);
    root.setTileMemorySize(TILE_MEMORY_SIZE);

    detail::write_tiles(root.initTiles(list_length(application.tiles.size())), application.tiles);
    detail::write_bindings(root.initInputs(list_length(application.inputs.size())),
                           application.inputs);
    detail::write_bindings(root.initOutputs(list_length(application.outputs.size())),
                           application.outputs);
    detail::write_bindings(root.initWeights(list_length(application.weights.size())),
                           application.weights);
    detail::write_host_exchange(root.initHostExchange(), application.host_exchange);

    auto entry_points = root.initEntryPoints(list_length(application.entry_points.size()));
    for (std::uint32_t i = 0; i < application.entry_points.size(); ++i) {
        const EntryPoint& entry = application.entry_points[i];
        entry_points[i].setName(as_text(entry.name));
        entry_points[i].setCommand(entry.command);
        entry_points[i].setExternalSyncs(entry.external_syncs);
    }
    auto config_writes =
        root.initDeviceConfigWrites(list_length(application.device_config_writes.size()));
    for (std::uint32_t i = 0; i < application.device_config_writes.size(); ++i) {
        config_writes[i].setOffset(application.device_config_writes[i].offset);
        config_writes[i].setValue(application.device_config_writes[i].value);
    }
}

// Follows build_message object by object, in the same order: where an object lies depends on
// everything placed before it.

template <typename Struct>
constexpr std::uint64_t WORDS = capnp::sizeInWords<Struct>();

void plan_bindings(detail::SegmentPlan& plan, detail::SegmentPlan::SegmentId pointer,
                   const std::vector<Binding>& bindings) {
    const auto list = plan.place_struct_list(pointer, bindings.size(), WORDS<wire::Binding>);
    for (const Binding& binding : bindings) {
        plan.place_text(list, binding.name.size());
        plan.place_text(list, binding.dtype.size());
        plan.place_u32_list(list, binding.shape.size());
        plan.place_struct_list(list, binding.slices.size(), WORDS<wire::RegionSlice>);
    }
}

void plan_host_exchange(detail::SegmentPlan& plan, detail::SegmentPlan::SegmentId pointer,
                        const HostExchange& exchange) {
    const auto stored = plan.place_struct(pointer, WORDS<wire::HostExchange>);
    plan.place_struct_list(stored, exchange.pages.size(), WORDS<wire::HostPage>);
    plan.place_u32_list(stored, exchange.attach_order.size());
    const auto calls = plan.place_struct_list(stored, exchange.calls.size(), WORDS<wire::HostCall>);
    for (const HostCall& call : exchange.calls) {
        plan.place_text(calls, call.name.size());
        plan.place_u32_list(calls, call.input_batch_ends.size());
        plan.place_u32_list(calls, call.output_batch_ends.size());
        plan.place_struct_list(calls, call.inputs.size(), WORDS<wire::HostSlice>);
        plan.place_struct_list(calls, call.outputs.size(), WORDS<wire::HostSlice>);
    }
}

}  // namespace

detail::SegmentPlan detail::plan_application(const Application& application) {
    detail::SegmentPlan plan;
    const auto root = plan.place_root(WORDS<wire::Application>);
    plan.place_text(root, application.compiler_version.size());
    plan.place_text(root, PACKAGE_TARGET.size());
    const auto tiles =
        plan.place_struct_list(root, application.tiles.size(), WORDS<wire::TileImage>);
    for (const TileImage& tile : application.tiles) {
        const auto segments =
            plan.place_struct_list(tiles, tile.segments.size(), WORDS<wire::Segment>);
        for (const Segment& segment : tile.segments) {
            plan.place_data(segments, segment.data.size());
        }
    }
    plan_bindings(plan, root, application.inputs);
    plan_bindings(plan, root, application.outputs);
    plan_bindings(plan, root, application.weights);
    plan_host_exchange(plan, root, application.host_exchange);
    const auto entry_points =
        plan.place_struct_list(root, application.entry_points.size(), WORDS<wire::EntryPoint>);
    for (const EntryPoint& entry : application.entry_points) {
        plan.place_text(entry_points, entry.name.size());
    }
    plan.place_struct_list(root, application.device_config_writes.size(),
                           WORDS<wire::DeviceConfigWrite>);
    return plan;
}

namespace {

// One body for both outputs: the message is built once, in its final place, unless the build
// strays from its plan.
template <typename Output>
std::expected<void, PackageError> write_package(const Application& application, Output& output) {
    if (auto valid = application.validate(); !valid) {
        return valid;
    }
    if (auto* sink = detail::sink_for(Level::Info)) {
        const EventField fields[] = {{"tiles", std::uint64_t{application.tiles.size()}}};
        detail::emit(*sink, Level::Info, "writing application package", fields);
    }
    return detail::at_capnp_boundary([&]() -> std::expected<void, PackageError> {
        detail::write_placed(
            output, detail::plan_application(application),
            [&](capnp::MessageBuilder& message) { build_message(message, application); });
        if (auto* sink = detail::sink_for(Level::Info)) {
            detail::emit(*sink, Level::Info, "application package written");
        }
        return {};
    });
}

}  // namespace

std::expected<void, PackageError> Application::write(kj::OutputStream& output) const {
    return write_package(*this, output);
}

std::expected<void, PackageError> Application::write(Bytes& output) const {
    return write_package(*this, output);
}

}  // namespace vexa_package
