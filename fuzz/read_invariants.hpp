#pragma once

// What must hold for any input given to the two readers, shared by the fuzz targets and the
// in-process mutation tests; reports are also checked against the streaming reader
// (visit_invariants.hpp). Every check returns a description of the first thing that did
// not hold, or nothing; the fuzz targets abort on a description, the tests report it.
//
// Header-only so that the test program, which builds only the sources of tests/, can use the
// very same checks as the fuzz targets.

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <kj/io.h>

#include "vexa_package/application.hpp"
#include "vexa_package/profile.hpp"
#include "violation.hpp"
#include "visit_invariants.hpp"

namespace vexa_package::fuzzing {

/// Error kinds each reader may return; `Io` comes from neither.
[[nodiscard]] inline bool application_read_may_fail_with(PackageError::Kind kind) noexcept {
    using Kind = PackageError::Kind;
    return kind == Kind::Capnp || kind == Kind::Utf8 || kind == Kind::Invalid;
}

[[nodiscard]] inline bool profile_read_may_fail_with(PackageError::Kind kind) noexcept {
    using Kind = PackageError::Kind;
    return kind == Kind::Capnp || kind == Kind::Utf8 || kind == Kind::SchemaEnum ||
           kind == Kind::Invalid;
}

/// The image a loader expects for one tile, computed here without the library: from the lowest
/// segment address to the furthest segment end, zero except where segment data lies.
[[nodiscard]] inline Bytes expected_tile_image(const TileImage& tile) {
    std::uint32_t base = tile.segments.front().address;
    for (const Segment& segment : tile.segments) {
        base = std::min(base, segment.address);
    }
    std::uint64_t length = 0;
    for (const Segment& segment : tile.segments) {
        length = std::max(length, std::uint64_t{segment.address} - base + segment.memory_size);
    }
    Bytes image(static_cast<std::size_t>(length), 0);
    for (const Segment& segment : tile.segments) {
        std::copy(segment.data.begin(), segment.data.end(),
                  image.begin() + static_cast<std::ptrdiff_t>(segment.address - base));
    }
    return image;
}

/// Invariants of an application the reader accepted: it validates, it survives a write and a
/// read unchanged, writing it is deterministic, and every tile's image has the length and
/// contents its segments imply.
[[nodiscard]] inline Violation check_application_invariants(const Application& application) {
    if (auto valid = application.validate(); !valid) {
        return "accepted application does not validate: " + to_string(valid.error());
    }
    Bytes first;
    if (auto written = application.write(first); !written) {
        return "accepted application does not write: " + to_string(written.error());
    }
    auto reread = Application::read(first);
    if (!reread) {
        return "written application does not read back: " + to_string(reread.error());
    }
    if (*reread != application) {
        return "application read back differs from the one written";
    }
    Bytes second;
    if (!reread->write(second) || second != first) {
        return "second write of the application gives other bytes";
    }
    Bytes again;
    if (!application.write(again) || again != first) {
        return "writing the same application twice gives other bytes";
    }
    for (const TileImage& tile : application.tiles) {
        auto image = application.tile_image(tile.physical_tile);
        if (tile.segments.empty()) {
            if (image || image.error().message() != "tile has no loadable segments") {
                return "tile " + std::to_string(tile.physical_tile) +
                       " without segments is not refused as such";
            }
            continue;
        }
        if (!image) {
            return "tile image of tile " + std::to_string(tile.physical_tile) +
                   " fails: " + to_string(image.error());
        }
        if (*image != expected_tile_image(tile)) {
            return "tile image of tile " + std::to_string(tile.physical_tile) + " has " +
                   std::to_string(image->size()) + " bytes or contents other than its segments";
        }
    }
    return std::nullopt;
}

/// Invariants of a report the reader accepted: it survives a write and a read unchanged, and
/// writing it is deterministic.
[[nodiscard]] inline Violation check_profile_invariants(const ProfileReport& report) {
    Bytes first;
    if (auto written = report.write(first); !written) {
        return "accepted report does not write: " + to_string(written.error());
    }
    auto reread = ProfileReport::read(first);
    if (!reread) {
        return "written report does not read back: " + to_string(reread.error());
    }
    if (*reread != report) {
        return "report read back differs from the one written";
    }
    Bytes second;
    if (!reread->write(second) || second != first) {
        return "second write of the report gives other bytes";
    }
    return std::nullopt;
}

namespace detail {

// Outcomes of two reads of the same bytes must agree: same value, or errors of the same kind
// (and the same text for `Invalid`, whose texts are fixed).
template <typename Value>
[[nodiscard]] Violation compare_outcomes(const std::expected<Value, PackageError>& expected,
                                         const std::expected<Value, PackageError>& actual,
                                         const char* how) {
    if (expected.has_value() != actual.has_value()) {
        return std::string("reading ") + how + " " +
               (actual ? "succeeds" : "fails with " + to_string(actual.error())) +
               " where reading the buffer " +
               (expected ? "succeeds" : "fails with " + to_string(expected.error()));
    }
    if (expected) {
        return *expected == *actual ? Violation() : std::string("reading ") + how + " differs";
    }
    if (expected.error().kind() != actual.error().kind() ||
        (expected.error().kind() == PackageError::Kind::Invalid &&
         expected.error().message() != actual.error().message())) {
        return std::string("reading ") + how + " fails with " + to_string(actual.error()) +
               " instead of " + to_string(expected.error());
    }
    return std::nullopt;
}

// Judges a read on its own: the kinds it may fail with, and no exhausted heap.
template <typename Value, typename MayFail>
[[nodiscard]] Violation judge_read(const std::expected<Value, PackageError>& outcome,
                                   MayFail may_fail) {
    if (!outcome && !may_fail(outcome.error().kind())) {
        return "read fails with a kind it may not give: " + to_string(outcome.error());
    }
    // The readers turn an exhausted heap into a `Capnp` error rather than dying; for inputs of
    // the sizes fuzzed here that can only mean an allocation the input does not back.
    if (!outcome && outcome.error().capnp() != nullptr &&
        std::string_view(outcome.error().capnp()->getDescription().cStr()).find("bad_alloc") !=
            std::string_view::npos) {
        return "read runs out of memory: " + to_string(outcome.error());
    }
    return std::nullopt;
}

// Judges the reads of one input in three forms: the first on its own, the other two against
// it, then the invariants of what it read.
template <typename Value, typename MayFail, typename Check>
[[nodiscard]] Violation judge_forms(const std::expected<Value, PackageError>& outcome,
                                    const std::expected<Value, PackageError>& misaligned,
                                    const std::expected<Value, PackageError>& streamed,
                                    MayFail may_fail, Check check) {
    if (auto broken = judge_read(outcome, may_fail)) {
        return broken;
    }
    if (auto differs = compare_outcomes<Value>(outcome, misaligned, "a misaligned copy")) {
        return differs;
    }
    if (auto differs = compare_outcomes<Value>(outcome, streamed, "a stream")) {
        return differs;
    }
    return outcome ? check(*outcome) : Violation();
}

// Reads `input` three ways, from the buffer, from a misaligned copy (which the reader must copy
// rather than borrow) and from a stream, and judges them.
template <typename Value, typename Read, typename ReadStream, typename MayFail, typename Check>
[[nodiscard]] Violation check_input(std::span<const std::uint8_t> input, Read read,
                                    ReadStream read_stream, MayFail may_fail, Check check) {
    const InputForms forms(input);
    kj::ArrayInputStream stream(kj::arrayPtr(input.data(), input.size()));
    return judge_forms<Value>(read(input), read(forms.unaligned()), read_stream(stream), may_fail,
                              check);
}

}  // namespace detail

/// Everything `Application::read` must do with one arbitrary input.
[[nodiscard]] inline Violation check_application_input(std::span<const std::uint8_t> input) {
    return detail::check_input<Application>(
        input, [](std::span<const std::uint8_t> bytes) { return Application::read(bytes); },
        [](kj::InputStream& stream) { return Application::read(stream); },
        application_read_may_fail_with, check_application_invariants);
}

/// Everything `ProfileReport::read` and `visit_profile` must do with one arbitrary input: the
/// checks of `check_input`, with each form read once and its outcome shared with the visits.
[[nodiscard]] inline Violation check_profile_input(std::span<const std::uint8_t> input) {
    const InputForms forms(input);
    const ProfileReads reads = read_profile_forms(forms);
    if (auto broken = detail::judge_forms<ProfileReport>(reads.aligned, reads.unaligned,
                                                         reads.stream, profile_read_may_fail_with,
                                                         check_profile_invariants)) {
        return broken;
    }
    return check_visit_input(forms, reads);
}

}  // namespace vexa_package::fuzzing
