// The profile reader as it was before reading was built on the streaming visitor: an
// independent walk of the schema that the tests hold today's readers to, so that a change to
// the streaming reader cannot move an error or a value unnoticed.
#include "support/reference_profile_reader.hpp"

#include <cstdint>
#include <expected>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <capnp/blob.h>
#include <capnp/serialize.h>

#include "capnp_boundary.hpp"
#include "message_input.hpp"
#include "profile.capnp.h"
#include "read_budget.hpp"
#include "reader_options.hpp"
#include "utf8.hpp"
#include "vexa_package/profile_visitor.hpp"

namespace vexa_package::testing {
namespace {

// Fields are read in a fixed order and the first fault ends the read, so among several
// faults the one reported depends only on this order. The read's budget is charged in that
// order too, at the points where today's readers charge it: each list when it is fetched,
// the texts of a step once they are all checked.

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

using Filled = std::expected<void, PackageError>;

// The conversions fill records already in place in their lists: a report holds millions of
// samples, and returning each record by value moved every one of its texts several times on
// the way into the report.

// detail::read_text, copying into the record's own string rather than returning a new one
// to be moved there: that move copied every short text a second time.
Filled read_text_into(std::string& out, capnp::Text::Reader stored) {
    const std::string_view text(stored.begin(), stored.size());
    if (auto error = detail::find_utf8_error(text)) {
        return std::unexpected(PackageError(*error));
    }
    out.assign(text);
    return {};
}

Filled read_step(ProfileStep& step, profile_capnp::ProfileStep::Reader stored,
                 detail::ReadBudget& budget) {
    step.local_index = stored.getLocalIndex();
    step.phase = stored.getPhase();
    step.epoch = stored.getEpoch();
    if (auto read = read_text_into(step.operation, stored.getOperation()); !read) {
        return read;
    }
    const auto kind = read_kind(stored.getKind());
    if (!kind) {
        return std::unexpected(kind.error());
    }
    step.kind = *kind;
    if (auto read = read_text_into(step.kernel, stored.getKernel()); !read) {
        return read;
    }

    const auto metadata = stored.getMetadata();
    // The streaming reader also hands over a view of each entry.
    budget.charge(metadata.size(), sizeof(ProfileMetadata) + sizeof(ProfileMetadataView));
    step.metadata.reserve(metadata.size());
    for (const auto entry : metadata) {
        ProfileMetadata& converted = step.metadata.emplace_back();
        if (auto read = read_text_into(converted.name, entry.getName()); !read) {
            return read;
        }
        if (auto read = read_text_into(converted.value, entry.getValue()); !read) {
            return read;
        }
    }
    std::uint64_t text_bytes = step.operation.size() + step.kernel.size() + 2;
    for (const ProfileMetadata& entry : step.metadata) {
        text_bytes += entry.name.size() + entry.value.size() + 2;
    }
    budget.charge(1, text_bytes);
    return {};
}

Filled read_tile(TileProfile& tile, profile_capnp::TileProfile::Reader stored,
                 detail::ReadBudget& budget) {
    const auto samples = stored.getSamples();
    budget.charge(samples.size(), sizeof(CycleSample));
    tile.samples.reserve(samples.size());
    for (const auto sample : samples) {
        CycleSample& converted = tile.samples.emplace_back();
        if (auto read = read_step(converted.step, sample.getStep(), budget); !read) {
            return read;
        }
        converted.start_cycle = sample.getStartCycle();
        converted.end_cycle = sample.getEndCycle();
    }
    tile.physical_tile = stored.getPhysicalTile();
    return {};
}

std::expected<ProfileReport, PackageError> read_message(const detail::FramedMessage& framed) {
    // The traversal limit and the budget follow the message size, so list lengths that the
    // message does not back with data fail before the reservations below can grow with them.
    capnp::FlatArrayMessageReader reader(framed.words(),
                                         detail::bounded_reader_options(framed.words().size()));
    const auto root = reader.getRoot<profile_capnp::Profile>();

    // A null root reads as version 0 and is refused here like any other unknown version.
    const std::uint32_t version = root.getSchemaVersion();
    if (version == 0 || version > PROFILE_SCHEMA_VERSION) {
        return std::unexpected(
            PackageError::invalid("unsupported profile schema version " + std::to_string(version)));
    }

    detail::ReadBudget budget(framed.words().size());
    ProfileReport report;
    const auto tiles = root.getTiles();
    budget.charge(tiles.size(), sizeof(TileProfile));
    report.tiles.reserve(tiles.size());
    for (const auto tile : tiles) {
        if (auto read = read_tile(report.tiles.emplace_back(), tile, budget); !read) {
            return std::unexpected(std::move(read.error()));
        }
    }
    report.clock_hz = root.getClockHz();
    return report;
}

}  // namespace

std::expected<ProfileReport, PackageError> reference_profile_read(
    std::span<const std::uint8_t> input) {
    return detail::at_capnp_boundary([&]() -> std::expected<ProfileReport, PackageError> {
        const auto framed = detail::FramedMessage::from_bytes(input);
        return read_message(framed);
    });
}

}  // namespace vexa_package::testing
