#pragma once

// What must hold between the streaming reader `visit_profile` and `ProfileReport::read` for
// any input: the same error, or exactly the report's content delivered in stored order, from
// an aligned buffer, an unaligned buffer and a stream, and a stream left where read leaves
// it. Header-only, like read_invariants.hpp, so that the fuzz targets and the tests share it.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <kj/io.h>

#include "vexa_package/profile.hpp"
#include "vexa_package/profile_visitor.hpp"
#include "violation.hpp"

namespace vexa_package::fuzzing {

/// Rebuilds the report it is handed, checking on the way that the calls come in stored order
/// with the counts and indices the header and tiles announced.
class ReportRecorder final : public ProfileVisitor {
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
        report_.tiles.push_back({.physical_tile = tile.physical_tile, .samples = {}});
    }

    void sample(const CycleSampleView& sample) override {
        expect(in_tile_ && !report_.tiles.empty(), "sample outside a tile");
        if (report_.tiles.empty()) {
            return;
        }
        auto& samples = report_.tiles.back().samples;
        expect(sample.index == samples.size() && sample.index < announced_.sample_count,
               "sample index out of order");
        CycleSample& built = samples.emplace_back();
        built.step.local_index = sample.local_index;
        built.step.phase = sample.phase;
        built.step.epoch = sample.epoch;
        built.step.operation = std::string(sample.operation);
        built.step.kind = sample.kind;
        built.step.kernel = std::string(sample.kernel);
        for (const ProfileMetadataView& entry : sample.metadata) {
            built.step.metadata.push_back({std::string(entry.name), std::string(entry.value)});
        }
        built.start_cycle = sample.start_cycle;
        built.end_cycle = sample.end_cycle;
    }

    void tile_end(const TileProfileView& tile) override {
        expect(in_tile_ && tile == announced_, "tile end without its tile");
        expect(!report_.tiles.empty() && report_.tiles.back().samples.size() == tile.sample_count,
               "tile ended before its samples");
        in_tile_ = false;
    }

    /// The first call that came out of order, if any.
    [[nodiscard]] const Violation& fault() const noexcept { return fault_; }

    /// After a successful visit: whether the whole announced report was delivered.
    [[nodiscard]] Violation finished() const {
        if (fault_) {
            return fault_;
        }
        if (!header_seen_ || in_tile_ || report_.tiles.size() != tile_count_) {
            return "a successful visit did not deliver the whole report";
        }
        return std::nullopt;
    }

    /// The report as delivered so far.
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
    Violation fault_;
};

/// What one read ended with.
using ReportOutcome = std::expected<ProfileReport, PackageError>;

/// The outcome of visiting `input` as a report, or the visitor's complaint about the calls.
template <typename Input>
[[nodiscard]] std::expected<ReportOutcome, std::string> visited_report(Input&& input) {
    ReportRecorder recorder;
    const auto result = visit_profile(input, recorder);
    if (recorder.fault()) {
        return std::unexpected(*recorder.fault());
    }
    if (!result) {
        return ReportOutcome(std::unexpected(result.error()));
    }
    if (auto fault = recorder.finished()) {
        return std::unexpected(*fault);
    }
    return ReportOutcome(recorder.report());
}

/// The length of the framed message at the front of `input`, which has been read
/// successfully, so that its segment table is complete.
[[nodiscard]] inline std::size_t framed_message_bytes(std::span<const std::uint8_t> input) {
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

/// The outcome of `ProfileReport::read` or of a visit as text, for a description.
[[nodiscard]] inline std::string describe_outcome(const ReportOutcome& outcome) {
    return outcome ? "a report" : to_string(outcome.error());
}

/// Whether two outcomes are the same report or the same error.
[[nodiscard]] inline bool same_outcome(const ReportOutcome& expected, const ReportOutcome& got) {
    if (expected.has_value() != got.has_value()) {
        return false;
    }
    if (expected) {
        return *expected == *got;
    }
    return expected.error().kind() == got.error().kind() &&
           to_string(expected.error()) == to_string(got.error());
}

namespace detail {

[[nodiscard]] inline Violation compare_visit(
    const char* path, const ReportOutcome& read,
    const std::expected<ReportOutcome, std::string>& visit) {
    if (!visit) {
        return std::string("visiting ") + path + ": " + visit.error();
    }
    if (!same_outcome(read, *visit)) {
        return std::string("visiting ") + path + " gives " + describe_outcome(*visit) +
               " where reading it gives " + describe_outcome(read);
    }
    return std::nullopt;
}

}  // namespace detail

/// One input in the three forms the readers take. Words give the aligned copy whatever the
/// caller's buffer; one byte into a byte vector's storage, which is at least word-aligned,
/// gives the unaligned one. Streams are made from the original bytes.
class InputForms {
  public:
    explicit InputForms(std::span<const std::uint8_t> input)
        : input_(input), words_((input.size() + 7) / 8), shifted_(input.size() + 1) {
        if (!input.empty()) {
            std::memcpy(words_.data(), input.data(), input.size());
            std::memcpy(shifted_.data() + 1, input.data(), input.size());
        }
    }

    [[nodiscard]] std::span<const std::uint8_t> input() const noexcept { return input_; }
    [[nodiscard]] std::span<const std::uint8_t> aligned() const noexcept {
        return {reinterpret_cast<const std::uint8_t*>(words_.data()), input_.size()};
    }
    [[nodiscard]] std::span<const std::uint8_t> unaligned() const noexcept {
        return std::span<const std::uint8_t>(shifted_).subspan(1);
    }

  private:
    std::span<const std::uint8_t> input_;
    std::vector<std::uint64_t> words_;
    std::vector<std::uint8_t> shifted_;
};

/// The number of bytes a stream over `input` still holds.
[[nodiscard]] inline std::size_t bytes_left(kj::InputStream& stream, std::size_t input_size) {
    std::vector<std::uint8_t> rest(input_size);
    return stream.tryRead(rest.data(), 0, rest.size());
}

/// What `ProfileReport::read` gives for each form of one input, and how many bytes it left in
/// the stream.
struct ProfileReads {
    ReportOutcome aligned;
    ReportOutcome unaligned;
    ReportOutcome stream;
    std::size_t stream_left = 0;
};

[[nodiscard]] inline ProfileReads read_profile_forms(const InputForms& forms) {
    kj::ArrayInputStream stream(kj::arrayPtr(forms.input().data(), forms.input().size()));
    ProfileReads reads{.aligned = ProfileReport::read(forms.aligned()),
                       .unaligned = ProfileReport::read(forms.unaligned()),
                       .stream = ProfileReport::read(stream)};
    reads.stream_left = bytes_left(stream, forms.input().size());
    return reads;
}

/// Everything `visit_profile` must do with one arbitrary input, judged by what
/// `ProfileReport::read` gave for the same bytes in the same form.
[[nodiscard]] inline Violation check_visit_input(const InputForms& forms,
                                                 const ProfileReads& reads) {
    if (auto broken = detail::compare_visit("an aligned buffer", reads.aligned,
                                            visited_report(forms.aligned()))) {
        return broken;
    }
    if (auto broken = detail::compare_visit("an unaligned buffer", reads.unaligned,
                                            visited_report(forms.unaligned()))) {
        return broken;
    }

    const std::span<const std::uint8_t> input = forms.input();
    kj::ArrayInputStream stream(kj::arrayPtr(input.data(), input.size()));
    if (auto broken = detail::compare_visit("a stream", reads.stream, visited_report(stream))) {
        return broken;
    }
    const std::size_t left = bytes_left(stream, input.size());
    if (left != reads.stream_left) {
        return "visiting a stream leaves " + std::to_string(left) +
               " bytes where reading it leaves " + std::to_string(reads.stream_left);
    }
    if (reads.stream && left != input.size() - framed_message_bytes(input)) {
        return "visiting a stream does not leave it just after the message";
    }
    return std::nullopt;
}

}  // namespace vexa_package::fuzzing
