// The times of a Chrome JSON trace: device cycles become nanoseconds at the report's clock,
// written as microseconds with at most three decimals, exactly.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "io/file_io.hpp"
#include "support/temporary_directory.hpp"
#include "trace/trace_json.hpp"

namespace vexa_cli {
namespace {

using vexa_package::CycleSampleView;

constexpr std::uint64_t MAX64 = std::numeric_limits<std::uint64_t>::max();

struct Times {
    std::string ts;
    std::string dur;
};

// The "ts" and "dur" of the one slice of a trace of one sample from `start` to `end` cycles.
Times slice_times(std::uint64_t clock_hz, std::uint64_t start, std::uint64_t end) {
    const testing::TemporaryDirectory directory;
    const std::string path = directory.file("trace.json");
    OutputFile output;
    EXPECT_TRUE(output.open(path, OutputRules{}).has_value());
    JsonTraceWriter writer(output, "report", TracePlan{});
    writer.header({.schema_version = 1, .clock_hz = clock_hz, .tile_count = 1});
    writer.tile({.index = 0, .physical_tile = 4, .sample_count = 1});
    CycleSampleView sample;
    sample.kernel = "k";
    writer.sample({.sample = sample, .physical_tile = 4, .start = start, .end = end});
    writer.finish();
    EXPECT_TRUE(output.commit().has_value());

    std::ifstream file(path);
    const std::string text{std::istreambuf_iterator<char>(file), {}};
    const auto field = [&text](std::string_view name) {
        const std::string key = "\"ph\":\"X\"";
        const std::size_t slice = text.find(key);
        EXPECT_NE(slice, std::string::npos) << text;
        const std::size_t at = text.find("\"" + std::string(name) + "\":", slice);
        const std::size_t from = at + name.size() + 3;
        return text.substr(from, text.find(',', from) - from);
    };
    return {.ts = field("ts"), .dur = field("dur")};
}

TEST(JsonTraceTimes, AreMicrosecondsWithUpToThreeDecimals) {
    struct Case {
        std::uint64_t clock_hz;
        std::uint64_t start;
        std::uint64_t end;
        std::string_view ts;
        std::string_view dur;
    };
    const Case cases[] = {
        // 1 GHz: a nanosecond per cycle; trailing zeros of the decimals are dropped.
        {1'000'000'000, 0, 0, "0", "0"},
        {1'000'000'000, 1000, 2000, "1", "1"},
        {1'000'000'000, 1500, 1510, "1.5", "0.01"},
        {1'000'000'000, 1001, 1002, "1.001", "0.001"},
        {1'000'000'000, 1100, 1990, "1.1", "0.89"},
        {1'000'000'000, 999, 123'456'789, "0.999", "123455.79"},
        // Unknown clock: a nanosecond per cycle as well.
        {0, 7, 1007, "0.007", "1"},
        // 2 GHz: half a nanosecond per cycle, each point rounded down on its own, so a
        // slice of one cycle may last 0 or 1 ns and nothing adds up along the time line.
        {2'000'000'000, 2001, 2002, "1", "0.001"},
        {2'000'000'000, 2000, 2001, "1", "0"},
        // 1 MHz: a microsecond per cycle.
        {1'000'000, 3, 5, "3", "2"},
        // The largest time: 2^64 - 1 ns, where a slow clock saturates.
        {1'000'000'000, MAX64 - 1, MAX64, "18446744073709551.614", "0.001"},
        {1, std::uint64_t{1} << 40, (std::uint64_t{1} << 40) + 5, "18446744073709551.615", "0"},
    };
    for (const Case& c : cases) {
        const Times times = slice_times(c.clock_hz, c.start, c.end);
        EXPECT_EQ(times.ts, c.ts) << c.start << " cycles at " << c.clock_hz << " Hz";
        EXPECT_EQ(times.dur, c.dur)
            << c.start << ".." << c.end << " cycles at " << c.clock_hz << " Hz";
    }
}

}  // namespace
}  // namespace vexa_cli
