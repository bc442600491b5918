// The device timeline as the profile commands use it: every sample is placed, kept or not;
// --from/--to keep the samples that start in the window; and what the commands say when the
// counter values leave doubt or when the filters keep nothing.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "profile/sample_filter.hpp"
#include "profile/timeline_report.hpp"
#include "support/profile_reports.hpp"
#include "vexa_package/profile_visitor.hpp"

namespace vexa_cli {
namespace {

using testing::profile_report;
using testing::report_bytes;
using testing::SampleRow;
using testing::TileRows;

constexpr std::uint64_t EPOCH = std::uint64_t{1} << 32;

struct Kept {
    std::uint32_t physical_tile = 0;
    std::uint64_t start = 0;
    std::uint64_t end = 0;
    std::uint32_t cycles = 0;

    friend bool operator==(const Kept&, const Kept&) = default;
};

class KeptSamples final : public FilteredVisitor {
  public:
    using FilteredVisitor::FilteredVisitor;

    std::vector<Kept> samples;

  private:
    void on_sample(const KeptSample& sample) override {
        samples.push_back({sample.physical_tile, sample.start, sample.end, sample.cycles});
    }
};

struct Outcome {
    std::vector<Kept> kept;
    std::vector<std::string> notes;
};

Outcome run_report(const std::vector<TileRows>& tiles, const SampleFilterOptions& options,
                   bool shows_times) {
    SampleFilter filter(options);
    KeptSamples visitor(filter);
    const auto bytes = report_bytes(profile_report(1'000'000'000, tiles));
    EXPECT_TRUE(vexa_package::visit_profile(bytes, visitor).has_value());
    return {.kept = visitor.samples, .notes = timeline_notes(visitor, shows_times)};
}

// Tile 1 runs across a counter wrap; tile 2 starts a little before the report's first sample.
const std::vector<TileRows> WRAPPING = {
    {.physical_tile = 1,
     .samples = {{.start_cycle = 0xffff'ff00, .end_cycle = 0xffff'ff80},
                 {.start_cycle = 0xffff'ffc0, .end_cycle = 0x40},
                 {.start_cycle = 0x100, .end_cycle = 0x200}}},
    {.physical_tile = 2, .samples = {{.start_cycle = 0xffff'fe00, .end_cycle = 0xffff'fe10}}},
};

TEST(DeviceTimeline, PlacesSamplesAcrossCounterWrapsFromTheFirstSampleOneEpochUp) {
    const Outcome all = run_report(WRAPPING, {}, true);
    const std::vector<Kept> expected = {
        {1, EPOCH + 0xffff'ff00, EPOCH + 0xffff'ff80, 0x80},
        {1, EPOCH + 0xffff'ffc0, 2 * EPOCH + 0x40, 0x80},
        {1, 2 * EPOCH + 0x100, 2 * EPOCH + 0x200, 0x100},
        {2, EPOCH + 0xffff'fe00, EPOCH + 0xffff'fe10, 0x10},
    };
    EXPECT_EQ(all.kept, expected);
    EXPECT_TRUE(all.notes.empty());
}

TEST(DeviceTimeline, AWindowKeepsSamplesStartingFromItsStartUpToButNotAtItsEnd) {
    struct Case {
        std::optional<std::uint64_t> from;
        std::optional<std::uint64_t> to;
        std::vector<std::uint64_t> starts;
    };
    const std::uint64_t first = EPOCH + 0xffff'ff00;
    const std::uint64_t second = EPOCH + 0xffff'ffc0;
    const std::uint64_t third = 2 * EPOCH + 0x100;
    const std::uint64_t fourth = EPOCH + 0xffff'fe00;
    const Case cases[] = {
        {first, std::nullopt, {first, second, third}},
        {first + 1, std::nullopt, {second, third}},
        {std::nullopt, second, {first, fourth}},
        {std::nullopt, second + 1, {first, second, fourth}},
        {second, third, {second}},
        {0, 1, {}},
        {third + 1, std::nullopt, {}},
    };
    for (const Case& c : cases) {
        const Outcome windowed = run_report(WRAPPING, {.from = c.from, .to = c.to}, false);
        std::vector<std::uint64_t> starts;
        for (const Kept& kept : windowed.kept) {
            starts.push_back(kept.start);
        }
        EXPECT_EQ(starts, c.starts) << c.from.value_or(0) << ".." << c.to.value_or(0);
    }
}

TEST(DeviceTimeline, IsTheSameWhicheverTilesAreKept) {
    // Tile 2's first sample is placed against the report's first sample, on tile 1, a
    // counter wrap later than its stored value alone would put it, even when tile 1 is left
    // out.
    const std::vector<TileRows> tiles = {
        {.physical_tile = 1, .samples = {{.start_cycle = 0xffff'ff00, .end_cycle = 0xffff'ff10}}},
        {.physical_tile = 2, .samples = {{.start_cycle = 0x10, .end_cycle = 0x20}}},
    };
    const Outcome only_two = run_report(tiles, {.tiles = "2"}, true);
    const std::vector<Kept> expected = {{2, 2 * EPOCH + 0x10, 2 * EPOCH + 0x20, 0x10}};
    EXPECT_EQ(only_two.kept, expected);
    const Outcome windowed = run_report(tiles, {.from = 2 * EPOCH, .to = 2 * EPOCH + 0x11}, true);
    EXPECT_EQ(windowed.kept, only_two.kept);
}

TEST(TimelineNotes, SayThatNoSampleWasKeptAndWhereTheReportLies) {
    const Outcome none = run_report(WRAPPING, {.kernel = "no such kernel"}, false);
    EXPECT_TRUE(none.kept.empty());
    EXPECT_EQ(none.notes, std::vector<std::string>{"no samples kept; the report spans cycles " +
                                                   std::to_string(EPOCH + 0xffff'fe00) + " to " +
                                                   std::to_string(2 * EPOCH + 0x200) +
                                                   " on the device timeline"});

    const std::vector<TileRows> empty = {{.physical_tile = 0, .samples = {}}};
    EXPECT_EQ(run_report(empty, {.kind = "idle"}, false).notes,
              std::vector<std::string>{"no samples kept; the report holds no samples"});
    // Without a filter an empty report is no surprise.
    EXPECT_TRUE(run_report(empty, {}, true).notes.empty());
    EXPECT_TRUE(run_report({}, {}, true).notes.empty());
}

TEST(TimelineNotes, WarnOfSamplesOutOfOrderOnlyWhereTimesAreShown) {
    const std::vector<TileRows> tiles = {
        {.physical_tile = 0, .samples = {{.start_cycle = 10, .end_cycle = 20}}},
        {.physical_tile = 6,
         .samples = {{.start_cycle = 1000, .end_cycle = 1100},
                     {.start_cycle = 500, .end_cycle = 600},
                     {.start_cycle = 400, .end_cycle = 450}}},
    };
    const std::string expected =
        "2 samples start earlier than the sample listed just before on the same tile (first: "
        "tile 6 (tile entry 1), sample 1); each is placed up to 2^31 cycles back, which is "
        "right if the report lists samples out of order and wrong if the counter wrapped "
        "between them";
    EXPECT_EQ(run_report(tiles, {}, true).notes, std::vector<std::string>{expected});
    EXPECT_EQ(run_report(tiles, {.to = 3 * EPOCH}, false).notes,
              std::vector<std::string>{expected});
    EXPECT_TRUE(run_report(tiles, {}, false).notes.empty());
    // A tile filter places nothing in time.
    EXPECT_TRUE(run_report(tiles, {.tiles = "6"}, false).notes.empty());
}

TEST(TimelineNotes, WarnOfAmbiguousAndOutOfRangeStarts) {
    // Each start lies 2^31 - 1 cycles before the one listed before it: backwards, close to
    // half a wrap, and by the fourth sample below cycle 0 of the timeline.
    const std::vector<TileRows> tiles = {
        {.physical_tile = 5,
         .samples = {{.start_cycle = 0, .end_cycle = 1},
                     {.start_cycle = 0x8000'0001, .end_cycle = 0x8000'0002},
                     {.start_cycle = 2, .end_cycle = 3},
                     {.start_cycle = 0x8000'0003, .end_cycle = 0x8000'0004}}},
    };
    const Outcome placed = run_report(tiles, {}, true);
    ASSERT_EQ(placed.kept.size(), 4U);
    ASSERT_EQ(placed.notes.size(), 3U);
    // The fourth is placed above the third, at its stored value, so only two go backwards.
    EXPECT_TRUE(placed.notes[0].starts_with(
        "2 samples start earlier than the sample listed just before on the same tile (first: "
        "tile 5 (tile entry 0), sample 1)"))
        << placed.notes[0];
    EXPECT_TRUE(placed.notes[1].starts_with(
        "3 samples start nearly 2^31 cycles from the previous start of their tile"))
        << placed.notes[1];
    EXPECT_NE(placed.notes[1].find("(first: tile 5 (tile entry 0), sample 1)"), std::string::npos)
        << placed.notes[1];
    EXPECT_TRUE(placed.notes[2].starts_with("1 sample falls outside the device timeline"))
        << placed.notes[2];
    EXPECT_NE(placed.notes[2].find("(first: tile 5 (tile entry 0), sample 3)"), std::string::npos)
        << placed.notes[2];
    // The sample outside is placed at the nearest cycle inside with its stored low 32 bits.
    EXPECT_EQ(placed.kept[3].start, std::uint64_t{0x8000'0003});
}

}  // namespace
}  // namespace vexa_cli
