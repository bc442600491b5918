// The two summaries behind a large trace: where samples start (StartHistogram, which places
// the slice budget's cut) and how busy each tile was (BusyOverview, the counters), each
// checked against a count made sample by sample.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <limits>
#include <random>
#include <vector>

#include "trace/busy_overview.hpp"
#include "trace/start_histogram.hpp"

namespace vexa_cli {
namespace {

using vexa_package::ProfileStepKind;

constexpr std::uint64_t MAX64 = std::numeric_limits<std::uint64_t>::max();

std::uint64_t points_in(const std::vector<std::uint64_t>& points, std::uint64_t from,
                        std::uint64_t width) {
    return static_cast<std::uint64_t>(std::ranges::count_if(
        points, [&](std::uint64_t p) { return p >= from && p - from < width; }));
}

// Point sets of every shape the device timeline gives: runs going up, going down, clustered
// with a far outlier, at both ends of the 64-bit range, and all on one cycle.
std::vector<std::vector<std::uint64_t>> point_sets() {
    std::mt19937_64 random(22);
    std::vector<std::vector<std::uint64_t>> sets;
    const auto make = [&](std::size_t count, auto next) {
        std::vector<std::uint64_t> points(count);
        for (std::uint64_t& point : points) {
            point = next();
        }
        sets.push_back(std::move(points));
    };
    std::uint64_t cycle = std::uint64_t{1} << 32;
    make(50000, [&] { return cycle += random() % 3000; });
    cycle = std::uint64_t{1} << 40;
    make(50000, [&] { return cycle -= random() % 3000; });
    make(30000, [&] { return (std::uint64_t{1} << 32) + random() % 100000; });
    sets.back()[17] = (std::uint64_t{1} << 32) + (std::uint64_t{1} << 45);
    make(20000, [&] { return random() % 2 == 0 ? random() % 64 : MAX64 - random() % 64; });
    make(5000, [] { return std::uint64_t{12345}; });
    make(3, [&] { return random(); });
    return sets;
}

TEST(StartHistogram, CutsAtTheLatestBoundaryThatKeepsTheLimitAndResolvesTheRange) {
    for (const std::vector<std::uint64_t>& points : point_sets()) {
        StartHistogram histogram;
        for (const std::uint64_t point : points) {
            histogram.add(point);
        }
        ASSERT_EQ(histogram.points(), points.size());
        const auto [lowest, highest] = std::ranges::minmax(points);
        // Buckets are only as wide as resolving the range into BUCKETS / 2 - 1 parts needs.
        EXPECT_TRUE(histogram.width() == 1 ||
                    highest - lowest >= (StartHistogram::BUCKETS / 2 - 1) * histogram.width())
            << histogram.width();
        EXPECT_FALSE(histogram.cut(points.size()));
        EXPECT_FALSE(histogram.cut(MAX64));
        for (const std::uint64_t limit :
             {std::uint64_t{0}, std::uint64_t{1}, std::uint64_t{points.size() / 3},
              std::uint64_t{points.size() - 1}}) {
            const auto cut = histogram.cut(limit);
            ASSERT_TRUE(cut) << limit;
            EXPECT_EQ(cut->width, histogram.width());
            EXPECT_EQ(cut->before % cut->width, 0U);
            EXPECT_EQ(cut->points, points_in(points, 0, cut->before));
            EXPECT_LE(cut->points, limit);
            EXPECT_EQ(cut->next_points, points_in(points, cut->before, cut->width));
            EXPECT_GT(cut->points + cut->next_points, limit);
        }
    }
}

TEST(StartHistogram, AGivenWindowCountsItsPointsInFinerBuckets) {
    // The window of one bucket 2^20 wide, cut into 4096 buckets of 256 cycles.
    const std::uint64_t from = std::uint64_t{7} << 20;
    StartHistogram histogram(from, 8);
    for (std::uint64_t i = 0; i < 1000; ++i) {
        histogram.add(from + i * 1000);
    }
    EXPECT_EQ(histogram.width(), 256U);
    const auto cut = histogram.cut(500);
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->points, 500U);
    // Any boundary between the 500th point and the 501st keeps 500: the latest is taken.
    EXPECT_EQ(cut->before, from + 500 * 1000 / 256 * 256);
    EXPECT_EQ(cut->next_points, 1U);
}

struct Sample {
    std::uint32_t tile = 0;
    ProfileStepKind kind = ProfileStepKind::Exchange;
    std::uint64_t start = 0;
    std::uint64_t end = 0;
};

// The busy percentage of one tile and kind, given its samples, in one bucket, counted sample
// by sample.
double busy_share(const std::vector<Sample>& samples, const BusyOverview& overview,
                  std::size_t bucket) {
    const std::uint64_t from = overview.bucket_start(bucket);
    const std::uint64_t to = overview.bucket_start(bucket + 1);
    double cycles = 0;
    for (const Sample& sample : samples) {
        const std::uint64_t start = std::max(sample.start, from);
        const std::uint64_t end = std::min(sample.end, to);
        cycles += end > start ? static_cast<double>(end - start) : 0;
    }
    return to == from ? 0 : cycles * 100 / static_cast<double>(to - from);
}

void expect_shares(const std::vector<Sample>& samples, BusyOverview& overview) {
    for (const Sample& sample : samples) {
        overview.add(sample.tile, sample.kind, sample.start, sample.end);
    }
    overview.finish();
    for (std::size_t series = 0; series < overview.series().size(); ++series) {
        std::vector<Sample> own;
        std::ranges::copy_if(samples, std::back_inserter(own), [&](const Sample& sample) {
            return sample.tile == overview.series()[series].physical_tile &&
                   sample.kind == overview.series()[series].kind;
        });
        for (std::size_t bucket = 0; bucket < overview.buckets(); ++bucket) {
            const double expected = busy_share(own, overview, bucket);
            ASSERT_NEAR(overview.share(series, bucket), expected, 1e-9 * std::max(1.0, expected))
                << "series " << series << " bucket " << bucket;
        }
    }
}

TileKinds kinds_of(const std::vector<Sample>& samples) {
    TileKinds tiles;
    for (const Sample& sample : samples) {
        tiles[sample.tile] |= static_cast<std::uint8_t>(1U << static_cast<unsigned>(sample.kind));
    }
    return tiles;
}

TEST(BusyOverview, SharesAreTheCyclesOfEachBucketSpentInEachKind) {
    std::mt19937_64 random(7);
    std::vector<Sample> samples;
    // Short samples back to back, long ones over many buckets, overlaps, zero lengths, and
    // samples ending on bucket boundaries.
    for (std::uint32_t tile : {3U, 10U, 2U}) {
        std::uint64_t cycle = (std::uint64_t{1} << 32) + tile * 977;
        for (int i = 0; i < 3000; ++i) {
            const auto kind = static_cast<ProfileStepKind>(random() % (tile == 2 ? 2 : 4));
            const std::uint64_t length = random() % 10 == 0 ? random() % 400000 : random() % 900;
            samples.push_back({tile, kind, cycle, cycle + length});
            cycle += random() % 3 == 0 ? length / 2 : length + random() % 50;
        }
    }
    std::uint64_t first = MAX64;
    std::uint64_t last = 0;
    for (const Sample& sample : samples) {
        first = std::min(first, sample.start);
        last = std::max(last, sample.end);
    }
    // 9000 samples of 10 tiles and kinds: 900 buckets, one per sample of each.
    BusyOverview overview(first, last, kinds_of(samples), samples.size());
    EXPECT_EQ(overview.buckets(), 900U);
    EXPECT_EQ(overview.bucket_start(0), first);
    EXPECT_EQ(overview.bucket_start(overview.buckets()), last);
    ASSERT_EQ(overview.series().size(), 10U);
    EXPECT_EQ(overview.series()[0].physical_tile, 2U);
    EXPECT_EQ(overview.series()[2].physical_tile, 3U);
    samples.push_back(
        {10, ProfileStepKind::Idle, overview.bucket_start(5), overview.bucket_start(9)});
    samples.push_back(
        {10, ProfileStepKind::Idle, overview.bucket_start(7), overview.bucket_start(7)});
    expect_shares(samples, overview);
}

TEST(BusyOverview, BucketsFollowTheRunAndTheNumberOfSeries) {
    // A run of fewer cycles than buckets has a bucket per cycle; one sample over all of it is
    // busy throughout.
    {
        const std::vector<Sample> samples{{0, ProfileStepKind::Compute, 100, 137}};
        BusyOverview overview(100, 137, kinds_of(samples), 5000);
        EXPECT_EQ(overview.buckets(), 37U);
        expect_shares(samples, overview);
        for (std::size_t bucket = 0; bucket < overview.buckets(); ++bucket) {
            EXPECT_EQ(overview.share(0, bucket), 100);
        }
    }
    // A run of no cycles has one empty bucket.
    {
        const std::vector<Sample> samples{{4, ProfileStepKind::Idle, 50, 50}};
        BusyOverview overview(50, 50, kinds_of(samples), 5000);
        EXPECT_EQ(overview.buckets(), 1U);
        expect_shares(samples, overview);
        EXPECT_EQ(overview.share(0, 0), 0);
    }
    // Buckets of equal width but the last, at both ends of the 64-bit range.
    {
        const std::vector<Sample> samples{{1, ProfileStepKind::Exchange, 0, MAX64},
                                          {1, ProfileStepKind::Exchange, MAX64 / 3, MAX64 / 2}};
        BusyOverview overview(0, MAX64, kinds_of(samples), 5000);
        EXPECT_EQ(overview.buckets(), BusyOverview::BUCKETS);
        expect_shares(samples, overview);
    }
    // No more buckets than samples per tile and kind.
    {
        std::vector<Sample> samples;
        for (std::uint64_t i = 0; i < 10; ++i) {
            samples.push_back({6, ProfileStepKind::Synchronization, i * 500, i * 500 + 300});
        }
        BusyOverview overview(0, 4800, kinds_of(samples), samples.size());
        EXPECT_EQ(overview.buckets(), 10U);
        expect_shares(samples, overview);
        EXPECT_EQ(overview.share(0, 9), 62.5);
    }
    // Many tiles share the cells: fewer buckets, and the counters' memory stays bounded.
    {
        std::vector<Sample> samples;
        for (std::uint32_t tile = 0; tile < 2000; ++tile) {
            for (const ProfileStepKind kind : {ProfileStepKind::Compute, ProfileStepKind::Idle}) {
                samples.push_back({tile, kind, tile * 1000ULL, tile * 1000ULL + 999});
            }
        }
        BusyOverview overview(0, 2000 * 1000, kinds_of(samples), 4000 * BusyOverview::BUCKETS);
        EXPECT_EQ(overview.buckets(), BusyOverview::MOST_CELLS / 4000);
        expect_shares(samples, overview);
    }
}

}  // namespace
}  // namespace vexa_cli
