// The tool's conversions of device cycles: to seconds, and to the nanoseconds of a trace's
// time line, exact at any clock rate and saturating at the top of the 64-bit range.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>

#include "profile/profile_timeline.hpp"

namespace vexa_cli {
namespace {

using vexa_package::CycleSampleView;
using vexa_package::ProfileStepKind;

constexpr std::uint64_t MAX64 = std::numeric_limits<std::uint64_t>::max();
constexpr std::uint64_t GIGAHERTZ = 1'000'000'000;

TEST(TraceNanoseconds, FloorsCyclesTimesABillionOverTheClock) {
    struct Case {
        std::uint64_t cycles;
        std::uint64_t clock_hz;
        std::uint64_t nanoseconds;
    };
    const Case cases[] = {
        // Unknown clock: one nanosecond per cycle, even at the top of the range.
        {0, 0, 0},
        {12345, 0, 12345},
        {MAX64, 0, MAX64},
        // 1 GHz: one to one.
        {7, GIGAHERTZ, 7},
        {MAX64, GIGAHERTZ, MAX64},
        // 1.5 GHz: 2/3 ns per cycle, rounded down.
        {1, 1'500'000'000, 0},
        {2, 1'500'000'000, 1},
        {3, 1'500'000'000, 2},
        {4, 1'500'000'000, 2},
        // 3 Hz: a cycle is a third of a second.
        {1, 3, 333'333'333},
        {2, 3, 666'666'666},
        {3, 3, GIGAHERTZ},
        // A clock above 1 GHz halves the largest count; a slow one saturates.
        {MAX64, 2 * GIGAHERTZ, MAX64 / 2},
        {MAX64, 1, MAX64},
        {std::uint64_t{1} << 40, 1, MAX64},
        // The product needs more than 64 bits but the result does not.
        {std::uint64_t{1} << 62, 4 * GIGAHERTZ, std::uint64_t{1} << 60},
        {MAX64 / 3, 3 * GIGAHERTZ + 1, 2049638229728959658},
        // The clock's largest value.
        {MAX64, MAX64, GIGAHERTZ},
        {MAX64 - 1, MAX64, GIGAHERTZ - 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(trace_nanoseconds(c.cycles, c.clock_hz), c.nanoseconds)
            << c.cycles << " cycles at " << c.clock_hz << " Hz";
    }
}

TEST(TraceNanoseconds, IsTheExactFloorAndNeverDecreases) {
    __extension__ using Wide = unsigned __int128;
    std::mt19937_64 random(5);
    for (int i = 0; i < 20000; ++i) {
        // Clocks from a few hertz to far above any device, counts of every size.
        const std::uint64_t clock_hz = 1 + (random() >> (random() % 64));
        const std::uint64_t cycles = random() >> (random() % 64);
        const std::uint64_t result = trace_nanoseconds(cycles, clock_hz);
        const Wide scaled = Wide{cycles} * GIGAHERTZ;
        if (result != MAX64) {
            ASSERT_LE(Wide{result} * clock_hz, scaled) << cycles << " at " << clock_hz;
            ASSERT_GT((Wide{result} + 1) * clock_hz, scaled) << cycles << " at " << clock_hz;
        } else {
            ASSERT_GE(scaled / clock_hz, Wide{MAX64}) << cycles << " at " << clock_hz;
        }
        if (cycles != MAX64) {
            ASSERT_LE(result, trace_nanoseconds(cycles + 1, clock_hz));
        }
    }
}

TEST(CyclesToSeconds, DividesByTheClockWhenItIsKnown) {
    EXPECT_FALSE(cycles_to_seconds(1000, 0));
    EXPECT_EQ(cycles_to_seconds(0, 0), std::nullopt);
    EXPECT_DOUBLE_EQ(cycles_to_seconds(GIGAHERTZ, GIGAHERTZ).value(), 1.0);
    EXPECT_DOUBLE_EQ(cycles_to_seconds(3, 2).value(), 1.5);
    EXPECT_DOUBLE_EQ(cycles_to_seconds(0, 7).value(), 0.0);
    EXPECT_DOUBLE_EQ(cycles_to_seconds(MAX64, 1).value(), 18446744073709551616.0);
}

TEST(SampleCycles, CountsAcrossACounterWrap) {
    const auto cycles = [](std::uint32_t start, std::uint32_t end) {
        CycleSampleView sample;
        sample.start_cycle = start;
        sample.end_cycle = end;
        return sample_cycles(sample);
    };
    EXPECT_EQ(cycles(100, 250), 150U);
    EXPECT_EQ(cycles(5, 5), 0U);
    EXPECT_EQ(cycles(0xffff'fff0, 0x10), 0x20U);
    EXPECT_EQ(cycles(1, 0), 0xffff'ffffU);
}

TEST(SampleName, IsTheKernelElseTheOperationElseTheKind) {
    const auto named = [](std::string_view operation, ProfileStepKind kind,
                          std::string_view kernel) {
        CycleSampleView sample;
        sample.operation = operation;
        sample.kind = kind;
        sample.kernel = kernel;
        return sample_name(sample);
    };
    EXPECT_EQ(named("op", ProfileStepKind::Exchange, "matmul"), "matmul");
    EXPECT_EQ(named("op", ProfileStepKind::Exchange, ""), "op");
    EXPECT_EQ(named("", ProfileStepKind::Synchronization, ""), "Synchronization");
}

}  // namespace
}  // namespace vexa_cli
