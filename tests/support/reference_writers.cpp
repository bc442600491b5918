#include "support/reference_writers.hpp"

#include <capnp/message.h>
#include <capnp/serialize.h>
#include <kj/debug.h>

#include "application.capnp.h"
#include "capnp_boundary.hpp"
#include "profile.capnp.h"

namespace vexa_package::testing {
namespace {

namespace wire = application_capnp;
using detail::as_text;
using detail::list_length;

void fill_u32(capnp::List<std::uint32_t>::Builder list, const std::vector<std::uint32_t>& values) {
    for (std::uint32_t i = 0; i < values.size(); ++i) {
        list.set(i, values[i]);
    }
}

void fill_tiles(capnp::List<wire::TileImage>::Builder list, const std::vector<TileImage>& tiles) {
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
            segments[j].setAddress(segment.address);
            segments[j].setMemorySize(segment.memory_size);
            segments[j].setData(
                capnp::Data::Reader(segment.data.data(), list_length(segment.data.size())));
            segments[j].setFlags(segment.flags);
        }
    }
}

void fill_bindings(capnp::List<wire::Binding>::Builder list, const std::vector<Binding>& bindings) {
    for (std::uint32_t i = 0; i < bindings.size(); ++i) {
        const Binding& binding = bindings[i];
        auto out = list[i];
        out.setName(as_text(binding.name));
        out.setDtype(as_text(binding.dtype));
        fill_u32(out.initShape(list_length(binding.shape.size())), binding.shape);
        auto slices = out.initSlices(list_length(binding.slices.size()));
        for (std::uint32_t j = 0; j < binding.slices.size(); ++j) {
            slices[j].setTile(binding.slices[j].tile);
            slices[j].setTileAddress(binding.slices[j].tile_address);
            slices[j].setFileOffset(binding.slices[j].file_offset);
            slices[j].setSize(binding.slices[j].size);
        }
    }
}

void fill_host_slices(capnp::List<wire::HostSlice>::Builder list,
                      const std::vector<HostSlice>& slices) {
    for (std::uint32_t i = 0; i < slices.size(); ++i) {
        list[i].setPage(slices[i].page);
        list[i].setPageOffset(slices[i].page_offset);
        list[i].setFileOffset(slices[i].file_offset);
        list[i].setSize(slices[i].size);
    }
}

void fill_host_exchange(wire::HostExchange::Builder out, const HostExchange& exchange) {
    out.setStartupMark(exchange.startup_mark);
    out.setCommandPage(exchange.command_page);
    out.setCommandOffset(exchange.command_offset);
    auto pages = out.initPages(list_length(exchange.pages.size()));
    for (std::uint32_t i = 0; i < exchange.pages.size(); ++i) {
        pages[i].setIndex(exchange.pages[i].index);
        pages[i].setSize(exchange.pages[i].size);
    }
    fill_u32(out.initAttachOrder(list_length(exchange.attach_order.size())), exchange.attach_order);
    auto calls = out.initCalls(list_length(exchange.calls.size()));
    for (std::uint32_t i = 0; i < exchange.calls.size(); ++i) {
        const HostCall& call = exchange.calls[i];
        auto call_out = calls[i];
        call_out.setName(as_text(call.name));
        call_out.setCommand(call.command);
        call_out.setPhases(call.phases);
        call_out.setInvocations(call.invocations);
        fill_u32(call_out.initInputBatchEnds(list_length(call.input_batch_ends.size())),
                 call.input_batch_ends);
        fill_u32(call_out.initOutputBatchEnds(list_length(call.output_batch_ends.size())),
                 call.output_batch_ends);
        fill_host_slices(call_out.initInputs(list_length(call.inputs.size())), call.inputs);
        fill_host_slices(call_out.initOutputs(list_length(call.outputs.size())), call.outputs);
    }
}

void fill_application(wire::Application::Builder root, const Application& application) {
    root.setSchemaVersion(PACKAGE_SCHEMA_VERSION);
    root.setCompilerVersion(as_text(application.compiler_version));
    root.setTarget(as_text(PACKAGE_TARGET));
    root.setTileMemoryBase(TILE_MEMORY_BASE);
    root.setTileMemorySize(TILE_MEMORY_SIZE);
    fill_tiles(root.initTiles(list_length(application.tiles.size())), application.tiles);
    fill_bindings(root.initInputs(list_length(application.inputs.size())), application.inputs);
    fill_bindings(root.initOutputs(list_length(application.outputs.size())), application.outputs);
    fill_bindings(root.initWeights(list_length(application.weights.size())), application.weights);
    fill_host_exchange(root.initHostExchange(), application.host_exchange);
    auto entry_points = root.initEntryPoints(list_length(application.entry_points.size()));
    for (std::uint32_t i = 0; i < application.entry_points.size(); ++i) {
        entry_points[i].setName(as_text(application.entry_points[i].name));
        entry_points[i].setCommand(application.entry_points[i].command);
        entry_points[i].setExternalSyncs(application.entry_points[i].external_syncs);
    }
    auto writes = root.initDeviceConfigWrites(list_length(application.device_config_writes.size()));
    for (std::uint32_t i = 0; i < application.device_config_writes.size(); ++i) {
        writes[i].setOffset(application.device_config_writes[i].offset);
        writes[i].setValue(application.device_config_writes[i].value);
    }
}

profile_capnp::StepKind stored_kind(ProfileStepKind kind) {
    switch (kind) {
        case ProfileStepKind::Exchange:
            return profile_capnp::StepKind::EXCHANGE;
        case ProfileStepKind::Compute:
            return profile_capnp::StepKind::COMPUTE;
        case ProfileStepKind::Synchronization:
            return profile_capnp::StepKind::SYNCHRONIZATION;
        case ProfileStepKind::Idle:
            return profile_capnp::StepKind::IDLE;
    }
    KJ_FAIL_REQUIRE("Step kind is not in the schema.", static_cast<unsigned>(kind));
}

void fill_profile(profile_capnp::Profile::Builder root, const ProfileReport& report) {
    root.setSchemaVersion(PROFILE_SCHEMA_VERSION);
    root.setClockHz(report.clock_hz);
    auto tiles = root.initTiles(list_length(report.tiles.size()));
    for (std::uint32_t i = 0; i < report.tiles.size(); ++i) {
        const TileProfile& tile = report.tiles[i];
        tiles[i].setPhysicalTile(tile.physical_tile);
        auto samples = tiles[i].initSamples(list_length(tile.samples.size()));
        for (std::uint32_t j = 0; j < tile.samples.size(); ++j) {
            const CycleSample& sample = tile.samples[j];
            samples[j].setStartCycle(sample.start_cycle);
            samples[j].setEndCycle(sample.end_cycle);
            auto step = samples[j].initStep();
            step.setLocalIndex(sample.step.local_index);
            step.setPhase(sample.step.phase);
            step.setEpoch(sample.step.epoch);
            step.setOperation(as_text(sample.step.operation));
            step.setKind(stored_kind(sample.step.kind));
            step.setKernel(as_text(sample.step.kernel));
            auto metadata = step.initMetadata(list_length(sample.step.metadata.size()));
            for (std::uint32_t k = 0; k < sample.step.metadata.size(); ++k) {
                metadata[k].setName(as_text(sample.step.metadata[k].name));
                metadata[k].setValue(as_text(sample.step.metadata[k].value));
            }
        }
    }
}

void append(Bytes& output, capnp::MessageBuilder& message) {
    const auto words = capnp::messageToFlatArray(message);
    const auto bytes = words.asBytes();
    output.insert(output.end(), bytes.begin(), bytes.end());
}

}  // namespace

std::expected<void, PackageError> reference_write(const Application& application, Bytes& output,
                                                  unsigned first_segment_words) {
    if (auto valid = application.validate(); !valid) {
        return valid;
    }
    return detail::at_capnp_boundary([&]() -> std::expected<void, PackageError> {
        capnp::MallocMessageBuilder message(first_segment_words);
        fill_application(message.initRoot<wire::Application>(), application);
        append(output, message);
        return {};
    });
}

std::expected<void, PackageError> reference_write(const ProfileReport& report, Bytes& output,
                                                  unsigned first_segment_words) {
    return detail::at_capnp_boundary([&]() -> std::expected<void, PackageError> {
        capnp::MallocMessageBuilder message(first_segment_words);
        fill_profile(message.initRoot<profile_capnp::Profile>(), report);
        append(output, message);
        return {};
    });
}

}  // namespace vexa_package::testing
