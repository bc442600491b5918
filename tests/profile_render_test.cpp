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

}  // namespace
}  // namespace vexa_package
