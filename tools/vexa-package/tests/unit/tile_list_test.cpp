// --tiles: lists of physical tiles and ranges such as "0-3,8", and which tiles they keep.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "profile/sample_filter.hpp"

namespace vexa_cli {
namespace {

using Ranges = std::vector<std::pair<std::uint32_t, std::uint32_t>>;

TEST(TileList, ReadsSingleTilesAndInclusiveRanges) {
    const std::pair<std::string_view, Ranges> cases[] = {
        {"0", {{0, 0}}},
        {"8", {{8, 8}}},
        {"0-3", {{0, 3}}},
        {"0-3,8", {{0, 3}, {8, 8}}},
        {"5-5", {{5, 5}}},
        // Duplicates and overlaps are kept as given: they keep the same tiles.
        {"2,2,1-4,3-6", {{2, 2}, {2, 2}, {1, 4}, {3, 6}}},
        // Leading zeros are digits like any other.
        {"007", {{7, 7}}},
        // The whole 32-bit range.
        {"0-4294967295", {{0, 4294967295}}},
        {"4294967295", {{4294967295, 4294967295}}},
    };
    for (const auto& [text, ranges] : cases) {
        const auto parsed = parse_tile_list(text);
        ASSERT_TRUE(parsed.has_value()) << text << ": " << parsed.error();
        EXPECT_EQ(*parsed, ranges) << text;
    }
}

TEST(TileList, RefusesAnythingElseNamingThePartThatIsWrong) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"", ""},
        {",", ""},
        {"1,", ""},
        {",1", ""},
        {"1,,2", ""},
        {"a", "a"},
        {"1,x-3", "x-3"},
        {"3-1", "3-1"},
        {"1-", "1-"},
        {"-1", "-1"},
        {"1-2-3", "1-2-3"},
        {"1 ,2", "1 "},
        {" 1", " 1"},
        {"+1", "+1"},
        {"0x10", "0x10"},
        {"1.5", "1.5"},
        // One past the largest tile number, and far beyond it.
        {"4294967296", "4294967296"},
        {"0-4294967296", "0-4294967296"},
        {"99999999999999999999999", "99999999999999999999999"},
    };
    for (const auto& [text, part] : cases) {
        const auto parsed = parse_tile_list(text);
        ASSERT_FALSE(parsed.has_value()) << text;
        EXPECT_EQ(parsed.error(),
                  "expected tile numbers and ranges such as 0-3,8, got '" + std::string(part) + "'")
            << text;
    }
}

TEST(TileList, KeepsExactlyTheTilesItNames) {
    const SampleFilter filter({.tiles = "0-3,8,4294967295"});
    EXPECT_TRUE(filter.active());
    EXPECT_FALSE(filter.windowed());
    for (const std::uint32_t tile : {0U, 1U, 3U, 8U, 4294967295U}) {
        EXPECT_TRUE(filter.keep_tile(tile)) << tile;
    }
    for (const std::uint32_t tile : {4U, 7U, 9U, 4294967294U}) {
        EXPECT_FALSE(filter.keep_tile(tile)) << tile;
    }
    const SampleFilter none({});
    EXPECT_FALSE(none.active());
    EXPECT_TRUE(none.keep_tile(12345));
}

}  // namespace
}  // namespace vexa_cli
