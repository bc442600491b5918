#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "support/random_models.hpp"
#include "vexa_package/cycle_timeline.hpp"

namespace vexa_package {
namespace {

using testing::RandomSource;

constexpr std::uint64_t EPOCH = CycleTimeline::EPOCH;
constexpr std::uint64_t HALF = EPOCH / 2;

// One stored sample and the tile entry it belongs to.
struct Stored {
    std::size_t tile = 0;
    std::uint32_t start_cycle = 0;
    std::uint32_t end_cycle = 0;
};

// Places samples given per tile entry, in order, and returns their starts.
std::vector<std::uint64_t> starts_of(CycleTimeline& timeline,
                                     const std::vector<std::vector<std::uint32_t>>& tiles) {
    std::vector<std::uint64_t> starts;
    for (std::size_t tile = 0; tile < tiles.size(); ++tile) {
        timeline.tile(static_cast<std::uint32_t>(tile));
        for (const std::uint32_t start : tiles[tile]) {
            starts.push_back(timeline.place(start, start).start);
        }
    }
    return starts;
}

TEST(CycleTimeline, PlacesEachStartNearestTheOneItFollows) {
    struct Case {
        const char* what;
        std::vector<std::vector<std::uint32_t>> tiles;
        std::vector<std::uint64_t> starts;
    };
    const std::uint32_t top = 0xffffff00;
    const std::vector<Case> cases{
        {"a sample listed out of order goes back",
         {{100, 200, 150}},
         {EPOCH + 100, EPOCH + 200, EPOCH + 150}},
        {"a wrap between samples goes forwards", {{top, 0x10}}, {EPOCH + top, 2 * EPOCH + 0x10}},
        {"a step back across a wrap", {{0x10, top}}, {EPOCH + 0x10, top}},
        {"a tile that starts after another's counter wrapped",
         {{top, top + 0x80}, {0x100}},
         {EPOCH + top, EPOCH + top + 0x80, 2 * EPOCH + 0x100}},
        {"a tile that starts before the device's first start",
         {{0x10}, {0xfffffff0, 0x20}},
         {EPOCH + 0x10, EPOCH - 0x10, EPOCH + 0x20}},
        {"a tile's first start is placed against the device's, not the last tile's",
         {{0, 0x40000000, 0x80000000, 0xc0000000}, {0x100}},
         {EPOCH, EPOCH + 0x40000000, EPOCH + 0x80000000, EPOCH + 0xc0000000, EPOCH + 0x100}},
        {"equal starts", {{7, 7, 7}}, {EPOCH + 7, EPOCH + 7, EPOCH + 7}},
        {"a distance of exactly 2^31 goes forwards", {{0, 0x80000000}}, {EPOCH, EPOCH + HALF}},
        {"just over 2^31 goes backwards", {{0, 0x80000001}}, {EPOCH, EPOCH - HALF + 1}},
        {"a tile without samples changes nothing", {{5}, {}, {9}}, {EPOCH + 5, EPOCH + 9}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CycleTimeline timeline;
        EXPECT_EQ(starts_of(timeline, c.tiles), c.starts);
    }
}

TEST(CycleTimeline, EndsFollowStartsModulo2To32) {
    CycleTimeline timeline;
    timeline.tile(3);
    EXPECT_EQ(timeline.place(0xfffffff0, 0x10),
              (TimelinePlace{EPOCH + 0xfffffff0, 2 * EPOCH + 0x10}));
    EXPECT_EQ(timeline.place(0x20, 0x20), (TimelinePlace{2 * EPOCH + 0x20, 2 * EPOCH + 0x20}));
    // An end below its start is a step that ran across a wrap, not a negative length.
    EXPECT_EQ(timeline.place(0x30, 0x2f), (TimelinePlace{2 * EPOCH + 0x30, 3 * EPOCH + 0x2f}));
    EXPECT_EQ(timeline.span(), (TimelineSpan{EPOCH + 0xfffffff0, 3 * EPOCH + 0x2f}));
    EXPECT_EQ(timeline.span()->cycles(), EPOCH + 0x3f);
    EXPECT_EQ(timeline.origin(), EPOCH + 0xfffffff0);
    EXPECT_EQ(timeline.samples(), 3U);
    EXPECT_FALSE(timeline.anomalies().any());
}

TEST(CycleTimeline, SpanAndOriginAreEmptyBeforeTheFirstSample) {
    CycleTimeline timeline;
    timeline.tile(0);
    EXPECT_FALSE(timeline.span().has_value());
    EXPECT_FALSE(timeline.origin().has_value());
    // The span is the earliest start and the latest end, whichever samples they belong to.
    timeline.place(100, 500);
    timeline.tile(1);
    timeline.place(50, 60);
    EXPECT_EQ(timeline.span(), (TimelineSpan{EPOCH + 50, EPOCH + 500}));
    EXPECT_EQ(timeline.origin(), EPOCH + 100);
}

TEST(CycleTimeline, CountsEachKindOfAnomalyWithItsFirstSample) {
    CycleTimeline timeline;
    timeline.tile(4);
    timeline.place(100, 100);
    timeline.place(200, 200);
    timeline.tile(9);
    timeline.place(300, 300);
    timeline.place(250, 250);  // backwards: tile entry 1, sample 1
    timeline.place(240, 240);  // backwards again
    // Within the margin of 2^31 from 240, forwards.
    timeline.place(240 + 0x80000000 - CycleTimeline::AMBIGUITY_MARGIN, 0);
    const TimelineAnomalies& anomalies = timeline.anomalies();
    EXPECT_EQ(
        anomalies.backwards,
        (TimelineAnomaly{.count = 2, .tile_index = 1, .physical_tile = 9, .sample_index = 1}));
    EXPECT_EQ(
        anomalies.ambiguous,
        (TimelineAnomaly{.count = 1, .tile_index = 1, .physical_tile = 9, .sample_index = 3}));
    EXPECT_EQ(anomalies.out_of_range, TimelineAnomaly{});
    EXPECT_TRUE(anomalies.any());
}

TEST(CycleTimeline, AmbiguityStartsAtTheMarginOnBothSides) {
    const std::uint32_t edge = 0x80000000 - CycleTimeline::AMBIGUITY_MARGIN;
    struct Case {
        std::uint32_t second;
        bool ambiguous;
    };
    for (const Case c :
         {Case{edge - 1, false}, Case{edge, true}, Case{0x80000000, true}, Case{0x80000001, true},
          Case{0U - edge, true}, Case{0U - edge + 1, false}}) {
        SCOPED_TRACE(c.second);
        CycleTimeline timeline;
        timeline.place(0, 0);
        timeline.place(c.second, c.second);
        EXPECT_EQ(timeline.anomalies().ambiguous.count, c.ambiguous ? 1U : 0U);
    }
}

TEST(CycleTimeline, AFirstTileFarFromTheDeviceStartIsAmbiguous) {
    CycleTimeline timeline;
    timeline.tile(0);
    timeline.place(0, 0);
    timeline.tile(1);
    timeline.place(0x7fffffff, 0x7fffffff);
    EXPECT_EQ(
        timeline.anomalies().ambiguous,
        (TimelineAnomaly{.count = 1, .tile_index = 1, .physical_tile = 1, .sample_index = 0}));
    EXPECT_EQ(timeline.anomalies().backwards.count, 0U);
}

TEST(CycleTimeline, NothingGoesBelowCycleZero) {
    // Three steps back of nearly 2^31 each from the first start at 2^32 reach below 0.
    CycleTimeline timeline;
    timeline.tile(2);
    const std::uint32_t back = 0x7fffffff;
    std::vector<std::uint32_t> stored{0};
    std::vector<std::uint64_t> starts{timeline.place(0, 0).start};
    for (int step = 0; step < 3; ++step) {
        stored.push_back(stored.back() - back);
        starts.push_back(timeline.place(stored.back(), stored.back() + 1).start);
    }
    EXPECT_EQ(starts,
              (std::vector<std::uint64_t>{EPOCH, EPOCH - back, EPOCH - 2 * back, stored.back()}));
    EXPECT_EQ(
        timeline.anomalies().out_of_range,
        (TimelineAnomaly{.count = 1, .tile_index = 0, .physical_tile = 2, .sample_index = 3}));
    EXPECT_EQ(timeline.anomalies().backwards.count, 2U);
    // Every start keeps its stored low 32 bits, also the one moved inside the timeline.
    for (std::size_t index = 0; index < starts.size(); ++index) {
        EXPECT_EQ(static_cast<std::uint32_t>(starts[index]), stored[index]);
    }
}

TEST(CycleTimeline, SamplesBeforeAnyTileBelongToTileEntryZero) {
    CycleTimeline timeline;
    timeline.place(10, 10);
    timeline.place(5, 5);
    EXPECT_EQ(
        timeline.anomalies().backwards,
        (TimelineAnomaly{.count = 1, .tile_index = 0, .physical_tile = 0, .sample_index = 1}));
    timeline.tile(6);
    timeline.place(7, 7);
    timeline.place(6, 6);
    EXPECT_EQ(timeline.anomalies().backwards.count, 2U);
}

// A random run: tiles whose true 64-bit starts satisfy the contract (consecutive starts of a
// tile entry, and each entry's first start from the device's first, less than 2^31 apart), cut
// to 32 bits, must come back exactly, shifted by whole epochs so that the first sample lies at
// 2^32 plus its stored value; the anomaly counts are those of the true times.
TEST(CycleTimeline, RecoversTrueTimesWithinTheContract) {
    const std::size_t cases = testing::property_case_count(400);
    for (std::size_t number = 0; number < cases; ++number) {
        SCOPED_TRACE("case " + std::to_string(number));
        RandomSource random(number);
        // Far from 2^64; no time goes below the epoch before the device's first start, where
        // the timeline would have to move it.
        const std::uint64_t device_start = random.between(EPOCH * 4, EPOCH * 1000);
        const std::uint64_t shift = (device_start / EPOCH - 1) * EPOCH;
        const auto step = [&random]() -> std::int64_t {
            const std::uint64_t limit = random.one_in(4) ? HALF - 1 : random.one_in(2) ? 5000 : 50;
            const auto size = static_cast<std::int64_t>(random.between(0, limit));
            return random.one_in(5) ? -size : size;
        };
        const std::size_t tiles = random.between(1, 6);
        std::vector<std::vector<std::uint64_t>> truth(tiles);
        for (std::size_t tile = 0; tile < tiles; ++tile) {
            const std::size_t count = tile == 0 ? random.between(1, 60) : random.below(60);
            std::uint64_t time = device_start;
            for (std::size_t index = 0; index < count; ++index) {
                if (tile != 0 || index != 0) {
                    const std::int64_t delta = step();
                    const std::uint64_t moved = time + static_cast<std::uint64_t>(delta);
                    time = moved < shift ? time : moved;
                }
                truth[tile].push_back(time);
            }
        }
        CycleTimeline timeline;
        std::uint64_t backwards = 0;
        std::uint64_t ambiguous = 0;
        for (std::size_t tile = 0; tile < tiles; ++tile) {
            timeline.tile(static_cast<std::uint32_t>(tile));
            for (std::size_t index = 0; index < truth[tile].size(); ++index) {
                const std::uint64_t time = truth[tile][index];
                const std::uint64_t reference = index == 0 ? device_start : truth[tile][index - 1];
                const std::uint64_t distance =
                    time > reference ? time - reference : reference - time;
                backwards += index != 0 && time < reference ? 1 : 0;
                ambiguous += distance >= HALF - CycleTimeline::AMBIGUITY_MARGIN ? 1 : 0;
                const auto duration = static_cast<std::uint32_t>(random.any_u32());
                const auto stored = static_cast<std::uint32_t>(time);
                const TimelinePlace place =
                    timeline.place(stored, static_cast<std::uint32_t>(stored + duration));
                ASSERT_EQ(place.start, time - shift) << "tile " << tile << " sample " << index;
                ASSERT_EQ(place.end, place.start + duration);
            }
        }
        EXPECT_EQ(timeline.anomalies().backwards.count, backwards);
        EXPECT_EQ(timeline.anomalies().ambiguous.count, ambiguous);
        EXPECT_EQ(timeline.anomalies().out_of_range.count, 0U);
    }
}

// Outside the contract a step of more than 2^31 is read as the shorter step the other way:
// the placement is wrong by one epoch, and the anomaly counts say so.
TEST(CycleTimeline, StepsOutsideTheContractAreCounted) {
    RandomSource random(77);
    for (int round = 0; round < 200; ++round) {
        const std::uint64_t jump =
            random.between(HALF + 1, EPOCH - CycleTimeline::AMBIGUITY_MARGIN);
        const auto first = static_cast<std::uint32_t>(random.next());
        const auto second = static_cast<std::uint32_t>(first + jump);
        CycleTimeline timeline;
        timeline.place(first, first);
        const std::uint64_t placed = timeline.place(second, second).start;
        EXPECT_EQ(placed, EPOCH + first + jump - EPOCH);
        EXPECT_EQ(timeline.anomalies().backwards.count, 1U);
    }
}

}  // namespace
}  // namespace vexa_package
