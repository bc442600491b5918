#include <cstdint>
#include <expected>
#include <string>
#include <utility>
#include <vector>

#include <capnp/serialize.h>

#include "capnp_boundary.hpp"
#include "capnp_text.hpp"
#include "message_input.hpp"
#include "profile.capnp.h"
#include "reader_options.hpp"
#include "vexa_package/profile.hpp"

namespace vexa_package {
namespace {

// Fields are read in a fixed order and the first fault ends the read, so among several
// faults the one reported depends only on this order.

std::expected<ProfileStepKind, PackageError> read_kind(profile_capnp::StepKind kind) {
    // The generated enumeration holds any stored code, so codes outside the schema are
    // caught here rather than being carried into the model.
    switch (kind) {
        case profile_capnp::StepKind::EXCHANGE:
            return ProfileStepKind::Exchange;
        case profile_capnp::StepKind::COMPUTE:
            return ProfileStepKind::Compute;
        case profile_capnp::StepKind::SYNCHRONIZATION:
            return ProfileStepKind::Synchronization;
        case profile_capnp::StepKind::IDLE:
            return ProfileStepKind::Idle;
    }
    return std::unexpected(PackageError(NotInSchema{static_cast<std::uint16_t>(kind)}));
}

std::expected<ProfileMetadata, PackageError> read_metadata(
    profile_capnp::MetadataEntry::Reader entry) {
    auto name = detail::read_text(entry.getName());
    if (!name) {
        return std::unexpected(std::move(name.error()));
    }
    auto value = detail::read_text(entry.getValue());
    if (!value) {
        return std::unexpected(std::move(value.error()));
    }
    return ProfileMetadata{.name = std::move(*name), .value = std::move(*value)};
}

std::expected<ProfileStep, PackageError> read_step(profile_capnp::ProfileStep::Reader stored) {
    ProfileStep step;
    step.local_index = stored.getLocalIndex();
    step.phase = stored.getPhase();
    step.epoch = stored.getEpoch();

    auto operation = detail::read_text(stored.getOperation());
    if (!operation) {
        return std::unexpected(std::move(operation.error()));
    }
    step.operation = std::move(*operation);

    const auto kind = read_kind(stored.getKind());
    if (!kind) {
        return std::unexpected(kind.error());
    }
    step.kind = *kind;

    auto kernel = detail::read_text(stored.getKernel());
    if (!kernel) {
        return std::unexpected(std::move(kernel.error()));
    }
    step.kernel = std::move(*kernel);

    const auto metadata = stored.getMetadata();
    step.metadata.reserve(metadata.size());
    for (const auto entry : metadata) {
        auto converted = read_metadata(entry);
        if (!converted) {
            return std::unexpected(std::move(converted.error()));
        }
        step.metadata.push_back(std::move(*converted));
    }
    return step;
}

std::expected<CycleSample, PackageError> read_sample(profile_capnp::CycleSample::Reader stored) {
    auto step = read_step(stored.getStep());
    if (!step) {
        return std::unexpected(std::move(step.error()));
    }
    return CycleSample{.step = std::move(*step),
                       .start_cycle = stored.getStartCycle(),
                       .end_cycle = stored.getEndCycle()};
}

std::expected<TileProfile, PackageError> read_tile(profile_capnp::TileProfile::Reader stored) {
    TileProfile tile;
    const auto samples = stored.getSamples();
    tile.samples.reserve(samples.size());
    for (const auto sample : samples) {
        auto converted = read_sample(sample);
        if (!converted) {
            return std::unexpected(std::move(converted.error()));
        }
        tile.samples.push_back(std::move(*converted));
    }
    tile.physical_tile = stored.getPhysicalTile();
    return tile;
}

std::expected<ProfileReport, PackageError> read_message(const detail::FramedMessage& framed) {
    // The traversal limit follows the message size, so list lengths that the message does
    // not back with data fail before the reservations below can grow with them.
    capnp::FlatArrayMessageReader reader(framed.words(),
                                         detail::bounded_reader_options(framed.words().size()));
    const auto root = reader.getRoot<profile_capnp::Profile>();

    // A null root reads as version 0 and is refused here like any other unknown version.
    const std::uint32_t version = root.getSchemaVersion();
    if (version == 0 || version > PROFILE_SCHEMA_VERSION) {
        return std::unexpected(
            PackageError::invalid("unsupported profile schema version " + std::to_string(version)));
    }

    ProfileReport report;
    const auto tiles = root.getTiles();
    report.tiles.reserve(tiles.size());
    for (const auto tile : tiles) {
        auto converted = read_tile(tile);
        if (!converted) {
            return std::unexpected(std::move(converted.error()));
        }
        report.tiles.push_back(std::move(*converted));
    }
    report.clock_hz = root.getClockHz();
    return report;
}

}  // namespace

std::expected<ProfileReport, PackageError> ProfileReport::read(
    std::span<const std::uint8_t> input) {
    return detail::at_capnp_boundary([&]() -> std::expected<ProfileReport, PackageError> {
        const auto framed = detail::FramedMessage::from_bytes(input);
        return read_message(framed);
    });
}

std::expected<ProfileReport, PackageError> ProfileReport::read(kj::InputStream& input) {
    return detail::at_capnp_boundary([&]() -> std::expected<ProfileReport, PackageError> {
        const auto framed = detail::FramedMessage::from_stream(input);
        return read_message(framed);
    });
}

}  // namespace vexa_package
