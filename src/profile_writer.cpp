// Adding a field to the profile format takes four steps, in this order:
//
//  1. Build: store it in `fill_profile`, `fill_tile` or `fill_step` at its place in the build
//     order. Every object lies where the objects built before it leave room, so the order
//     fixes the bytes of everything after the field.
//  2. Plan: place it in `plan_profile` at the same point of the order, with its size in words,
//     if it is an object of its own (a text, list or struct); a scalar lies inside its struct
//     and is not planned. An object of a step also counts in `step_object_words`. A plan that
//     disagrees with the build still gives the right bytes, by building again with the
//     default builder and copying, but every write then costs two builds: the tests below
//     are what keep the plan right.
//  3. Reference: store it in the same order in `tests/support/reference_writers.cpp`, which
//     builds with Cap'n Proto's default builder, and give it values in
//     `tests/support/random_models.cpp`.
//     `tests/writer_bytes_test.cpp` then compares the bytes and the plan with the reference.
//  4. Read it back in `profile_visitor.cpp` (and `tests/support/reference_profile_reader.cpp`),
//     charging what it becomes against the read's budget before it is made.
#include <cstdint>
#include <expected>
#include <optional>

#include <capnp/message.h>
#include <kj/debug.h>

#include "capnp_boundary.hpp"
#include "message_plans.hpp"
#include "placed_message.hpp"
#include "profile.capnp.h"
#include "segment_plan.hpp"
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

constexpr std::uint64_t step_words = capnp::sizeInWords<profile_capnp::ProfileStep>();
constexpr std::uint64_t entry_words = capnp::sizeInWords<profile_capnp::MetadataEntry>();

// The words of a step with its texts and metadata, or nothing when one of its texts or its
// metadata list is too long to add up quickly (far below the lengths the build refuses).
std::optional<std::uint64_t> step_object_words(const ProfileStep& step) {
    constexpr std::size_t quick_length = std::size_t{1} << 20;
    if (step.operation.size() >= quick_length || step.kernel.size() >= quick_length ||
        step.metadata.size() >= quick_length) [[unlikely]] {
        return std::nullopt;
    }
    using detail::SegmentPlan;
    std::uint64_t words = step_words + SegmentPlan::text_words(step.operation.size()) +
                          SegmentPlan::text_words(step.kernel.size()) + 1 +
                          step.metadata.size() * entry_words;
    for (const ProfileMetadata& entry : step.metadata) {
        if (entry.name.size() >= quick_length || entry.value.size() >= quick_length) [[unlikely]] {
            return std::nullopt;
        }
        words += SegmentPlan::text_words(entry.name.size()) +
                 SegmentPlan::text_words(entry.value.size());
    }
    return words;
}

}  // namespace

// Follows fill_profile object by object, in the same order: where an object lies depends on
// everything placed before it. A step whose objects all fit beside the samples list is placed
// in one go.
detail::SegmentPlan detail::plan_profile(const ProfileReport& report) {
    detail::SegmentPlan plan;
    const auto root = plan.place_root(capnp::sizeInWords<profile_capnp::Profile>());
    const auto tiles = plan.place_struct_list(root, report.tiles.size(),
                                              capnp::sizeInWords<profile_capnp::TileProfile>());
    for (const TileProfile& tile : report.tiles) {
        const auto samples = plan.place_struct_list(
            tiles, tile.samples.size(), capnp::sizeInWords<profile_capnp::CycleSample>());
        for (const CycleSample& sample : tile.samples) {
            const ProfileStep& step = sample.step;
            if (const auto words = step_object_words(step);
                words && plan.place_together(samples, *words)) [[likely]] {
                continue;
            }
            const auto stored = plan.place_struct(samples, step_words);
            plan.place_text(stored, step.operation.size());
            plan.place_text(stored, step.kernel.size());
            const auto metadata = plan.place_struct_list(stored, step.metadata.size(), entry_words);
            for (const ProfileMetadata& entry : step.metadata) {
                plan.place_text(metadata, entry.name.size());
                plan.place_text(metadata, entry.value.size());
            }
        }
    }
    return plan;
}

namespace {

// One body for both outputs: the message is built once, in its final place, unless the build
// strays from its plan.
template <typename Output>
std::expected<void, PackageError> write_profile(const ProfileReport& report, Output& output) {
    return detail::at_capnp_boundary([&]() -> std::expected<void, PackageError> {
        detail::write_placed(output, detail::plan_profile(report),
                             [&](capnp::MessageBuilder& message) {
                                 fill_profile(message.initRoot<profile_capnp::Profile>(), report);
                             });
        return {};
    });
}

}  // namespace

std::expected<void, PackageError> ProfileReport::write(kj::OutputStream& output) const {
    return write_profile(*this, output);
}

std::expected<void, PackageError> ProfileReport::write(Bytes& output) const {
    return write_profile(*this, output);
}

}  // namespace vexa_package
