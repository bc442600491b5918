#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include "../fuzz/read_invariants.hpp"
#include "support/random_models.hpp"
#include "support/wire_bytes.hpp"

namespace vexa_package {
namespace {

using testing::ModelSize;
using testing::RandomSource;
namespace wb = testing::wire_bytes;

constexpr std::size_t DEFAULT_CASES = 2000;

ProfileReport report_of_case(std::size_t number) {
    RandomSource random(number);
    return testing::random_profile(random, ModelSize{.max_list = number % 6, .max_text = 10});
}

TEST(PropertyProfile, WriteThenReadGivesAnEqualReportAndTheSameBytes) {
    const std::size_t cases = testing::property_case_count(DEFAULT_CASES);
    for (std::size_t number = 0; number < cases; ++number) {
        SCOPED_TRACE("case " + std::to_string(number));
        const ProfileReport report = report_of_case(number);
        Bytes bytes;
        ASSERT_TRUE(report.write(bytes).has_value());
        const auto read = ProfileReport::read(bytes);
        ASSERT_TRUE(read.has_value()) << to_string(read.error());
        ASSERT_EQ(*read, report);
        const auto violation = fuzzing::check_profile_input(bytes);
        ASSERT_FALSE(violation.has_value()) << *violation;
    }
}

// Versions 1 to 3 are all read the same way: the stored version is the root's first data
// word, and changing it alone must not change what is read.
TEST(PropertyProfile, EveryAcceptedVersionReadsTheSameReport) {
    const std::size_t cases = testing::property_case_count(DEFAULT_CASES) / 10;
    for (std::size_t number = 0; number < cases; ++number) {
        SCOPED_TRACE("case " + std::to_string(number));
        const ProfileReport report = report_of_case(number);
        Bytes bytes;
        ASSERT_TRUE(report.write(bytes).has_value());
        if (bytes[0] != 0) {
            continue;  // more than one segment: the root is not where this test looks
        }
        const std::size_t root = wb::pointer_target(0, wb::segment_word(bytes, 0));
        for (const std::uint32_t version : {1u, 2u, 3u}) {
            std::memcpy(bytes.data() + 8 + root * 8, &version, 4);
            const auto read = ProfileReport::read(bytes);
            ASSERT_TRUE(read.has_value())
                << "version " << version << ": " << to_string(read.error());
            EXPECT_EQ(*read, report);
        }
    }
}

TEST(PropertyProfile, GeneratorReachesEveryShape) {
    constexpr std::uint32_t MAX32 = std::numeric_limits<std::uint32_t>::max();
    bool every_kind[4] = {};
    bool repeated_tile = false;
    bool wrapped_cycles = false;
    bool largest_clock = false;
    bool empty_report = false;
    bool multi_byte_metadata = false;
    std::size_t most_samples = 0;
    for (std::size_t number = 0; number < DEFAULT_CASES; ++number) {
        const ProfileReport report = report_of_case(number);
        empty_report |= report.tiles.empty();
        largest_clock |= report.clock_hz == std::numeric_limits<std::uint64_t>::max();
        for (const TileProfile& tile : report.tiles) {
            repeated_tile |= tile.physical_tile == report.tiles.front().physical_tile &&
                             &tile != &report.tiles.front();
            most_samples = std::max(most_samples, tile.samples.size());
            for (const CycleSample& sample : tile.samples) {
                every_kind[static_cast<int>(sample.step.kind)] = true;
                wrapped_cycles |= sample.start_cycle == MAX32 && sample.end_cycle < MAX32;
                for (const ProfileMetadata& entry : sample.step.metadata) {
                    multi_byte_metadata |= std::ranges::any_of(
                        entry.value, [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
                }
            }
        }
    }
    EXPECT_TRUE(std::ranges::all_of(every_kind, [](bool kind) { return kind; }));
    EXPECT_TRUE(repeated_tile);
    EXPECT_TRUE(wrapped_cycles);
    EXPECT_TRUE(largest_clock);
    EXPECT_TRUE(empty_report);
    EXPECT_TRUE(multi_byte_metadata);
    EXPECT_GE(most_samples, 5u);
}

}  // namespace
}  // namespace vexa_package
