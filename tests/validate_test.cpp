#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "support/allocation_counter.hpp"
#include "support/sample_applications.hpp"
#include "vexa_package/application.hpp"

namespace vexa_package {
namespace {

constexpr std::uint32_t u32_max = std::numeric_limits<std::uint32_t>::max();

Segment segment(std::uint32_t address, std::uint32_t memory_size, std::size_t data_bytes = 0) {
    return Segment{.address = address,
                   .memory_size = memory_size,
                   .data = Bytes(data_bytes, 0xab),
                   .flags = 0};
}

TileImage tile(std::uint32_t physical_tile, std::vector<Segment> segments) {
    return TileImage{.physical_tile = physical_tile, .segments = std::move(segments)};
}

Application with_tiles(std::vector<TileImage> tiles) {
    Application application;
    application.tiles = std::move(tiles);
    return application;
}

Binding binding(std::string name, std::vector<RegionSlice> slices = {}) {
    return Binding{
        .name = std::move(name), .dtype = "u8", .shape = {}, .slices = std::move(slices)};
}

RegionSlice region(std::uint32_t tile_number, std::uint32_t tile_address, std::uint64_t size) {
    return RegionSlice{.tile = tile_number, .tile_address = tile_address, .size = size};
}

// "ok" for a valid application, else the message of the first broken rule.
std::string outcome(const Application& application) {
    const auto result = application.validate();
    if (result) {
        return "ok";
    }
    EXPECT_EQ(result.error().kind(), PackageError::Kind::Invalid);
    return result.error().message();
}

TEST(Validate, SampleApplicationsPass) {
    EXPECT_EQ(outcome(testing::minimal_application()), "ok");
    EXPECT_EQ(outcome(testing::batched_application()), "ok");
    EXPECT_EQ(outcome(testing::rich_application()), "ok");
}

TEST(Validate, NoTilesIsReportedBeforeAnythingElse) {
    EXPECT_EQ(outcome(Application{}), "application has no tiles");
    Application application;
    application.device_config_writes = {{.offset = 2, .value = 0}};
    application.inputs = {binding("")};
    EXPECT_EQ(outcome(application), "application has no tiles");
}

TEST(Validate, DeviceConfigWritesAreAlignedAndUnique) {
    struct Case {
        std::vector<DeviceConfigWrite> writes;
        bool valid;
    };
    const std::vector<Case> cases = {
        {{}, true},
        {{{0, 0}, {4, 0}, {0x4018, 0}}, true},
        {{{4, 1}, {4, 2}}, false},
        {{{4, 1}, {8, 1}, {4, 1}}, false},
        {{{2, 0}}, false},
        {{{0, 0}, {u32_max, 0}}, false},
    };
    for (const Case& c : cases) {
        Application application = with_tiles({tile(0, {segment(TILE_MEMORY_BASE, 8)})});
        application.device_config_writes = c.writes;
        EXPECT_EQ(outcome(application),
                  c.valid ? "ok" : "unaligned or duplicate device configuration write");
    }
    // Reported before the tile rules.
    Application application = with_tiles({tile(1, {}), tile(1, {segment(0, 1)})});
    application.device_config_writes = {{.offset = 1, .value = 0}};
    EXPECT_EQ(outcome(application), "unaligned or duplicate device configuration write");
}

TEST(Validate, DuplicateTileIsReportedBeforeItsSegmentsButAfterEarlierTiles) {
    EXPECT_EQ(outcome(with_tiles({tile(3, {}), tile(5, {}), tile(3, {segment(0, 1)})})),
              "duplicate physical tile 3");
    EXPECT_EQ(outcome(with_tiles({tile(3, {segment(0, 1)}), tile(5, {}), tile(3, {})})),
              "invalid segment on tile 3");
    EXPECT_EQ(outcome(with_tiles({tile(12, {}), tile(12, {})})), "duplicate physical tile 12");
}

TEST(Validate, SegmentBoundsAndOverflow) {
    struct Case {
        Segment segment;
        std::string expected;
    };
    const std::string invalid = "invalid segment on tile 12";
    const std::string overflow = "segment address overflow";
    const std::vector<Case> cases = {
        {segment(TILE_MEMORY_BASE, 8, 8), "ok"},
        {segment(TILE_MEMORY_BASE, 8, 9), invalid},
        {segment(TILE_MEMORY_BASE - 1, 8), invalid},
        {segment(TILE_MEMORY_END - 8, 8), "ok"},
        {segment(TILE_MEMORY_END - 8, 9), invalid},
        {segment(TILE_MEMORY_BASE, TILE_MEMORY_SIZE), "ok"},
        {segment(TILE_MEMORY_BASE, 0), "ok"},
        {segment(TILE_MEMORY_END, 0), "ok"},
        {segment(TILE_MEMORY_BASE - 1, 0), invalid},
        {segment(TILE_MEMORY_END + 1, 0), invalid},
        {segment(TILE_MEMORY_END, 0, 1), invalid},
        {segment(0, u32_max), invalid},
        {segment(u32_max, 0), invalid},
        {segment(u32_max, 1), overflow},
        {segment(TILE_MEMORY_BASE, u32_max), overflow},
        {segment(0x8000'0000U, 0x8000'0000U), overflow},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(outcome(with_tiles({tile(12, {c.segment})})), c.expected) << to_string(c.segment);
    }
}

TEST(Validate, SegmentRulesRunInListOrderBeforeTheOverlapOfTheirTile) {
    EXPECT_EQ(outcome(with_tiles({tile(0, {segment(0, 1), segment(u32_max, 1)})})),
              "invalid segment on tile 0");
    EXPECT_EQ(outcome(with_tiles({tile(0, {segment(u32_max, 1), segment(0, 1)})})),
              "segment address overflow");
    const Segment first = segment(TILE_MEMORY_BASE, 8);
    EXPECT_EQ(outcome(with_tiles({tile(0, {first, first, segment(0, 1)})})),
              "invalid segment on tile 0");
    // A tile's overlap is reported before any rule of a later tile.
    EXPECT_EQ(outcome(with_tiles({tile(0, {first, first}), tile(0, {})})),
              "overlapping segments on tile 0: 0x4c000..0x4c008 and 0x4c000..0x4c008");
}

TEST(Validate, OverlapReportsTheFirstOverlappingNeighboursInSortedOrder) {
    struct Case {
        std::uint32_t tile;
        std::vector<Segment> segments;
        std::string expected;
    };
    const std::uint32_t base = TILE_MEMORY_BASE;
    const std::vector<Case> cases = {
        {7,
         {segment(base, 16), segment(base + 8, 16)},
         "overlapping segments on tile 7: 0x4c000..0x4c010 and 0x4c008..0x4c018"},
        {12,
         {segment(base + 8, 16), segment(base, 16)},
         "overlapping segments on tile 12: 0x4c000..0x4c010 and 0x4c008..0x4c018"},
        // Equal starts are ordered by end.
        {0,
         {segment(base, 16), segment(base, 8)},
         "overlapping segments on tile 0: 0x4c000..0x4c008 and 0x4c000..0x4c010"},
        // A covers B and C, B below C: the pair is A, B.
        {0,
         {segment(base + 0x40, 8), segment(base, 0x100), segment(base + 0x10, 8)},
         "overlapping segments on tile 0: 0x4c000..0x4c100 and 0x4c010..0x4c018"},
        // Overlap found between segments far apart in the list.
        {0,
         {segment(base + 0x30, 0x10), segment(base, 0x10), segment(base + 0x10, 0x10),
          segment(base + 0x18, 4)},
         "overlapping segments on tile 0: 0x4c010..0x4c020 and 0x4c018..0x4c01c"},
        // Listed in address order: the first overlapping pair of the list, empty segments
        // skipped.
        {0,
         {segment(base, 16), segment(base + 8, 16), segment(base + 16, 16)},
         "overlapping segments on tile 0: 0x4c000..0x4c010 and 0x4c008..0x4c018"},
        {0,
         {segment(base, 16), segment(base + 4, 0), segment(base + 8, 8)},
         "overlapping segments on tile 0: 0x4c000..0x4c010 and 0x4c008..0x4c010"},
        // An ordered start with an overlap, then a segment out of order that gives an earlier
        // overlapping pair in sorted order.
        {0,
         {segment(base + 0x20, 16), segment(base + 0x28, 16), segment(base, 0x30)},
         "overlapping segments on tile 0: 0x4c000..0x4c030 and 0x4c020..0x4c030"},
        // Every segment is checked on its own before any overlap is reported.
        {3,
         {segment(base, 16), segment(base + 8, 16), segment(TILE_MEMORY_END, 1)},
         "invalid segment on tile 3"},
        {0, {segment(base, 8), segment(base + 8, 8)}, "ok"},
        {0, {segment(base + 8, 8), segment(base, 8)}, "ok"},
        {0, {segment(base, 16), segment(base + 4, 0), segment(base, 0)}, "ok"},
        {0, {segment(TILE_MEMORY_END - 1, 1), segment(base, TILE_MEMORY_SIZE - 1)}, "ok"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(outcome(with_tiles({tile(c.tile, c.segments)})), c.expected);
    }
    // Ranges are compared within one tile only.
    const std::vector<Segment> same = {segment(base, 16)};
    EXPECT_EQ(outcome(with_tiles({tile(0, same), tile(1, same)})), "ok");
}

TEST(Validate, BindingNamesAreNonEmptyAndUniqueAcrossAllThreeLists) {
    Application application = with_tiles({tile(0, {})});
    application.inputs = {binding("x"), binding("y")};
    application.weights = {binding("x")};
    EXPECT_EQ(outcome(application), "empty or duplicate binding x");

    application.weights = {binding("X")};
    application.outputs = {binding("y")};
    EXPECT_EQ(outcome(application), "empty or duplicate binding y");

    application.outputs = {binding("")};
    EXPECT_EQ(outcome(application), "empty or duplicate binding ");

    application.outputs = {};
    EXPECT_EQ(outcome(application), "ok");
}

TEST(Validate, BindingsAreVisitedInputsThenOutputsThenWeights) {
    Application application = with_tiles({tile(0, {})});
    application.inputs = {binding("in", {region(9, TILE_MEMORY_BASE, 1)})};
    application.outputs = {binding("in")};
    EXPECT_EQ(outcome(application), "binding in references invalid tile memory");

    application.inputs = {binding("in")};
    application.outputs = {binding("out", {region(0, TILE_MEMORY_BASE, 1ULL << 32)})};
    application.weights = {binding("")};
    EXPECT_EQ(outcome(application), "binding out slice is too large");

    application.outputs = {binding("out")};
    EXPECT_EQ(outcome(application), "empty or duplicate binding ");
}

TEST(Validate, BindingSliceRules) {
    struct Case {
        RegionSlice slice;
        std::string expected;
    };
    const std::string invalid = "binding w references invalid tile memory";
    const std::string overflow = "binding address overflow";
    const std::string too_large = "binding w slice is too large";
    const std::vector<Case> cases = {
        {region(4, TILE_MEMORY_BASE, 16), "ok"},
        {region(4, TILE_MEMORY_END - 16, 16), "ok"},
        {region(4, TILE_MEMORY_END, 0), "ok"},
        {region(4, TILE_MEMORY_BASE, TILE_MEMORY_SIZE), "ok"},
        {region(4, TILE_MEMORY_BASE - 1, 16), invalid},
        {region(4, TILE_MEMORY_END - 16, 17), invalid},
        {region(4, TILE_MEMORY_END + 1, 0), invalid},
        {region(5, TILE_MEMORY_BASE, 16), invalid},
        {region(4, u32_max, 0), invalid},
        {region(4, u32_max, 1), overflow},
        {region(4, TILE_MEMORY_BASE, u32_max), overflow},
        {region(4, 0, 1ULL << 32), too_large},
        {region(5, TILE_MEMORY_BASE, std::numeric_limits<std::uint64_t>::max()), too_large},
    };
    for (const Case& c : cases) {
        Application application = with_tiles({tile(4, {segment(TILE_MEMORY_BASE, 16)})});
        application.weights = {binding("w", {region(4, TILE_MEMORY_BASE, 4), c.slice})};
        EXPECT_EQ(outcome(application), c.expected) << to_string(c.slice);
    }
}

TEST(Validate, BindingsMayShareMemoryAndNameAnyTileOfTheApplication) {
    Application application = with_tiles({tile(0, {segment(TILE_MEMORY_BASE, 16)}), tile(9, {})});
    application.inputs = {binding("a", {region(9, TILE_MEMORY_BASE, 16)}),
                          binding("b", {region(9, TILE_MEMORY_BASE, 16)})};
    application.outputs = {binding("c", {region(0, TILE_MEMORY_BASE, 16)})};
    EXPECT_EQ(outcome(application), "ok");
}

TEST(Validate, TileRulesComeBeforeBindingRulesWhichComeBeforeTheHostExchange) {
    Application application = with_tiles({tile(0, {segment(0, 1)})});
    application.inputs = {binding("")};
    application.host_exchange.pages = {{.index = 0, .size = 1}, {.index = 0, .size = 1}};
    EXPECT_EQ(outcome(application), "invalid segment on tile 0");

    application.tiles = {tile(0, {})};
    EXPECT_EQ(outcome(application), "empty or duplicate binding ");

    application.inputs = {};
    EXPECT_EQ(outcome(application), "invalid host page table");
}

TEST(Validate, WorkingMemoryIsAboutOneWordPerSegment) {
    constexpr std::uint32_t count = 100'000;
    std::vector<Segment> segments;
    segments.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        // Descending, so the ranges have to be sorted.
        segments.push_back(segment(TILE_MEMORY_BASE + 4 * (count - 1 - i), 4));
    }
    const Application application = with_tiles({tile(0, std::move(segments)), tile(1, {})});
    const testing::AllocationCounter counter;
    EXPECT_EQ(outcome(application), "ok");
    EXPECT_LE(counter.peak_bytes(), count * sizeof(std::uint64_t) + 4096);
}

}  // namespace
}  // namespace vexa_package
