#include "raw_capnp.hpp"

#include <limits>

#include <capnp/message.h>
#include <capnp/serialize.h>

#include "application.capnp.h"
#include "profile.capnp.h"

namespace vexa_package::bench {
namespace {

namespace wire = application_capnp;

capnp::ReaderOptions unlimited() {
    capnp::ReaderOptions options;
    options.traversalLimitInWords = std::numeric_limits<std::uint64_t>::max();
    return options;
}

kj::ArrayPtr<const capnp::word> as_words(std::span<const std::uint8_t> bytes) {
    return {reinterpret_cast<const capnp::word*>(bytes.data()), bytes.size() / sizeof(capnp::word)};
}

// A zero-copy reader looks at a text or byte list through its pointer and size only.
std::uint64_t blob(capnp::Text::Reader text) {
    return text.size() + reinterpret_cast<std::uintptr_t>(text.begin());
}
std::uint64_t blob(capnp::Data::Reader data) {
    return data.size() + reinterpret_cast<std::uintptr_t>(data.begin());
}

std::uint64_t values(capnp::List<std::uint32_t>::Reader list) {
    std::uint64_t sum = 0;
    for (const std::uint32_t value : list) {
        sum += value;
    }
    return sum;
}

std::uint64_t bindings(capnp::List<wire::Binding>::Reader list) {
    std::uint64_t sum = 0;
    for (const auto binding : list) {
        sum += blob(binding.getName()) + blob(binding.getDtype()) + values(binding.getShape());
        for (const auto slice : binding.getSlices()) {
            sum +=
                slice.getTile() + slice.getTileAddress() + slice.getFileOffset() + slice.getSize();
        }
    }
    return sum;
}

std::uint64_t host_slices(capnp::List<wire::HostSlice>::Reader list) {
    std::uint64_t sum = 0;
    for (const auto slice : list) {
        sum += slice.getPage() + slice.getPageOffset() + slice.getFileOffset() + slice.getSize();
    }
    return sum;
}

std::uint64_t host_exchange(wire::HostExchange::Reader exchange) {
    std::uint64_t sum =
        exchange.getStartupMark() + exchange.getCommandPage() + exchange.getCommandOffset();
    for (const auto page : exchange.getPages()) {
        sum += page.getIndex() + page.getSize();
    }
    sum += values(exchange.getAttachOrder());
    for (const auto call : exchange.getCalls()) {
        sum += blob(call.getName()) + call.getCommand() + call.getPhases() + call.getInvocations();
        sum += host_slices(call.getInputs()) + host_slices(call.getOutputs());
        sum += values(call.getInputBatchEnds()) + values(call.getOutputBatchEnds());
    }
    return sum;
}

void fill_bindings(capnp::List<wire::Binding>::Builder list, const std::vector<Binding>& model) {
    for (std::uint32_t i = 0; i < model.size(); ++i) {
        const Binding& binding = model[i];
        auto out = list[i];
        out.setName(capnp::Text::Reader(binding.name.data(), binding.name.size()));
        out.setDtype(capnp::Text::Reader(binding.dtype.data(), binding.dtype.size()));
        auto shape = out.initShape(static_cast<std::uint32_t>(binding.shape.size()));
        for (std::uint32_t j = 0; j < binding.shape.size(); ++j) {
            shape.set(j, binding.shape[j]);
        }
        auto slices = out.initSlices(static_cast<std::uint32_t>(binding.slices.size()));
        for (std::uint32_t j = 0; j < binding.slices.size(); ++j) {
            const RegionSlice& slice = binding.slices[j];
            slices[j].setTile(slice.tile);
            slices[j].setTileAddress(slice.tile_address);
            slices[j].setFileOffset(slice.file_offset);
            slices[j].setSize(slice.size);
        }
    }
}

void fill_u32(capnp::List<std::uint32_t>::Builder list, const std::vector<std::uint32_t>& model) {
    for (std::uint32_t i = 0; i < model.size(); ++i) {
        list.set(i, model[i]);
    }
}

void fill_host_slices(capnp::List<wire::HostSlice>::Builder list,
                      const std::vector<HostSlice>& model) {
    for (std::uint32_t i = 0; i < model.size(); ++i) {
        list[i].setPage(model[i].page);
        list[i].setPageOffset(model[i].page_offset);
        list[i].setFileOffset(model[i].file_offset);
        list[i].setSize(model[i].size);
    }
}

void fill_host_exchange(wire::HostExchange::Builder out, const HostExchange& model) {
    out.setStartupMark(model.startup_mark);
    out.setCommandPage(model.command_page);
    out.setCommandOffset(model.command_offset);
    auto pages = out.initPages(static_cast<std::uint32_t>(model.pages.size()));
    for (std::uint32_t i = 0; i < model.pages.size(); ++i) {
        pages[i].setIndex(model.pages[i].index);
        pages[i].setSize(model.pages[i].size);
    }
    fill_u32(out.initAttachOrder(static_cast<std::uint32_t>(model.attach_order.size())),
             model.attach_order);
    auto calls = out.initCalls(static_cast<std::uint32_t>(model.calls.size()));
    for (std::uint32_t i = 0; i < model.calls.size(); ++i) {
        const HostCall& call = model.calls[i];
        auto call_out = calls[i];
        call_out.setName(capnp::Text::Reader(call.name.data(), call.name.size()));
        call_out.setCommand(call.command);
        call_out.setPhases(call.phases);
        call_out.setInvocations(call.invocations);
        fill_u32(
            call_out.initInputBatchEnds(static_cast<std::uint32_t>(call.input_batch_ends.size())),
            call.input_batch_ends);
        fill_u32(
            call_out.initOutputBatchEnds(static_cast<std::uint32_t>(call.output_batch_ends.size())),
            call.output_batch_ends);
        fill_host_slices(call_out.initInputs(static_cast<std::uint32_t>(call.inputs.size())),
                         call.inputs);
        fill_host_slices(call_out.initOutputs(static_cast<std::uint32_t>(call.outputs.size())),
                         call.outputs);
    }
}

}  // namespace

std::uint64_t traverse_package(std::span<const std::uint8_t> package) {
    capnp::FlatArrayMessageReader message(as_words(package), unlimited());
    const auto root = message.getRoot<wire::Application>();
    std::uint64_t sum = root.getSchemaVersion() + blob(root.getTarget()) +
                        root.getTileMemoryBase() + root.getTileMemorySize() +
                        blob(root.getCompilerVersion());
    for (const auto tile : root.getTiles()) {
        sum += tile.getPhysicalTile() + tile.getEntryPoint() + tile.getCommandAddress() +
               tile.getDiagnosticAddress();
        for (const auto segment : tile.getSegments()) {
            sum += segment.getAddress() + segment.getMemorySize() + blob(segment.getData()) +
                   segment.getFlags();
        }
    }
    sum += bindings(root.getInputs()) + bindings(root.getOutputs()) + bindings(root.getWeights());
    sum += host_exchange(root.getHostExchange());
    for (const auto entry : root.getEntryPoints()) {
        sum += blob(entry.getName()) + entry.getCommand() + entry.getExternalSyncs();
    }
    for (const auto write : root.getDeviceConfigWrites()) {
        sum += write.getOffset() + write.getValue();
    }
    return sum;
}

std::uint64_t traverse_profile(std::span<const std::uint8_t> report) {
    capnp::FlatArrayMessageReader message(as_words(report), unlimited());
    const auto root = message.getRoot<profile_capnp::Profile>();
    std::uint64_t sum = root.getSchemaVersion() + root.getClockHz();
    for (const auto tile : root.getTiles()) {
        sum += tile.getPhysicalTile();
        for (const auto sample : tile.getSamples()) {
            const auto step = sample.getStep();
            sum += step.getLocalIndex() + step.getPhase() + step.getEpoch() +
                   blob(step.getOperation()) + static_cast<std::uint16_t>(step.getKind()) +
                   blob(step.getKernel());
            for (const auto entry : step.getMetadata()) {
                sum += blob(entry.getName()) + blob(entry.getValue());
            }
            sum += sample.getStartCycle() + sample.getEndCycle();
        }
    }
    return sum;
}

kj::Array<capnp::word> build_package(const Application& application) {
    capnp::MallocMessageBuilder message;
    auto root = message.initRoot<wire::Application>();
    root.setSchemaVersion(PACKAGE_SCHEMA_VERSION);
    root.setCompilerVersion(capnp::Text::Reader(application.compiler_version.data(),
                                                application.compiler_version.size()));
    root.setTarget(capnp::Text::Reader(PACKAGE_TARGET.data(), PACKAGE_TARGET.size()));
    root.setTileMemoryBase(TILE_MEMORY_BASE);
    root.setTileMemorySize(TILE_MEMORY_SIZE);

    auto tiles = root.initTiles(static_cast<std::uint32_t>(application.tiles.size()));
    for (std::uint32_t i = 0; i < application.tiles.size(); ++i) {
        const TileImage& tile = application.tiles[i];
        auto out = tiles[i];
        out.setPhysicalTile(tile.physical_tile);
        out.setEntryPoint(tile.entry_point);
        out.setCommandAddress(tile.command_address);
        out.setDiagnosticAddress(tile.diagnostic_address);
        auto segments = out.initSegments(static_cast<std::uint32_t>(tile.segments.size()));
        for (std::uint32_t j = 0; j < tile.segments.size(); ++j) {
            const Segment& segment = tile.segments[j];
            segments[j].setAddress(segment.address);
            segments[j].setMemorySize(segment.memory_size);
            segments[j].setData(capnp::Data::Reader(segment.data.data(), segment.data.size()));
            segments[j].setFlags(segment.flags);
        }
    }
    fill_bindings(root.initInputs(static_cast<std::uint32_t>(application.inputs.size())),
                  application.inputs);
    fill_bindings(root.initOutputs(static_cast<std::uint32_t>(application.outputs.size())),
                  application.outputs);
    fill_bindings(root.initWeights(static_cast<std::uint32_t>(application.weights.size())),
                  application.weights);
    fill_host_exchange(root.initHostExchange(), application.host_exchange);
    auto entries =
        root.initEntryPoints(static_cast<std::uint32_t>(application.entry_points.size()));
    for (std::uint32_t i = 0; i < application.entry_points.size(); ++i) {
        const EntryPoint& entry = application.entry_points[i];
        entries[i].setName(capnp::Text::Reader(entry.name.data(), entry.name.size()));
        entries[i].setCommand(entry.command);
        entries[i].setExternalSyncs(entry.external_syncs);
    }
    auto writes = root.initDeviceConfigWrites(
        static_cast<std::uint32_t>(application.device_config_writes.size()));
    for (std::uint32_t i = 0; i < application.device_config_writes.size(); ++i) {
        writes[i].setOffset(application.device_config_writes[i].offset);
        writes[i].setValue(application.device_config_writes[i].value);
    }
    return capnp::messageToFlatArray(message);
}

kj::Array<capnp::word> build_profile(const ProfileReport& report) {
    capnp::MallocMessageBuilder message;
    auto root = message.initRoot<profile_capnp::Profile>();
    root.setSchemaVersion(PROFILE_SCHEMA_VERSION);
    root.setClockHz(report.clock_hz);
    auto tiles = root.initTiles(static_cast<std::uint32_t>(report.tiles.size()));
    for (std::uint32_t i = 0; i < report.tiles.size(); ++i) {
        const TileProfile& tile = report.tiles[i];
        auto tile_out = tiles[i];
        tile_out.setPhysicalTile(tile.physical_tile);
        auto samples = tile_out.initSamples(static_cast<std::uint32_t>(tile.samples.size()));
        for (std::uint32_t j = 0; j < tile.samples.size(); ++j) {
            const CycleSample& sample = tile.samples[j];
            auto sample_out = samples[j];
            sample_out.setStartCycle(sample.start_cycle);
            sample_out.setEndCycle(sample.end_cycle);
            auto step = sample_out.initStep();
            step.setLocalIndex(sample.step.local_index);
            step.setPhase(sample.step.phase);
            step.setEpoch(sample.step.epoch);
            step.setOperation(
                capnp::Text::Reader(sample.step.operation.data(), sample.step.operation.size()));
            step.setKind(static_cast<profile_capnp::StepKind>(sample.step.kind));
            step.setKernel(
                capnp::Text::Reader(sample.step.kernel.data(), sample.step.kernel.size()));
            auto metadata =
                step.initMetadata(static_cast<std::uint32_t>(sample.step.metadata.size()));
            for (std::uint32_t k = 0; k < sample.step.metadata.size(); ++k) {
                const ProfileMetadata& entry = sample.step.metadata[k];
                auto entry_out = metadata[k];
                entry_out.setName(capnp::Text::Reader(entry.name.data(), entry.name.size()));
                entry_out.setValue(capnp::Text::Reader(entry.value.data(), entry.value.size()));
            }
        }
    }
    return capnp::messageToFlatArray(message);
}

}  // namespace vexa_package::bench
