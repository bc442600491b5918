#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

#include "../fuzz/read_invariants.hpp"
#include "support/random_models.hpp"
#include "support/sample_applications.hpp"

namespace vexa_package {
namespace {

using testing::ModelSize;
using testing::RandomSource;

constexpr std::size_t DEFAULT_CASES = 2000;

// List lengths grow with the case number, so every run covers empty lists, single elements
// and longer ones.
ModelSize size_of_case(std::size_t number) {
    return ModelSize{.max_list = number % 7, .max_data = 48, .max_text = 10};
}

Application application_of_case(std::size_t number) {
    RandomSource random(number);
    return testing::random_application(random, size_of_case(number));
}

TEST(PropertyApplication, GeneratedApplicationsAreValid) {
    const std::size_t cases = testing::property_case_count(DEFAULT_CASES);
    for (std::size_t number = 0; number < cases; ++number) {
        const auto valid = application_of_case(number).validate();
        ASSERT_TRUE(valid.has_value()) << "case " << number << ": " << to_string(valid.error());
    }
}

TEST(PropertyApplication, WriteThenReadGivesAnEqualApplicationAndTheSameBytes) {
    const std::size_t cases = testing::property_case_count(DEFAULT_CASES);
    for (std::size_t number = 0; number < cases; ++number) {
        SCOPED_TRACE("case " + std::to_string(number));
        const Application application = application_of_case(number);
        Bytes bytes;
        ASSERT_TRUE(application.write(bytes).has_value());
        const auto read = Application::read(bytes);
        ASSERT_TRUE(read.has_value()) << to_string(read.error());
        ASSERT_EQ(*read, application);
        // Reading three ways, the second write, deterministic bytes and the tile images.
        const auto violation = fuzzing::check_application_input(bytes);
        ASSERT_FALSE(violation.has_value()) << *violation;
    }
}

// The checks the fuzz targets and the tests above share must themselves catch what they
// guard against.
TEST(PropertyApplication, SharedChecksRejectWhatTheyGuard) {
    EXPECT_EQ(fuzzing::expected_tile_image(testing::minimal_application().tiles[0]),
              (Bytes{1, 2, 3, 4, 0, 0, 0, 0}));
    const TileImage gapped{
        .segments = {Segment{.address = 0x4c010, .memory_size = 2, .data = {7}},
                     Segment{.address = 0x4c00c, .memory_size = 1, .data = {9}}}};
    EXPECT_EQ(fuzzing::expected_tile_image(gapped), (Bytes{9, 0, 0, 0, 7, 0}));

    const auto invalid = fuzzing::check_application_invariants(Application{});
    ASSERT_TRUE(invalid.has_value());
    EXPECT_NE(invalid->find("does not validate"), std::string::npos) << *invalid;

    using Kind = PackageError::Kind;
    EXPECT_FALSE(fuzzing::application_read_may_fail_with(Kind::Io));
    EXPECT_FALSE(fuzzing::application_read_may_fail_with(Kind::SchemaEnum));
    EXPECT_TRUE(fuzzing::application_read_may_fail_with(Kind::Utf8));
    EXPECT_FALSE(fuzzing::profile_read_may_fail_with(Kind::Io));
    EXPECT_TRUE(fuzzing::profile_read_may_fail_with(Kind::SchemaEnum));
}

TEST(PropertyApplication, SameSeedGivesTheSameApplication) {
    for (std::size_t number = 0; number < 50; ++number) {
        EXPECT_EQ(application_of_case(number), application_of_case(number));
    }
    EXPECT_NE(application_of_case(1), application_of_case(2));
}

std::vector<std::string> texts_of(const Application& application) {
    std::vector<std::string> texts{application.compiler_version};
    for (const auto* bindings : {&application.inputs, &application.outputs, &application.weights}) {
        for (const Binding& binding : *bindings) {
            texts.push_back(binding.name);
            texts.push_back(binding.dtype);
        }
    }
    for (const HostCall& call : application.host_exchange.calls) {
        texts.push_back(call.name);
    }
    for (const EntryPoint& entry : application.entry_points) {
        texts.push_back(entry.name);
    }
    return texts;
}

// What the round trip above is worth depends on what the generator produces; these are the
// shapes it must reach within the default number of cases.
TEST(PropertyApplication, GeneratorReachesEveryShape) {
    constexpr std::uint32_t MAX32 = std::numeric_limits<std::uint32_t>::max();
    constexpr std::uint64_t MAX64 = std::numeric_limits<std::uint64_t>::max();
    struct Seen {
        bool tile_without_segments = false;
        bool empty_segment = false;
        bool segment_to_window_end = false;
        bool four_byte_text = false;
        bool nul_in_text = false;
        bool largest_tile_number = false;
        bool largest_page_size = false;
        bool call_with_several_batches = false;
        bool empty_and_full_lists = false;
        bool no_host_calls = false;
    } seen;
    std::size_t longest_tile_list = 0;
    for (std::size_t number = 0; number < DEFAULT_CASES; ++number) {
        const Application application = application_of_case(number);
        longest_tile_list = std::max(longest_tile_list, application.tiles.size());
        for (const TileImage& tile : application.tiles) {
            seen.tile_without_segments |= tile.segments.empty();
            seen.largest_tile_number |= tile.physical_tile == MAX32;
            for (const Segment& segment : tile.segments) {
                seen.empty_segment |= segment.memory_size == 0;
                seen.segment_to_window_end |=
                    segment.memory_size != 0 &&
                    segment.address + segment.memory_size == TILE_MEMORY_END;
            }
        }
        for (const std::string& text : texts_of(application)) {
            // Lead bytes 0xf0 to 0xf4 start the four-byte sequences.
            seen.four_byte_text |= std::ranges::any_of(
                text, [](char c) { return static_cast<unsigned char>(c) >= 0xf0; });
            seen.nul_in_text |= text.find('\0') != std::string::npos;
        }
        const HostExchange& exchange = application.host_exchange;
        for (const HostPage& page : exchange.pages) {
            seen.largest_page_size |= page.size == MAX64;
        }
        seen.no_host_calls |= exchange.calls.empty();
        for (const HostCall& call : exchange.calls) {
            seen.call_with_several_batches |= call.input_batch_ends.size() > 1;
        }
        seen.empty_and_full_lists |= application.inputs.empty() && application.weights.size() >= 5;
    }
    EXPECT_GE(longest_tile_list, 6u);
    EXPECT_TRUE(seen.tile_without_segments);
    EXPECT_TRUE(seen.empty_segment);
    EXPECT_TRUE(seen.segment_to_window_end);
    EXPECT_TRUE(seen.four_byte_text);
    EXPECT_TRUE(seen.nul_in_text);
    EXPECT_TRUE(seen.largest_tile_number);
    EXPECT_TRUE(seen.largest_page_size);
    EXPECT_TRUE(seen.call_with_several_batches);
    EXPECT_TRUE(seen.empty_and_full_lists);
    EXPECT_TRUE(seen.no_host_calls);
}

}  // namespace
}  // namespace vexa_package
