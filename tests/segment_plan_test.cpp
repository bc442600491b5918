#include <gtest/gtest.h>

#include <capnp/message.h>
#include <capnp/serialize.h>
#include <kj/debug.h>
#include <kj/exception.h>
#include <kj/io.h>

#include <algorithm>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

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

using Build = std::function<void(capnp::MessageBuilder&)>;

// What Cap'n Proto's default builder gives for `build`, written out after `prefix`.
Bytes default_built(const Bytes& prefix, const Build& build) {
    capnp::MallocMessageBuilder message;
    build(message);
    const auto words = capnp::messageToFlatArray(message);
    Bytes bytes = prefix;
    bytes.insert(bytes.end(), words.asBytes().begin(), words.asBytes().end());
    return bytes;
}

Bytes prefix_of_length(std::size_t length) {
    Bytes prefix(length);
    for (std::size_t i = 0; i < length; ++i) {
        prefix[i] = static_cast<std::uint8_t>(0xb0 + i);
    }
    return prefix;
}

// Writes with `plan` after prefixes of every length modulo a word, with and without spare
// capacity, and into a stream; expects the default builder's bytes each time and returns how
// often each write ran the build.
std::vector<int> expect_default_bytes(const SegmentPlan& plan, const Build& build) {
    std::vector<int> runs;
    auto counted = [&](capnp::MessageBuilder& message) {
        ++runs.back();
        build(message);
    };
    for (std::size_t length = 0; length < 9; ++length) {
        SCOPED_TRACE("prefix of " + std::to_string(length));
        const Bytes prefix = prefix_of_length(length);
        Bytes output = prefix;
        runs.push_back(0);
        detail::write_placed(output, plan, counted);
        EXPECT_EQ(output, default_built(prefix, build));

        Bytes spare = prefix;
        spare.reserve(length + (std::size_t{1} << 16));
        runs.push_back(0);
        detail::write_placed(spare, plan, counted);
        EXPECT_EQ(spare, default_built(prefix, build));
    }
    kj::VectorOutputStream stream;
    runs.push_back(0);
    detail::write_placed(stream, plan, counted);
    const auto streamed = stream.getArray();
    EXPECT_EQ(Bytes(streamed.begin(), streamed.end()), default_built({}, build));
    return runs;
}

// A report root and its tiles, each tile with a sample whose step names an operation.
Build report_of(std::uint32_t tiles) {
    return [tiles](capnp::MessageBuilder& message) {
        auto root = message.initRoot<profile_capnp::Profile>();
        root.setClockHz(tiles);
        auto list = root.initTiles(tiles);
        for (std::uint32_t i = 0; i < tiles; ++i) {
            list[i].setPhysicalTile(i);
            list[i].initSamples(1)[0].initStep().setOperation("operation");
        }
    };
}

// The plan of `report_of(tiles)`, object by object.
SegmentPlan plan_of_report(std::uint32_t tiles) {
    SegmentPlan plan;
    const auto root = plan.place_root(capnp::sizeInWords<profile_capnp::Profile>());
    const auto list =
        plan.place_struct_list(root, tiles, capnp::sizeInWords<profile_capnp::TileProfile>());
    for (std::uint32_t i = 0; i < tiles; ++i) {
        const auto samples =
            plan.place_struct_list(list, 1, capnp::sizeInWords<profile_capnp::CycleSample>());
        const auto step =
            plan.place_struct(samples, capnp::sizeInWords<profile_capnp::ProfileStep>());
        plan.place_text(step, std::string_view("operation").size());
    }
    return plan;
}

// A plan that agrees with the build is built in place, once. One that disagrees, as a plan
// of the default builder's sizing would if a later Cap'n Proto sized its segments otherwise,
// gives the same bytes by building again with the default builder. The disagreeing plans are
// too small, so that the build asks for a segment the plan does not hold or for one larger
// than planned, or too large, so that the build leaves a planned segment partly empty or
// unopened.
TEST(SegmentPlan, BuildsThatStrayFromThePlanGiveTheDefaultBuildersBytes) {
    for (const std::uint32_t tiles : {2u, 100u, 3000u}) {
        SCOPED_TRACE(std::to_string(tiles) + " tiles");
        const std::vector<int> runs = expect_default_bytes(plan_of_report(tiles), report_of(tiles));
        EXPECT_EQ(std::ranges::count(runs, 1), std::ssize(runs));
    }
    ASSERT_GT(plan_of_report(3000).segment_words().size(), 2u) << "make the report larger";

    struct Stray {
        std::uint32_t planned;
        std::uint32_t built;
    };
    for (const auto& [planned, built] :
         {Stray{2, 1}, Stray{2, 3}, Stray{100, 101}, Stray{100, 2000}, Stray{3000, 2999},
          Stray{3000, 200}, Stray{3000, 5000}}) {
        SCOPED_TRACE("planned for " + std::to_string(planned) + " tiles, built with " +
                     std::to_string(built));
        const std::vector<int> runs =
            expect_default_bytes(plan_of_report(planned), report_of(built));
        EXPECT_EQ(std::ranges::count(runs, 2), std::ssize(runs));
    }
}

// A refusal is the build's own whichever way the message is built, and leaves nothing behind.
TEST(SegmentPlan, RefusalsAfterAStrayLeaveTheOutputAsItWas) {
    for (const bool stray : {false, true}) {
        SCOPED_TRACE(stray ? "strayed from the plan" : "as planned");
        int runs = 0;
        auto refusing = [&](capnp::MessageBuilder& message) {
            ++runs;
            report_of(2000)(message);
            KJ_FAIL_REQUIRE("refused after the tiles");
        };
        const SegmentPlan plan = plan_of_report(stray ? 10 : 2000);
        Bytes output = {4, 5, 6};
        EXPECT_THROW(detail::write_placed(output, plan, refusing), kj::Exception);
        EXPECT_EQ(output, (Bytes{4, 5, 6}));
        EXPECT_EQ(runs, stray ? 2 : 1);

        kj::VectorOutputStream stream;
        EXPECT_THROW(detail::write_placed(stream, plan, refusing), kj::Exception);
        EXPECT_EQ(stream.getArray().size(), 0u);
    }
}

}  // namespace
}  // namespace vexa_package
