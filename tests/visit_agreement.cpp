#include "visit_agreement.hpp"

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include <kj/io.h>

#include "reference_profile_reader.hpp"
#include "vexa_package/profile_visitor.hpp"

namespace vexa_package::testing {
namespace {

// Rebuilds the report from what it is handed, checking the order of the calls on the way.
class Recorder final : public ProfileVisitor {
  public:
    void header(const ProfileHeaderView& header) override {
        expect(!header_seen_ && report_.tiles.empty(), "header not first or repeated");
        header_seen_ = true;
        report_.clock_hz = header.clock_hz;
        tile_count_ = header.tile_count;
    }

    void tile(const TileProfileView& tile) override {
        expect(header_seen_ && !in_tile_, "tile before the header or inside another tile");
        expect(tile.index == report_.tiles.size() && tile.index < tile_count_,
               "tile index out of order");
        in_tile_ = true;
        announced_ = tile;
        report_.tiles.push_back({.physical_tile = tile.physical_tile});
    }

    void sample(const CycleSampleView& sample) override {
        expect(in_tile_, "sample outside a tile");
        auto& samples = report_.tiles.back().samples;
        expect(sample.index == samples.size() && sample.index < announced_.sample_count,
               "sample index out of order");
        CycleSample& built = samples.emplace_back();
        built.step = {.local_index = sample.local_index,
                      .phase = sample.phase,
                      .epoch = sample.epoch,
                      .operation = std::string(sample.operation),
                      .kind = sample.kind,
                      .kernel = std::string(sample.kernel)};
        for (const ProfileMetadataView& entry : sample.metadata) {
            built.step.metadata.push_back({std::string(entry.name), std::string(entry.value)});
        }
        built.start_cycle = sample.start_cycle;
        built.end_cycle = sample.end_cycle;
    }

    void tile_end(const TileProfileView& tile) override {
        expect(in_tile_ && tile == announced_, "tile end without its tile");
        expect(report_.tiles.back().samples.size() == tile.sample_count,
               "tile ended before its samples");
        in_tile_ = false;
    }

    // The report as delivered, once the read succeeded; the first broken rule otherwise.
    [[nodiscard]] fuzzing::Violation finished() const {
        if (fault_) {
            return fault_;
        }
        if (!header_seen_ || in_tile_ || report_.tiles.size() != tile_count_) {
            return "a successful visit did not deliver the whole report";
        }
        return std::nullopt;
    }
    [[nodiscard]] const std::optional<std::string>& fault() const noexcept { return fault_; }
    [[nodiscard]] const ProfileReport& report() const noexcept { return report_; }

  private:
    void expect(bool holds, const char* what) {
        if (!holds && !fault_) {
            fault_ = what;
        }
    }

    ProfileReport report_;
    bool header_seen_ = false;
    bool in_tile_ = false;
    std::size_t tile_count_ = 0;
    TileProfileView announced_;
    std::optional<std::string> fault_;
};

using Outcome = std::expected<ProfileReport, PackageError>;

std::string describe(const Outcome& outcome) {
    return outcome ? "a report" : to_string(outcome.error());
}

fuzzing::Violation compare(const char* path, const Outcome& expected, const Outcome& got) {
    const bool same =
        expected.has_value() == got.has_value() &&
        (expected ? *expected == *got : to_string(expected.error()) == to_string(got.error()));
    if (same) {
        return std::nullopt;
    }
    return std::string(path) + ": expected " + describe(expected) + ", got " + describe(got);
}

// The outcome of one visit as a report, or the visitor's own complaint.
template <typename Input>
std::expected<Outcome, std::string> visited(Input& input) {
    Recorder recorder;
    const auto result = visit_profile(input, recorder);
    if (recorder.fault()) {
        return std::unexpected(*recorder.fault());
    }
    if (!result) {
        return Outcome(std::unexpected(result.error()));
    }
    if (auto fault = recorder.finished()) {
        return std::unexpected(*fault);
    }
    return Outcome(recorder.report());
}

// The length of the framed message at the front of `input`, which has been read successfully.
std::size_t message_bytes(std::span<const std::uint8_t> input) {
    const auto word32 = [&](std::size_t index) {
        std::uint32_t value = 0;
        std::memcpy(&value, input.data() + 4 * index, 4);
        return std::size_t{value};
    };
    const std::size_t segments = word32(0) + 1;
    std::size_t words = segments / 2 + 1;
    for (std::size_t segment = 0; segment < segments; ++segment) {
        words += word32(segment + 1);
    }
    return words * 8;
}

}  // namespace

fuzzing::Violation check_visit_agreement(std::span<const std::uint8_t> input) {
    const Outcome expected = reference_profile_read(input);

    // One byte in, the copy is misaligned wherever the vector's storage lies.
    std::vector<std::uint8_t> shifted(input.size() + 1);
    if (!input.empty()) {
        std::memcpy(shifted.data() + 1, input.data(), input.size());
    }
    const std::span<const std::uint8_t> unaligned(shifted.data() + 1, input.size());

    struct Path {
        const char* name;
        std::expected<Outcome, std::string> outcome;
    };
    kj::ArrayInputStream stream(kj::arrayPtr(input.data(), input.size()));
    const Path paths[] = {{"visit aligned", visited(input)},
                          {"visit unaligned", visited(unaligned)},
                          {"visit stream", visited(stream)}};
    for (const Path& path : paths) {
        if (!path.outcome) {
            return std::string(path.name) + ": " + path.outcome.error();
        }
        // A stream reports a short message in words of its own, so two framing failures
        // agree whatever their text.
        const Outcome& got = *path.outcome;
        if (std::strcmp(path.name, "visit stream") == 0 && !expected && !got &&
            expected.error().kind() == PackageError::Kind::Capnp &&
            got.error().kind() == PackageError::Kind::Capnp) {
            continue;
        }
        if (auto mismatch = compare(path.name, expected, got)) {
            return mismatch;
        }
    }
    if (expected) {
        std::vector<std::uint8_t> rest(input.size());
        const std::size_t left = stream.tryRead(rest.data(), 0, rest.size());
        if (left != input.size() - message_bytes(input)) {
            return "visit stream: not left just after the message";
        }
    }
    return compare("read aligned", expected, ProfileReport::read(input));
}

}  // namespace vexa_package::testing
