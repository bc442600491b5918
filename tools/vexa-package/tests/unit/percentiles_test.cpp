// Nearest-rank percentiles: the value of rank ceil(p / 100 * n), rank 1 for p = 0.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <random>
#include <vector>

#include "profile/percentiles.hpp"

namespace vexa_cli {
namespace {

std::uint32_t percentile(std::vector<std::uint32_t> values, unsigned percent) {
    std::deque<std::uint32_t> deque(values.begin(), values.end());
    return nearest_rank(deque, percent);
}

TEST(NearestRank, NoValuesGiveZeroAndPercentsAboveAHundredTheLargest) {
    std::deque<std::uint32_t> none;
    EXPECT_EQ(nearest_rank(none, 50), 0U);
    std::deque<std::uint32_t> values{7, 3, 9};
    EXPECT_EQ(nearest_rank(values, 101), 9U);
    EXPECT_EQ(nearest_rank(values, 4'000'000'000U), 9U);
}

TEST(NearestRank, OneValueIsEveryPercentile) {
    for (const unsigned percent : {0U, 1U, 50U, 99U, 100U}) {
        EXPECT_EQ(percentile({42}, percent), 42U) << percent;
    }
}

TEST(NearestRank, TakesTheRankRoundedUpWhateverTheOrder) {
    struct Case {
        std::vector<std::uint32_t> values;
        unsigned percent;
        std::uint32_t expected;
    };
    const Case cases[] = {
        // Ten values 10..100: p is exactly a rank at multiples of 10, rounded up between.
        {{70, 10, 100, 40, 20, 90, 30, 60, 80, 50}, 0, 10},
        {{70, 10, 100, 40, 20, 90, 30, 60, 80, 50}, 1, 10},
        {{70, 10, 100, 40, 20, 90, 30, 60, 80, 50}, 10, 10},
        {{70, 10, 100, 40, 20, 90, 30, 60, 80, 50}, 11, 20},
        {{70, 10, 100, 40, 20, 90, 30, 60, 80, 50}, 50, 50},
        {{70, 10, 100, 40, 20, 90, 30, 60, 80, 50}, 51, 60},
        {{70, 10, 100, 40, 20, 90, 30, 60, 80, 50}, 90, 90},
        {{70, 10, 100, 40, 20, 90, 30, 60, 80, 50}, 91, 100},
        {{70, 10, 100, 40, 20, 90, 30, 60, 80, 50}, 100, 100},
        // Two values: the median is the lower one, anything above it the upper one.
        {{9, 3}, 50, 3},
        {{9, 3}, 51, 9},
        // Ties: a rank inside a run of equal values gives that value.
        {{5, 1, 5, 5, 9}, 20, 1},
        {{5, 1, 5, 5, 9}, 21, 5},
        {{5, 1, 5, 5, 9}, 80, 5},
        {{5, 1, 5, 5, 9}, 81, 9},
        {{7, 7, 7}, 0, 7},
        {{7, 7, 7}, 100, 7},
        // The extremes of the value range.
        {{0, 4294967295, 0}, 66, 0},
        {{0, 4294967295, 0}, 67, 4294967295},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(percentile(c.values, c.percent), c.expected)
            << "p" << c.percent << " of " << c.values.size() << " values";
    }
}

TEST(NearestRank, AtLeastThatShareOfValuesLiesAtOrBelowIt) {
    std::mt19937 random(3);
    for (int round = 0; round < 200; ++round) {
        std::vector<std::uint32_t> values(1 + random() % 300);
        for (std::uint32_t& value : values) {
            value = static_cast<std::uint32_t>(random() % 50);
        }
        for (unsigned percent = 0; percent <= 100; ++percent) {
            const std::uint32_t result = percentile(values, percent);
            const auto at_or_below =
                std::ranges::count_if(values, [&](auto v) { return v <= result; });
            const auto below = std::ranges::count_if(values, [&](auto v) { return v < result; });
            // At least percent% at or below it, and it is the smallest such value: fewer
            // than percent% lie strictly below it (or it is the minimum).
            ASSERT_GE(static_cast<std::size_t>(at_or_below) * 100, percent * values.size());
            ASSERT_TRUE(below == 0 ||
                        static_cast<std::size_t>(below) * 100 < percent * values.size())
                << percent;
        }
    }
}

}  // namespace
}  // namespace vexa_cli
