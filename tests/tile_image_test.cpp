#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <variant>
#include <vector>

#include "support/recording_sink.hpp"
#include "support/sample_applications.hpp"
#include "vexa_package/application.hpp"
#include "vexa_package/events.hpp"

namespace vexa_package {
namespace {

using testing::RecordingSink;
using Fields = std::map<std::string, std::variant<std::uint64_t, std::string>>;

Segment segment(std::uint32_t address, std::uint32_t memory_size, Bytes data = {}) {
    return Segment{.address = address, .memory_size = memory_size, .data = std::move(data)};
}

Application with_tile(std::uint32_t physical_tile, std::vector<Segment> segments) {
    Application application;
    application.tiles = {
        TileImage{.physical_tile = physical_tile, .segments = std::move(segments)}};
    return application;
}

std::string error_of(const std::expected<Bytes, PackageError>& result) {
    if (result) {
        return "no error";
    }
    EXPECT_EQ(result.error().kind(), PackageError::Kind::Invalid);
    return result.error().message();
}

constexpr std::uint32_t base = TILE_MEMORY_BASE;

TEST(TileImage, SegmentDataIsFollowedByZerosAndOneTraceEventDescribesTheImage) {
    const RecordingSink sink;
    EXPECT_EQ(testing::minimal_application().tile_image(0), (Bytes{1, 2, 3, 4, 0, 0, 0, 0}));

    const auto events = sink.events();
    ASSERT_EQ(events.size(), 1U);
    EXPECT_EQ(events[0].level, Level::Trace);
    EXPECT_EQ(events[0].target, "vexa_package");
    EXPECT_EQ(events[0].message, "reconstructing tile image");
    EXPECT_EQ(events[0].fields, (Fields{{"physical_tile", std::uint64_t{0}},
                                        {"load_base", std::string("0x4c000")},
                                        {"image_bytes", std::uint64_t{8}}}));
}

TEST(TileImage, EventCarriesTheRequestedTileAndTheLowestAddress) {
    const RecordingSink sink;
    // The size-0 segment lowers the load base below the data.
    const Application application =
        with_tile(4000000000U, {segment(base + 0x1abc, 2, {9}), segment(base + 0x1ab0, 0)});

    Bytes expected(14, 0);
    expected[12] = 9;
    EXPECT_EQ(application.tile_image(4000000000U), expected);
    const auto events = sink.events();
    ASSERT_EQ(events.size(), 1U);
    EXPECT_EQ(events[0].fields, (Fields{{"physical_tile", std::uint64_t{4000000000U}},
                                        {"load_base", std::string("0x4dab0")},
                                        {"image_bytes", std::uint64_t{14}}}));
}

TEST(TileImage, SinkThatDoesNotWantTraceReceivesNothing) {
    const RecordingSink sink(Level::Debug);
    EXPECT_EQ(with_tile(0, {segment(base, 2, {7})}).tile_image(0), (Bytes{7, 0}));
    EXPECT_TRUE(sink.events().empty());
}

TEST(TileImage, ImageSpansLowestAddressToLargestEndWithGapsZeroed) {
    const std::vector<Segment> ascending = {segment(base, 4, {1, 2}), segment(base + 8, 4, {3}),
                                            segment(base + 0x10, 8, {4, 5, 6})};
    const Bytes expected = {1, 2, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 4, 5, 6, 0, 0, 0, 0, 0};
    EXPECT_EQ(with_tile(1, ascending).tile_image(1), expected);
    const std::vector<Segment> descending(ascending.rbegin(), ascending.rend());
    EXPECT_EQ(with_tile(1, descending).tile_image(1), expected);
    // The largest end need not belong to the highest segment.
    EXPECT_EQ(with_tile(1, {segment(base, 16, {1}), segment(base + 4, 2, {2})}).tile_image(1),
              (Bytes{1, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(TileImage, OnlySizeZeroSegmentsGiveAnEmptyImage) {
    EXPECT_EQ(with_tile(2, {segment(base + 4, 0)}).tile_image(2), Bytes{});
    EXPECT_EQ(with_tile(2, {segment(TILE_MEMORY_END, 0)}).tile_image(2), Bytes{});
}

TEST(TileImage, FirstTileWithTheNumberIsUsed) {
    Application application = with_tile(3, {segment(base, 1, {1})});
    application.tiles.push_back(TileImage{.physical_tile = 3, .segments = {segment(base, 1, {2})}});
    EXPECT_EQ(application.tile_image(3), Bytes{1});
}

TEST(TileImage, LaterSegmentOverwritesAnEarlierOneItOverlaps) {
    EXPECT_EQ(
        with_tile(0, {segment(base, 4, {1, 1, 1, 1}), segment(base + 1, 2, {2, 2})}).tile_image(0),
        (Bytes{1, 2, 2, 1}));
}

TEST(TileImage, ImagesSurviveWritingAndReading) {
    const Application application = testing::rich_application();
    Bytes package;
    ASSERT_TRUE(application.write(package).has_value());
    const auto read = Application::read(package);
    ASSERT_TRUE(read.has_value());
    for (const TileImage& tile : application.tiles) {
        if (tile.segments.empty()) {
            continue;
        }
        const auto before = application.tile_image(tile.physical_tile);
        ASSERT_TRUE(before.has_value());
        EXPECT_EQ(read->tile_image(tile.physical_tile), *before);
    }
}

TEST(TileImage, LookupFailuresEmitNothing) {
    const RecordingSink sink;
    const Application application = with_tile(0, {segment(base, 1)});
    EXPECT_EQ(error_of(application.tile_image(7)), "unknown tile 7");
    EXPECT_EQ(error_of(Application{}.tile_image(0)), "unknown tile 0");
    EXPECT_EQ(error_of(with_tile(5, {}).tile_image(5)), "tile has no loadable segments");
    EXPECT_TRUE(sink.events().empty());
}

TEST(TileImage, UnvalidatedSegmentsAreRejectedBeforeAnythingIsBuilt) {
    const RecordingSink sink;
    struct Case {
        std::vector<Segment> segments;
        std::string expected;
    };
    // The first case builds no data into the image, so a segment rule that lets it through
    // fails the assertion below before a later case can write outside the image.
    const std::vector<Case> cases = {
        {{segment(base, 4), segment(0xffff'fff0U, 0x20)}, "segment address overflow"},
        {{segment(0xffff'ffffU, 1, {1})}, "segment address overflow"},
        {{segment(base, 1, {1, 2}), segment(base + 4, 4)}, "invalid segment on tile 6"},
        {{segment(base, 4), segment(base - 4, 4)}, "invalid segment on tile 6"},
        {{segment(base, 4), segment(TILE_MEMORY_END - 2, 4)}, "invalid segment on tile 6"},
        {{segment(0, 0xffff'ffffU)}, "invalid segment on tile 6"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(error_of(with_tile(6, c.segments).tile_image(6)), c.expected)
            << to_string(c.segments.back());
    }
    EXPECT_TRUE(sink.events().empty());
}

}  // namespace
}  // namespace vexa_package
