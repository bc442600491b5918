#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>

#include "vexa_package/profile.hpp"

namespace vexa_package {
namespace {

TEST(ProfileRender, KindsRenderAsTheirNames) {
    const std::pair<ProfileStepKind, std::string> kinds[] = {
        {ProfileStepKind::Exchange, "Exchange"},
        {ProfileStepKind::Compute, "Compute"},
        {ProfileStepKind::Synchronization, "Synchronization"},
        {ProfileStepKind::Idle, "Idle"},
        // A value no enumerator has, as a caller may cast one.
        {static_cast<ProfileStepKind>(4), "Unknown"},
    };
    for (const auto& [kind, name] : kinds) {
        EXPECT_EQ(to_string(kind), name);
        std::ostringstream out;
        out << kind;
        EXPECT_EQ(out.str(), name);
    }
}

TEST(ProfileRender, RecordsRenderTheirFieldsInOrder) {
    const ProfileStep step{.local_index = 1,
                           .phase = 2,
                           .epoch = 3,
                           .operation = "mat\"mul",
                           .kind = ProfileStepKind::Idle,
                           .kernel = "gemm",
                           .metadata = {{.name = "a", .value = "b"}, {.name = "c", .value = ""}}};
    EXPECT_EQ(to_string(step.metadata[0]), R"(ProfileMetadata { name: "a", value: "b" })");
    EXPECT_EQ(
        to_string(step),
        R"(ProfileStep { local_index: 1, phase: 2, epoch: 3, operation: "mat\"mul", )"
        R"(kind: Idle, kernel: "gemm", metadata: [ProfileMetadata { name: "a", value: "b" }, )"
        R"(ProfileMetadata { name: "c", value: "" }] })");

    const CycleSample sample{.step = ProfileStep{}, .start_cycle = 4294967295u, .end_cycle = 7};
    EXPECT_EQ(to_string(sample),
              R"(CycleSample { step: ProfileStep { local_index: 0, phase: 0, epoch: 0, )"
              R"(operation: "", kind: Exchange, kernel: "", metadata: [] }, )"
              R"(start_cycle: 4294967295, end_cycle: 7 })");

    const ProfileReport report{.clock_hz = 1500000000,
                               .tiles = {TileProfile{.physical_tile = 17, .samples = {}}}};
    EXPECT_EQ(to_string(report),
              "ProfileReport { clock_hz: 1500000000, tiles: [TileProfile { physical_tile: 17, "
              "samples: [] }] }");
    std::ostringstream out;
    out << report;
    EXPECT_EQ(out.str(), to_string(report));
}

// Tiles with several samples whose steps set every field: each record's fields in order, and
// each list element by element.
TEST(ProfileRender, ReportsRenderEveryTileSampleAndStepInOrder) {
    const ProfileStep step{.local_index = 5,
                           .phase = 6,
                           .epoch = 7,
                           .operation = "conv",
                           .kind = ProfileStepKind::Synchronization,
                           .kernel = "k\n",
                           .metadata = {{.name = "n", .value = "v"}}};
    const std::string step_text =
        R"(ProfileStep { local_index: 5, phase: 6, epoch: 7, operation: "conv", )"
        R"(kind: Synchronization, kernel: "k\n", metadata: [ProfileMetadata { name: "n", )"
        R"(value: "v" }] })";
    EXPECT_EQ(to_string(step), step_text);

    const CycleSample first{.step = step, .start_cycle = 8, .end_cycle = 9};
    EXPECT_EQ(to_string(first),
              "CycleSample { step: " + step_text + ", start_cycle: 8, end_cycle: 9 }");
    const CycleSample second{
        .step =
            ProfileStep{
                .operation = "", .kind = ProfileStepKind::Compute, .kernel = "", .metadata = {}},
        .start_cycle = 10,
        .end_cycle = 11};
    const std::string second_text =
        R"(CycleSample { step: ProfileStep { local_index: 0, phase: 0, epoch: 0, operation: "", )"
        R"(kind: Compute, kernel: "", metadata: [] }, start_cycle: 10, end_cycle: 11 })";
    EXPECT_EQ(to_string(second), second_text);

    const TileProfile tile{.physical_tile = 12, .samples = {first, second}};
    const std::string tile_text = "TileProfile { physical_tile: 12, samples: [" + to_string(first) +
                                  ", " + second_text + "] }";
    EXPECT_EQ(to_string(tile), tile_text);

    const ProfileReport report{
        .clock_hz = 0x1'0000'0000,
        .tiles = {tile, TileProfile{.physical_tile = 13, .samples = {second}}}};
    EXPECT_EQ(to_string(report), "ProfileReport { clock_hz: 4294967296, tiles: [" + tile_text +
                                     ", TileProfile { physical_tile: 13, samples: [" + second_text +
                                     "] }] }");
    EXPECT_EQ(to_string(ProfileReport{}), "ProfileReport { clock_hz: 0, tiles: [] }");
}

}  // namespace
}  // namespace vexa_package
