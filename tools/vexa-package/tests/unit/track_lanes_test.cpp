// TrackLanes: which track of its tile each slice of a trace goes on, so that no two slices
// of a track overlap, up to the limit of tracks per tile.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "trace/track_lanes.hpp"

namespace vexa_cli {
namespace {

struct Slice {
    std::uint32_t tile = 0;
    std::uint64_t start = 0;
    std::uint64_t end = 0;
};

struct Expected {
    std::uint32_t lane = 0;
    bool new_lane = false;
};

void place_all(TrackLanes& lanes, const std::vector<std::pair<Slice, Expected>>& table) {
    for (std::size_t i = 0; i < table.size(); ++i) {
        const auto& [slice, expected] = table[i];
        const TrackLanes::Placement placement = lanes.place(slice.tile, slice.start, slice.end);
        EXPECT_EQ(placement.lane, expected.lane) << "slice " << i;
        EXPECT_EQ(placement.new_lane, expected.new_lane) << "slice " << i;
    }
}

TEST(TrackLanes, SlicesThatOverlapGoToTheFirstOverflowTrackWhereTheyFit) {
    TrackLanes lanes;
    place_all(lanes, {
                         // The tile's own track takes the first slice and what follows it;
                         // a slice may begin the very cycle the one before ends.
                         {{0, 100, 200}, {0, false}},
                         {{0, 200, 300}, {0, false}},
                         // Overlaps lane 0: a new overflow track, announced once.
                         {{0, 250, 400}, {1, true}},
                         // Overlaps lanes 0 and 1.
                         {{0, 260, 270}, {2, true}},
                         // Fits after lane 0 again; the overflow tracks stay.
                         {{0, 300, 350}, {0, false}},
                         // Fits after no track but the last: that one takes it.
                         {{0, 340, 420}, {2, false}},
                         // Ends strictly before lane 0's first slice: placed before it.
                         {{0, 10, 99}, {0, false}},
                         // Ending on the first slice's start is not before it: lane 0 now
                         // begins at 10, lane 1 at 250, so it goes on lane 1.
                         {{0, 5, 10}, {1, false}},
                     });
    EXPECT_EQ(lanes.overflow_tracks(), 2U);
    EXPECT_EQ(lanes.crowded(), 0U);
}

TEST(TrackLanes, TilesHaveTracksOfTheirOwn) {
    TrackLanes lanes;
    place_all(lanes, {
                         {{3, 0, 100}, {0, false}},
                         {{3, 50, 150}, {1, true}},
                         // The same times on another tile overlap nothing there.
                         {{7, 0, 100}, {0, false}},
                         {{7, 50, 150}, {1, true}},
                         // Back on tile 3, its tracks are as they were left.
                         {{3, 60, 70}, {2, true}},
                         {{3, 150, 160}, {0, false}},
                     });
    EXPECT_EQ(lanes.overflow_tracks(), 3U);
}

TEST(TrackLanes, SlicesBeyondTheLimitGoOnTheTilesOwnTrackAndAreCounted) {
    TrackLanes lanes;
    // Every slice overlaps all before it: each opens a track until the limit is reached.
    for (std::uint32_t lane = 0; lane < TrackLanes::LANE_LIMIT; ++lane) {
        const TrackLanes::Placement placement = lanes.place(1, 1000 + lane, 5000);
        EXPECT_EQ(placement.lane, lane);
        EXPECT_EQ(placement.new_lane, lane != 0);
    }
    EXPECT_EQ(lanes.overflow_tracks(), TrackLanes::LANE_LIMIT - 1);
    const TrackLanes::Placement crowded = lanes.place(1, 900, 6000);
    EXPECT_EQ(crowded.lane, 0U);
    EXPECT_FALSE(crowded.new_lane);
    EXPECT_EQ(lanes.crowded(), 1U);
    EXPECT_EQ(lanes.overflow_tracks(), TrackLanes::LANE_LIMIT - 1);
    // The crowded slice widened the own track to 900..6000: a slice at 5500 no longer fits
    // after it, but still fits after every overflow track.
    EXPECT_EQ(lanes.place(1, 5500, 5600).lane, 1U);
    EXPECT_EQ(lanes.place(1, 6000, 6100).lane, 0U);
    EXPECT_EQ(lanes.place(1, 800, 899).lane, 0U);
    // Another tile still has all its tracks.
    EXPECT_EQ(lanes.place(2, 900, 6000).lane, 0U);
    EXPECT_EQ(lanes.crowded(), 1U);
}

TEST(TrackLanes, NoTwoSlicesOfATrackOverlapExceptCrowdedOnes) {
    std::mt19937_64 random(7);
    TrackLanes lanes;
    struct Placed {
        std::uint64_t start = 0;
        std::uint64_t end = 0;
        bool crowded = false;
    };
    std::map<std::pair<std::uint32_t, std::uint32_t>, std::vector<Placed>> tracks;
    std::set<std::pair<std::uint32_t, std::uint32_t>> announced;
    std::size_t crowded = 0;
    for (int i = 0; i < 20000; ++i) {
        // Mostly in time order, tile by tile, with some out of order and some far apart.
        const auto tile = static_cast<std::uint32_t>(i / 500 % 5);
        const std::uint64_t start = 100000 + static_cast<std::uint64_t>(i) * 10 + random() % 400 -
                                    (random() % 20 == 0 ? 3000 : 0);
        const std::uint64_t end = start + random() % 300;
        const TrackLanes::Placement placement = lanes.place(tile, start, end);
        ASSERT_LT(placement.lane, TrackLanes::LANE_LIMIT);
        const bool is_crowded = lanes.crowded() != crowded;
        crowded = lanes.crowded();
        EXPECT_TRUE(!is_crowded || placement.lane == 0);
        const std::pair key{tile, placement.lane};
        EXPECT_EQ(placement.new_lane, placement.lane != 0 && announced.insert(key).second) << i;
        tracks[key].push_back({.start = start, .end = end, .crowded = is_crowded});
    }
    std::size_t overflow = 0;
    for (const auto& [key, slices] : tracks) {
        overflow += key.second != 0 ? 1 : 0;
        // A crowded slice may overlap what was there before it, but nothing placed after it
        // overlaps it.
        for (std::size_t a = 0; a < slices.size(); ++a) {
            for (std::size_t b = 0; b < slices.size() && !slices[a].crowded; ++b) {
                if (slices[b].crowded && b > a) {
                    continue;
                }
                const bool apart =
                    slices[a].end <= slices[b].start || slices[b].end <= slices[a].start;
                ASSERT_TRUE(a == b || apart)
                    << "tile " << key.first << " lane " << key.second << ": " << slices[a].start
                    << ".." << slices[a].end << " and " << slices[b].start << ".." << slices[b].end;
            }
        }
    }
    EXPECT_EQ(lanes.overflow_tracks(), overflow);
    EXPECT_GT(crowded, 0U);
}

}  // namespace
}  // namespace vexa_cli
