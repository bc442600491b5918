#include "vexa_package/profile_visitor.hpp"

#include <cstdint>
#include <exception>
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

namespace vexa_package {
namespace {

// Fields are read in a fixed order and the first fault ends the read, so among several
// faults the one reported depends only on this order: per sample the step (local index,
// phase, epoch, operation, kind, kernel, metadata names and values), then the cycles; per
// tile its samples, then its number. Data fields cannot fail to read, so announcing a tile's
// number and the clock before the lists they follow in that order changes no outcome.

PackageError version_error(std::uint32_t version) {
    return PackageError::invalid("unsupported profile schema version " + std::to_string(version));
}

ProfileStepKind read_kind(profile_capnp::StepKind kind) {
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
    throw detail::Refusal{PackageError(NotInSchema{static_cast<std::uint16_t>(kind)})};
}

std::string_view read_text(capnp::Text::Reader stored) {
    const std::string_view text(stored.begin(), stored.size());
    if (auto error = detail::find_utf8_error(text)) {
        throw detail::Refusal{PackageError(*error)};
    }
    return text;
}

// Walks one message, keeping any exception of the visitor's own apart from the reader's
// faults so that it reaches the caller unchanged.
//
// Every list and text is charged against the read's budget at what `ProfileReport::read`
// makes of it, whatever the visitor does with it: a visit then refuses exactly the messages
// that reading the model refuses, before the model's records are made. Each metadata entry
// also pays for the view of it that the walk hands over.
class Walk {
  public:
    explicit Walk(ProfileVisitor& visitor) : visitor_(visitor) {}

    void message(const detail::FramedMessage& framed) {
        // The traversal limit and the budget follow the message size, so list lengths that the
        // message does not back with data fail before a visitor can reserve memory for them.
        capnp::FlatArrayMessageReader reader(framed.words(),
                                             detail::bounded_reader_options(framed.words().size()));
        const auto root = reader.getRoot<profile_capnp::Profile>();
        detail::ReadBudget budget(framed.words().size());

        // A null root reads as version 0 and is refused here like any other unknown version;
        // nothing else of the message is looked at first.
        const std::uint32_t version = root.getSchemaVersion();
        if (version == 0 || version > PROFILE_SCHEMA_VERSION) {
            throw detail::Refusal{version_error(version)};
        }

        const auto tiles = root.getTiles();
        budget.charge(tiles.size(), sizeof(TileProfile));
        deliver([&] {
            visitor_.header({.schema_version = version,
                             .clock_hz = root.getClockHz(),
                             .tile_count = tiles.size()});
        });
        for (std::uint32_t index = 0; index < tiles.size(); ++index) {
            tile(index, tiles[index], budget);
        }
    }

    [[nodiscard]] std::exception_ptr visitor_failure() const noexcept { return failure_; }

  private:
    void tile(std::uint32_t index, profile_capnp::TileProfile::Reader stored,
              detail::ReadBudget& budget) {
        const auto samples = stored.getSamples();
        budget.charge(samples.size(), sizeof(CycleSample));
        const TileProfileView view{.index = index,
                                   .physical_tile = stored.getPhysicalTile(),
                                   .sample_count = samples.size()};
        deliver([&] { visitor_.tile(view); });
        CycleSampleView sample;
        for (std::uint32_t position = 0; position < samples.size(); ++position) {
            sample.index = position;
            read_sample(sample, samples[position], budget);
            deliver([&] { visitor_.sample(sample); });
        }
        deliver([&] { visitor_.tile_end(view); });
    }

    void read_sample(CycleSampleView& sample, profile_capnp::CycleSample::Reader stored,
                     detail::ReadBudget& budget) {
        const auto step = stored.getStep();
        sample.local_index = step.getLocalIndex();
        sample.phase = step.getPhase();
        sample.epoch = step.getEpoch();
        sample.operation = read_text(step.getOperation());
        sample.kind = read_kind(step.getKind());
        sample.kernel = read_text(step.getKernel());

        // One buffer for the metadata of every sample: it grows to the largest entry count
        // of one step, not with the number of samples.
        const auto metadata = step.getMetadata();
        budget.charge(metadata.size(), sizeof(ProfileMetadata) + sizeof(ProfileMetadataView));
        metadata_.clear();
        metadata_.reserve(metadata.size());
        // Copies of texts are charged once all of the sample's texts are checked.
        std::uint64_t text_bytes = sample.operation.size() + sample.kernel.size() + 2;
        for (const auto entry : metadata) {
            const std::string_view name = read_text(entry.getName());
            metadata_.push_back({.name = name, .value = read_text(entry.getValue())});
            text_bytes += name.size() + metadata_.back().value.size() + 2;
        }
        budget.charge(1, text_bytes);
        sample.metadata = metadata_;
        sample.start_cycle = stored.getStartCycle();
        sample.end_cycle = stored.getEndCycle();
    }

    // Runs one call of the visitor; whatever it throws is kept and the read ends.
    template <typename Call>
    void deliver(Call&& call) {
        try {
            std::forward<Call>(call)();
        } catch (...) {
            failure_ = std::current_exception();
            throw detail::Refusal{PackageError::invalid("visitor failed")};
        }
    }

    ProfileVisitor& visitor_;
    std::vector<ProfileMetadataView> metadata_;
    std::exception_ptr failure_;
};

template <typename Frame>
std::expected<void, PackageError> visit_framed(Frame&& frame, ProfileVisitor& visitor) {
    Walk walk(visitor);
    auto result = detail::at_capnp_boundary([&]() -> std::expected<void, PackageError> {
        const detail::FramedMessage framed = std::forward<Frame>(frame)();
        walk.message(framed);
        return {};
    });
    if (const std::exception_ptr failure = walk.visitor_failure()) {
        std::rethrow_exception(failure);
    }
    return result;
}

}  // namespace

std::expected<void, PackageError> visit_profile(std::span<const std::uint8_t> input,
                                                ProfileVisitor& visitor) {
    return visit_framed([&] { return detail::FramedMessage::from_bytes(input); }, visitor);
}

std::expected<void, PackageError> visit_profile(kj::InputStream& input, ProfileVisitor& visitor) {
    return visit_framed([&] { return detail::FramedMessage::from_stream(input); }, visitor);
}

}  // namespace vexa_package
