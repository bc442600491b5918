#include <gtest/gtest.h>

#include <capnp/message.h>
#include <capnp/serialize.h>
#include <kj/exception.h>

#include <string_view>

#include "placed_message.hpp"
#include "profile.capnp.h"
#include "segment_plan.hpp"

namespace vexa_package {
namespace {

using detail::SegmentPlan;

constexpr std::size_t MAX_ELEMENTS = (std::size_t{1} << 29) - 1;

// An object the build refuses, and everything after it, takes no room: the output is sized
// only for what is built before the build stops.
TEST(SegmentPlan, RefusedObjectsEndThePlan) {
    const std::vector<void (*)(SegmentPlan&)> refusals = {
        [](SegmentPlan& plan) { plan.place_text(0, MAX_ELEMENTS); },
        [](SegmentPlan& plan) { plan.place_data(0, MAX_ELEMENTS + 1); },
        [](SegmentPlan& plan) { plan.place_u32_list(0, MAX_ELEMENTS + 1); },
        [](SegmentPlan& plan) { (void)plan.place_struct_list(0, MAX_ELEMENTS + 1, 1); },
        // 2^28 elements of two words outgrow a segment although the count is allowed.
        [](SegmentPlan& plan) { (void)plan.place_struct_list(0, std::size_t{1} << 28, 2); },
        // With its tag this list fills a whole segment, leaving no room for the landing pad
        // that the pointer to it needs in the new segment.
        [](SegmentPlan& plan) { (void)plan.place_struct_list(0, (std::size_t{1} << 28) - 1, 2); },
    };
    for (std::size_t i = 0; i < refusals.size(); ++i) {
        SCOPED_TRACE(i);
        SegmentPlan plan;
        const auto root = plan.place_root(3);
        plan.place_data(root, 20000);
        const std::vector<std::uint32_t> before = plan.segment_words();
        refusals[i](plan);
        plan.place_text(root, 5);
        plan.place_data(root, 100000);
        (void)plan.place_struct_list(root, 7, 2);
        EXPECT_EQ(plan.segment_words(), before);
    }

    // The largest objects the format allows are placed.
    SegmentPlan plan;
    plan.place_text(0, MAX_ELEMENTS - 1);
    plan.place_data(0, MAX_ELEMENTS);
    EXPECT_EQ(plan.segment_words(),
              (std::vector<std::uint32_t>{1, (1u << 26) + 1, (1u << 26) + 1}));
    // A list that fills a new segment with its tag and landing pad.
    SegmentPlan list_plan;
    (void)list_plan.place_struct_list(0, MAX_ELEMENTS - 2, 1);
    EXPECT_EQ(list_plan.segment_words(),
              (std::vector<std::uint32_t>{1, static_cast<std::uint32_t>(MAX_ELEMENTS)}));
}

// A build that strays from its plan fails instead of writing a message laid out otherwise,
// and leaves the buffer as it was.
TEST(SegmentPlan, BuildsThatStrayFromThePlanFail) {
    SegmentPlan plan;
    const auto root = plan.place_root(capnp::sizeInWords<profile_capnp::Profile>());
    (void)plan.place_struct_list(root, 2, capnp::sizeInWords<profile_capnp::TileProfile>());
    const auto build = [](std::uint32_t tiles) {
        return [tiles](capnp::MessageBuilder& message) {
            message.initRoot<profile_capnp::Profile>().initTiles(tiles);
        };
    };
    for (const std::uint32_t tiles : {1u, 3u, 2000u}) {
        SCOPED_TRACE(tiles);
        Bytes output = {4, 5, 6};
        EXPECT_THROW(detail::write_placed(output, plan, build(tiles)), kj::Exception);
        EXPECT_EQ(output, (Bytes{4, 5, 6}));
    }

    // Two planned segments, of which the build opens only the first.
    SegmentPlan two_segments;
    (void)two_segments.place_struct_list(
        two_segments.place_root(capnp::sizeInWords<profile_capnp::Profile>()), 2000,
        capnp::sizeInWords<profile_capnp::TileProfile>());
    ASSERT_EQ(two_segments.segment_words().size(), 2u);
    Bytes short_output = {4, 5, 6};
    try {
        detail::write_placed(short_output, two_segments, [](capnp::MessageBuilder& message) {
            message.initRoot<profile_capnp::Profile>();
        });
        ADD_FAILURE() << "a build of fewer segments than planned was written";
    } catch (const kj::Exception& exception) {
        EXPECT_NE(std::string_view(exception.getDescription().cStr())
                      .find("Message has other segments than planned."),
                  std::string_view::npos)
            << exception.getDescription().cStr();
    }
    EXPECT_EQ(short_output, (Bytes{4, 5, 6}));

    Bytes output = {4, 5, 6, 7, 8, 9, 10, 11};
    detail::write_placed(output, plan, build(2));
    capnp::MallocMessageBuilder expected;
    expected.initRoot<profile_capnp::Profile>().initTiles(2);
    const auto words = capnp::messageToFlatArray(expected);
    Bytes expected_output = {4, 5, 6, 7, 8, 9, 10, 11};
    expected_output.insert(expected_output.end(), words.asBytes().begin(), words.asBytes().end());
    EXPECT_EQ(output, expected_output);
}

}  // namespace
}  // namespace vexa_package
