#include <cstdint>
#include <expected>
#include <span>
#include <utility>
#include <vector>

#include "capnp_boundary.hpp"
#include "vexa_package/profile.hpp"
#include "vexa_package/profile_visitor.hpp"

namespace vexa_package {
namespace {

// Builds the model from the streaming reader, so both ways of reading a report check the
// same things in the same order. The records are filled in place in lists reserved to their
// stored lengths: a report holds millions of samples, and moving each finished record into
// its list would copy every short text once more.
class ModelBuilder final : public ProfileVisitor {
  public:
    void header(const ProfileHeaderView& header) override {
        report_.clock_hz = header.clock_hz;
        report_.tiles.reserve(header.tile_count);
    }

    void tile(const TileProfileView& tile) override {
        TileProfile& built = report_.tiles.emplace_back();
        built.physical_tile = tile.physical_tile;
        built.samples.reserve(tile.sample_count);
        samples_ = &built.samples;
    }

    void sample(const CycleSampleView& sample) override {
        CycleSample& built = samples_->emplace_back();
        built.start_cycle = sample.start_cycle;
        built.end_cycle = sample.end_cycle;
        ProfileStep& step = built.step;
        step.local_index = sample.local_index;
        step.phase = sample.phase;
        step.epoch = sample.epoch;
        step.operation.assign(sample.operation);
        step.kind = sample.kind;
        step.kernel.assign(sample.kernel);
        step.metadata.reserve(sample.metadata.size());
        for (const ProfileMetadataView& entry : sample.metadata) {
            ProfileMetadata& stored = step.metadata.emplace_back();
            stored.name.assign(entry.name);
            stored.value.assign(entry.value);
        }
    }

    [[nodiscard]] ProfileReport take() && { return std::move(report_); }

  private:
    ProfileReport report_;
    std::vector<CycleSample>* samples_ = nullptr;
};

template <typename Input>
std::expected<ProfileReport, PackageError> read_model(Input& input) {
    // Running out of memory while filling the model is reported like any other failure to
    // read, so that no exception leaves the call.
    return detail::at_capnp_boundary([&]() -> std::expected<ProfileReport, PackageError> {
        ModelBuilder builder;
        if (auto visited = visit_profile(input, builder); !visited) {
            return std::unexpected(std::move(visited.error()));
        }
        return std::move(builder).take();
    });
}

}  // namespace

std::expected<ProfileReport, PackageError> ProfileReport::read(
    std::span<const std::uint8_t> input) {
    return read_model(input);
}

std::expected<ProfileReport, PackageError> ProfileReport::read(kj::InputStream& input) {
    return read_model(input);
}

}  // namespace vexa_package
