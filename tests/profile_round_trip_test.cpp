#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include <kj/debug.h>
#include <kj/io.h>

#include "vexa_package/profile.hpp"

namespace vexa_package {
namespace {

// One tile with a sample of each kind, whose start cycles sit just below the top of the
// 32-bit counter and whose end cycles lie just after it wrapped.
ProfileReport wrapped_counter_report() {
    constexpr std::array kinds = {ProfileStepKind::Exchange, ProfileStepKind::Compute,
                                  ProfileStepKind::Synchronization, ProfileStepKind::Idle};
    TileProfile tile{.physical_tile = 17, .samples = {}};
    for (std::uint32_t i = 0; i < kinds.size(); ++i) {
        tile.samples.push_back(CycleSample{
            .step = ProfileStep{.local_index = i,
                                .phase = 5,
                                .epoch = 8,
                                .operation = "accumulate",
                                .kind = kinds[i],
                                .kernel = "gemm_f32_accumulate",
                                .metadata = {{.name = "innerBlock", .value = "8"}}},
            .start_cycle = 4294967285u + i,
            .end_cycle = 7 + i,
        });
    }
    return ProfileReport{.clock_hz = 1500000000, .tiles = {tile}};
}

Bytes written(const ProfileReport& report) {
    Bytes output;
    const auto result = report.write(output);
    EXPECT_TRUE(result.has_value()) << result.error();
    return output;
}

ProfileReport read_back(const ProfileReport& report) {
    const auto result = ProfileReport::read(written(report));
    EXPECT_TRUE(result.has_value()) << result.error();
    return result.value_or(ProfileReport{});
}

TEST(ProfileRoundTrip, WrappedCountersAndEveryKindComeBackExactly) {
    const ProfileReport report = wrapped_counter_report();
    const ProfileReport back = read_back(report);

    EXPECT_EQ(back, report);
    ASSERT_EQ(back.tiles.size(), 1u);
    ASSERT_EQ(back.tiles[0].samples.size(), 4u);
    EXPECT_EQ(back.tiles[0].samples[0].start_cycle, 4294967285u);
    EXPECT_EQ(back.tiles[0].samples[3].start_cycle, 4294967288u);
    EXPECT_EQ(back.tiles[0].samples[3].end_cycle, 10u);
    EXPECT_EQ(back.tiles[0].samples[2].step.kind, ProfileStepKind::Synchronization);
}

TEST(ProfileRoundTrip, EmptyPartsComeBackEqual) {
    const std::vector<ProfileReport> reports = {
        ProfileReport{},
        ProfileReport{.clock_hz = 1, .tiles = {TileProfile{.physical_tile = 3, .samples = {}}}},
        ProfileReport{
            .clock_hz = 2,
            .tiles = {TileProfile{.physical_tile = 0,
                                  .samples = {CycleSample{
                                      .step = ProfileStep{}, .start_cycle = 0, .end_cycle = 0}}}}},
        ProfileReport{.clock_hz = UINT64_MAX,
                      .tiles = {TileProfile{
                          .physical_tile = UINT32_MAX,
                          .samples = {CycleSample{.step = ProfileStep{.local_index = UINT32_MAX,
                                                                      .phase = UINT32_MAX,
                                                                      .epoch = UINT32_MAX,
                                                                      .operation = "",
                                                                      .kind = ProfileStepKind::Idle,
                                                                      .kernel = "",
                                                                      .metadata = {{}}},
                                                  .start_cycle = UINT32_MAX,
                                                  .end_cycle = UINT32_MAX}}}}},
    };
    for (const auto& report : reports) {
        EXPECT_EQ(read_back(report), report) << report;
    }
}

TEST(ProfileRoundTrip, DuplicatesAndOrderAreKeptAsGiven) {
    ProfileReport report = wrapped_counter_report();
    // Same physical tile twice, samples out of cycle order, repeated metadata names.
    TileProfile again = report.tiles[0];
    std::swap(again.samples[0], again.samples[3]);
    again.samples[1].step.metadata = {{.name = "innerBlock", .value = "8"},
                                      {.name = "innerBlock", .value = "16"},
                                      {.name = "ünïcødé", .value = "→ 😀"}};
    report.tiles.push_back(again);

    const ProfileReport back = read_back(report);
    EXPECT_EQ(back, report);

    // The same content in another order is a different report.
    ProfileReport reordered = report;
    std::swap(reordered.tiles[0], reordered.tiles[1]);
    EXPECT_NE(back, reordered);
}

TEST(ProfileRoundTrip, WritingIsDeterministicAndAppends) {
    const ProfileReport first = wrapped_counter_report();
    const ProfileReport second{.clock_hz = 42, .tiles = {}};
    const Bytes alone = written(first);
    EXPECT_EQ(written(first), alone);

    const Bytes prefix = {0xde, 0xad, 0xbe};
    Bytes output = prefix;
    ASSERT_TRUE(first.write(output).has_value());
    ASSERT_TRUE(second.write(output).has_value());

    ASSERT_GT(output.size(), prefix.size() + alone.size());
    EXPECT_TRUE(std::equal(prefix.begin(), prefix.end(), output.begin()));
    EXPECT_TRUE(std::equal(alone.begin(), alone.end(), output.begin() + 3));

    // Only the first of the two messages is read; the prefix makes the input unaligned.
    const auto back = ProfileReport::read(std::span(output).subspan(prefix.size()));
    ASSERT_TRUE(back.has_value()) << back.error();
    EXPECT_EQ(*back, first);
}

TEST(ProfileRoundTrip, StreamReadsConsumeExactlyOneMessage) {
    const ProfileReport first = wrapped_counter_report();
    const ProfileReport second{.clock_hz = 42,
                               .tiles = {TileProfile{.physical_tile = 9, .samples = {}}}};
    Bytes output;
    ASSERT_TRUE(first.write(output).has_value());
    ASSERT_TRUE(second.write(output).has_value());

    kj::ArrayInputStream stream(kj::arrayPtr(output.data(), output.size()));
    const auto one = ProfileReport::read(stream);
    const auto two = ProfileReport::read(stream);
    const auto none = ProfileReport::read(stream);
    ASSERT_TRUE(one.has_value()) << one.error();
    ASSERT_TRUE(two.has_value()) << two.error();
    EXPECT_EQ(*one, first);
    EXPECT_EQ(*two, second);
    ASSERT_FALSE(none.has_value());
    EXPECT_EQ(none.error().kind(), PackageError::Kind::Capnp);
}

TEST(ProfileRoundTrip, StreamWriteGivesTheBufferBytes) {
    const ProfileReport report = wrapped_counter_report();
    kj::VectorOutputStream stream;
    ASSERT_TRUE(report.write(stream).has_value());
    const auto array = stream.getArray();
    EXPECT_EQ(Bytes(array.begin(), array.end()), written(report));
}

// A sink that refuses every write, like a full disk or a closed pipe.
class FailingStream final : public kj::OutputStream {
  public:
    void write(const void*, std::size_t) override { KJ_FAIL_REQUIRE("sink is closed"); }
};

TEST(ProfileRoundTrip, FailingSinkAndUnstorableKindGiveCapnp) {
    FailingStream sink;
    const auto failed = wrapped_counter_report().write(sink);
    ASSERT_FALSE(failed.has_value());
    EXPECT_EQ(failed.error().kind(), PackageError::Kind::Capnp);

    // A kind value outside the enumeration has no stored code, so it is refused rather than
    // written as a report no reader accepts.
    ProfileReport report = wrapped_counter_report();
    report.tiles[0].samples[2].step.kind = static_cast<ProfileStepKind>(4);
    Bytes output = {1, 2};
    const auto refused = report.write(output);
    ASSERT_FALSE(refused.has_value());
    EXPECT_EQ(refused.error().kind(), PackageError::Kind::Capnp);
    EXPECT_EQ(output, (Bytes{1, 2}));
}

}  // namespace
}  // namespace vexa_package
