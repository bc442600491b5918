#include <utility>

#include <capnp/serialize.h>

#include "application.capnp.h"
#include "capnp_boundary.hpp"
#include "emit.hpp"
#include "message_input.hpp"
#include "read_budget.hpp"
#include "reader_options.hpp"
#include "validation_memory.hpp"
#include "vexa_package/application.hpp"

namespace vexa_package {

namespace wire = application_capnp;

namespace detail {
namespace {

std::vector<std::uint32_t> read_u32_list(capnp::List<std::uint32_t>::Reader list,
                                         ReadBudget& budget) {
    budget.charge(list.size(), sizeof(std::uint32_t));
    std::vector<std::uint32_t> values;
    values.reserve(list.size());
    for (const std::uint32_t value : list) {
        values.push_back(value);
    }
    return values;
}

// `read_text`, charging the copy once the text is known to be UTF-8.
std::expected<std::string, PackageError> read_charged_text(capnp::Text::Reader text,
                                                           ReadBudget& budget) {
    auto view = utf8_view(text);
    if (!view) {
        return std::unexpected(std::move(view.error()));
    }
    budget.charge_copy(view->size());
    return std::string(*view);
}

// Each conversion reads its fields in a fixed order, pointer fields last among equals, so that
// of several faults in one package the first in that order is the one reported. Cap'n Proto
// throws for a pointer of the wrong kind; the exception is turned into an error at the
// boundary of `Application::read`. Each list is charged against the read's budget before its
// records are made, each text and byte list before it is copied.

std::vector<TileImage> read_tiles(capnp::List<wire::TileImage>::Reader list, ReadBudget& budget) {
    budget.charge(list.size(), sizeof(TileImage));
    std::vector<TileImage> tiles;
    tiles.reserve(list.size());
    for (const auto tile : list) {
        TileImage& out = tiles.emplace_back();
        out.physical_tile = tile.getPhysicalTile();
        out.entry_point = tile.getEntryPoint();
        out.command_address = tile.getCommandAddress();
        out.diagnostic_address = tile.getDiagnosticAddress();
        const auto segments = tile.getSegments();
        budget.charge(segments.size(), sizeof(Segment));
        out.segments.reserve(segments.size());
        for (const auto segment : segments) {
            Segment& segment_out = out.segments.emplace_back();
            segment_out.address = segment.getAddress();
            segment_out.memory_size = segment.getMemorySize();
            const auto data = segment.getData();
            budget.charge_copy(data.size());
            segment_out.data.assign(data.begin(), data.end());
            segment_out.flags = segment.getFlags();
        }
    }
    return tiles;
}

std::expected<std::vector<Binding>, PackageError> read_bindings(
    capnp::List<wire::Binding>::Reader list, ReadBudget& budget) {
    budget.charge(list.size(), sizeof(Binding));
    std::vector<Binding> bindings;
    bindings.reserve(list.size());
    for (const auto binding : list) {
        Binding& out = bindings.emplace_back();
        auto name = read_charged_text(binding.getName(), budget);
        if (!name) {
            return std::unexpected(std::move(name.error()));
        }
        out.name = std::move(*name);
        auto dtype = read_charged_text(binding.getDtype(), budget);
        if (!dtype) {
            return std::unexpected(std::move(dtype.error()));
        }
        out.dtype = std::move(*dtype);
        out.shape = read_u32_list(binding.getShape(), budget);
        const auto slices = binding.getSlices();
        budget.charge(slices.size(), sizeof(RegionSlice));
        out.slices.reserve(slices.size());
        for (const auto slice : slices) {
            out.slices.push_back(RegionSlice{.tile = slice.getTile(),
                                             .tile_address = slice.getTileAddress(),
                                             .file_offset = slice.getFileOffset(),
                                             .size = slice.getSize()});
        }
    }
    return bindings;
}

std::vector<HostSlice> read_host_slices(capnp::List<wire::HostSlice>::Reader list,
                                        ReadBudget& budget) {
    budget.charge(list.size(), sizeof(HostSlice));
    std::vector<HostSlice> slices;
    slices.reserve(list.size());
    for (const auto slice : list) {
        slices.push_back(HostSlice{.page = slice.getPage(),
                                   .page_offset = slice.getPageOffset(),
                                   .file_offset = slice.getFileOffset(),
                                   .size = slice.getSize()});
    }
    return slices;
}

std::expected<HostExchange, PackageError> read_host_exchange(wire::HostExchange::Reader exchange,
                                                             ReadBudget& budget) {
    HostExchange out;
    out.startup_mark = exchange.getStartupMark();
    out.command_page = exchange.getCommandPage();
    out.command_offset = exchange.getCommandOffset();
    const auto pages = exchange.getPages();
    budget.charge(pages.size(), sizeof(HostPage));
    out.pages.reserve(pages.size());
    for (const auto page : pages) {
        out.pages.push_back(HostPage{.index = page.getIndex(), .size = page.getSize()});
    }
    out.attach_order = read_u32_list(exchange.getAttachOrder(), budget);
    const auto calls = exchange.getCalls();
    budget.charge(calls.size(), sizeof(HostCall));
    out.calls.reserve(calls.size());
    for (const auto call : calls) {
        HostCall& call_out = out.calls.emplace_back();
        auto name = read_charged_text(call.getName(), budget);
        if (!name) {
            return std::unexpected(std::move(name.error()));
        }
        call_out.name = std::move(*name);
        call_out.command = call.getCommand();
        call_out.phases = call.getPhases();
        call_out.invocations = call.getInvocations();
        call_out.inputs = read_host_slices(call.getInputs(), budget);
        call_out.outputs = read_host_slices(call.getOutputs(), budget);
        call_out.input_batch_ends = read_u32_list(call.getInputBatchEnds(), budget);
        call_out.output_batch_ends = read_u32_list(call.getOutputBatchEnds(), budget);
    }
    return out;
}

}  // namespace
}  // namespace detail

namespace {

// The header names the schema version, the device target and the tile memory window; a
// package made for anything else is refused before any other field is looked at.
std::expected<void, PackageError> check_header(wire::Application::Reader root) {
    const auto incompatible = [] {
        return std::unexpected(PackageError::invalid("incompatible package header"));
    };
    if (root.getSchemaVersion() != PACKAGE_SCHEMA_VERSION) {
        return incompatible();
    }
    auto target = detail::read_text(root.getTarget());
    if (!target) {
        return std::unexpected(std::move(target.error()));
    }
    if (*target != PACKAGE_TARGET || root.getTileMemoryBase() != TILE_MEMORY_BASE ||
        root.getTileMemorySize() != TILE_MEMORY_SIZE) {
        return incompatible();
    }
    return {};
}

std::expected<Application, PackageError> read_application(wire::Application::Reader root,
                                                          detail::ReadBudget& budget) {
    if (auto header = check_header(root); !header) {
        return std::unexpected(std::move(header.error()));
    }
    Application application;
    auto compiler_version = detail::read_charged_text(root.getCompilerVersion(), budget);
    if (!compiler_version) {
        return std::unexpected(std::move(compiler_version.error()));
    }
    application.compiler_version = std::move(*compiler_version);

    application.tiles = detail::read_tiles(root.getTiles(), budget);

    for (auto [bindings, list] : {std::pair{&application.inputs, root.getInputs()},
                                  std::pair{&application.outputs, root.getOutputs()},
                                  std::pair{&application.weights, root.getWeights()}}) {
        auto read = detail::read_bindings(list, budget);
        if (!read) {
            return std::unexpected(std::move(read.error()));
        }
        *bindings = std::move(*read);
    }

    auto exchange = detail::read_host_exchange(root.getHostExchange(), budget);
    if (!exchange) {
        return std::unexpected(std::move(exchange.error()));
    }
    application.host_exchange = std::move(*exchange);

    const auto entry_points = root.getEntryPoints();
    budget.charge(entry_points.size(), sizeof(EntryPoint));
    application.entry_points.reserve(entry_points.size());
    for (const auto entry : entry_points) {
        auto name = detail::read_charged_text(entry.getName(), budget);
        if (!name) {
            return std::unexpected(std::move(name.error()));
        }
        application.entry_points.push_back(EntryPoint{.name = std::move(*name),
                                                      .command = entry.getCommand(),
                                                      .external_syncs = entry.getExternalSyncs()});
    }

    const auto config_writes = root.getDeviceConfigWrites();
    budget.charge(config_writes.size(), sizeof(DeviceConfigWrite));
    application.device_config_writes.reserve(config_writes.size());
    for (const auto write : config_writes) {
        application.device_config_writes.push_back(
            DeviceConfigWrite{.offset = write.getOffset(), .value = write.getValue()});
    }
    return application;
}

template <typename Frame>
std::expected<Application, PackageError> decode_framed(Frame&& frame) {
    return detail::at_capnp_boundary([&]() -> std::expected<Application, PackageError> {
        const detail::FramedMessage framed = frame();
        capnp::FlatArrayMessageReader message(
            framed.words(), detail::bounded_reader_options(framed.words().size()));
        detail::ReadBudget budget(framed.words().size());
        auto read = read_application(message.getRoot<wire::Application>(), budget);
        // Validation's working memory comes out of the same budget, before it is taken.
        if (read) {
            budget.charge(1, detail::validation_memory(*read));
        }
        return read;
    });
}

template <typename Frame>
std::expected<Application, PackageError> read_framed(Frame&& frame) {
    if (auto* sink = detail::sink_for(Level::Info)) {
        detail::emit(*sink, Level::Info, "reading application package");
    }
    auto application = decode_framed(std::forward<Frame>(frame));
    if (!application) {
        return application;
    }
    if (auto valid = application->validate(); !valid) {
        return std::unexpected(std::move(valid.error()));
    }
    if (auto* sink = detail::sink_for(Level::Info)) {
        const EventField fields[] = {{"tiles", std::uint64_t{application->tiles.size()}},
                                     {"compiler", std::string_view(application->compiler_version)}};
        detail::emit(*sink, Level::Info, "application package read", fields);
    }
    return application;
}

}  // namespace

std::expected<Application, PackageError> Application::read(std::span<const std::uint8_t> input) {
    return read_framed([input] { return detail::FramedMessage::from_bytes(input); });
}

std::expected<Application, PackageError> Application::read(kj::InputStream& input) {
    return read_framed([&input] { return detail::FramedMessage::from_stream(input); });
}

std::expected<Application, PackageError> Application::decode(std::span<const std::uint8_t> input) {
    return decode_framed([input] { return detail::FramedMessage::from_bytes(input); });
}

}  // namespace vexa_package
