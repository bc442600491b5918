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

// Objects placed together land where placing them one by one puts them when they fit beside
// their pointer, up to the last free word of the segment; otherwise nothing is placed.
TEST(SegmentPlan, ObjectsPlacedTogetherLandWhereOneByOneWould) {
    const auto one_by_one = [](SegmentPlan& plan, SegmentPlan::SegmentId pointer) {
        const auto stored = plan.place_struct(pointer, 2);
        plan.place_text(stored, 5);
        (void)plan.place_struct_list(stored, 1, 2);
    };
    constexpr std::uint64_t group_words = 2 + SegmentPlan::text_words(5) + 1 + 2;
    static_assert(group_words == 6);
    // The first segment holds 1024 words: the root pointer, a root of 3 words and the data.
    for (const std::size_t free_words : {std::size_t{6}, std::size_t{5}, std::size_t{0}}) {
        SCOPED_TRACE(free_words);
        const std::size_t data_bytes = (1024 - 4 - free_words) * 8;
        SegmentPlan apart;
        const auto root_apart = apart.place_root(3);
        apart.place_data(root_apart, data_bytes);
        one_by_one(apart, root_apart);

        SegmentPlan together;
        const auto root = together.place_root(3);
        together.place_data(root, data_bytes);
        const std::vector<std::uint32_t> before = together.segment_words();
        const bool placed = together.place_together(root, group_words);
        EXPECT_EQ(placed, free_words >= group_words);
        if (!placed) {
            EXPECT_EQ(together.segment_words(), before);
            one_by_one(together, root);
        }
        EXPECT_EQ(together.segment_words(), apart.segment_words());
    }
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
