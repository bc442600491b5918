#include "support/visit_agreement.hpp"

#include <cstring>
#include <string>
#include <vector>

#include <kj/io.h>

#include "support/reference_profile_reader.hpp"

namespace vexa_package::testing {
namespace {

using fuzzing::ReportOutcome;

fuzzing::Violation compare(const char* path, const ReportOutcome& expected,
                           const ReportOutcome& got) {
    if (fuzzing::same_outcome(expected, got)) {
        return std::nullopt;
    }
    return std::string(path) + ": expected " + fuzzing::describe_outcome(expected) + ", got " +
           fuzzing::describe_outcome(got);
}

}  // namespace

fuzzing::Violation check_visit_agreement(std::span<const std::uint8_t> input) {
    const ReportOutcome expected = reference_profile_read(input);

    // One byte in, the copy is misaligned wherever the vector's storage lies.
    std::vector<std::uint8_t> shifted(input.size() + 1);
    if (!input.empty()) {
        std::memcpy(shifted.data() + 1, input.data(), input.size());
    }
    const std::span<const std::uint8_t> unaligned(shifted.data() + 1, input.size());

    struct Path {
        const char* name;
        std::expected<ReportOutcome, std::string> outcome;
    };
    kj::ArrayInputStream stream(kj::arrayPtr(input.data(), input.size()));
    const Path paths[] = {{"visit aligned", fuzzing::visited_report(input)},
                          {"visit unaligned", fuzzing::visited_report(unaligned)},
                          {"visit stream", fuzzing::visited_report(stream)}};
    for (const Path& path : paths) {
        if (!path.outcome) {
            return std::string(path.name) + ": " + path.outcome.error();
        }
        // A stream reports a short message in words of its own, so two framing failures
        // agree whatever their text.
        const ReportOutcome& got = *path.outcome;
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
        if (left != input.size() - fuzzing::framed_message_bytes(input)) {
            return "visit stream: not left just after the message";
        }
    }
    return compare("read aligned", expected, ProfileReport::read(input));
}

}  // namespace vexa_package::testing
