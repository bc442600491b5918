#include <cstdint>
#include <expected>

#include <capnp/message.h>
#include <capnp/serialize.h>
#include <kj/debug.h>

#include "capnp_boundary.hpp"
#include "message_output.hpp"
#include "profile.capnp.h"
#include "vexa_package/profile.hpp"

namespace vexa_package {
namespace {

// Objects are placed in the message in the order they are filled in, so the order below
// makes the same report always produce the same bytes.

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
    // A value cast into the enumeration from outside its range would be stored as a code
    // that no reader accepts; refuse it instead of writing an unreadable report.
    KJ_FAIL_REQUIRE("Step kind is not in the schema.", static_cast<unsigned>(kind));
}

void fill_step(profile_capnp::ProfileStep::Builder stored, const ProfileStep& step) {
    stored.setLocalIndex(step.local_index);
    stored.setPhase(step.phase);
    stored.setEpoch(step.epoch);
    stored.setOperation(detail::as_text(step.operation));
    stored.setKind(stored_kind(step.kind));
    stored.setKernel(detail::as_text(step.kernel));
    const std::uint32_t count = detail::list_length(step.metadata.size());
    auto metadata = stored.initMetadata(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        auto entry = metadata[i];
        entry.setName(detail::as_text(step.metadata[i].name));
        entry.setValue(detail::as_text(step.metadata[i].value));
    }
}

void fill_tile(profile_capnp::TileProfile::Builder stored, const TileProfile& tile) {
    stored.setPhysicalTile(tile.physical_tile);
    const std::uint32_t count = detail::list_length(tile.samples.size());
    auto samples = stored.initSamples(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        auto sample = samples[i];
        sample.setStartCycle(tile.samples[i].start_cycle);
        sample.setEndCycle(tile.samples[i].end_cycle);
        fill_step(sample.initStep(), tile.samples[i].step);
    }
}

void fill_profile(profile_capnp::Profile::Builder stored, const ProfileReport& report) {
    stored.setSchemaVersion(PROFILE_SCHEMA_VERSION);
    stored.setClockHz(report.clock_hz);
    const std::uint32_t count = detail::list_length(report.tiles.size());
    auto tiles = stored.initTiles(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        fill_tile(tiles[i], report.tiles[i]);
    }
}

}  // namespace

std::expected<void, PackageError> ProfileReport::write(kj::OutputStream& output) const {
    return detail::at_capnp_boundary([&]() -> std::expected<void, PackageError> {
        capnp::MallocMessageBuilder builder;
        fill_profile(builder.initRoot<profile_capnp::Profile>(), *this);
        capnp::writeMessage(output, builder);
        return {};
    });
}

std::expected<void, PackageError> ProfileReport::write(Bytes& output) const {
    detail::AppendingStream stream(output);
    return write(stream);
}

}  // namespace vexa_package
