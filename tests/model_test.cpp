#include <gtest/gtest.h>

#include <type_traits>

#include "sample_applications.hpp"
#include "vexa_package/vexa_package.hpp"

namespace vexa_package {
namespace {

// The names and types that code outside the project relies on.
static_assert(std::is_same_v<decltype(TILE_MEMORY_BASE), const std::uint32_t>);
static_assert(std::is_same_v<decltype(TILE_MEMORY_END), const std::uint32_t>);
static_assert(std::is_same_v<decltype(PACKAGE_TARGET), const std::string_view>);
static_assert(TILE_MEMORY_BASE == 0x4c000 && TILE_MEMORY_SIZE == 0x9c000 &&
              TILE_MEMORY_END == 0xe8000);
static_assert(PACKAGE_SCHEMA_VERSION == 3 && PROFILE_SCHEMA_VERSION == 3);
static_assert(std::is_same_v<Bytes, std::vector<std::uint8_t>>);
static_assert(std::is_aggregate_v<Application> && std::is_aggregate_v<Segment> &&
              std::is_aggregate_v<HostCall> && std::is_aggregate_v<ProfileReport>);
static_assert(std::is_same_v<std::underlying_type_t<ProfileStepKind>, std::uint8_t>);

TEST(Model, DefaultsMatchTheWire) {
    const Application application;
    EXPECT_EQ(application.compiler_version, "0.1.0");
    EXPECT_EQ(application.host_exchange, HostExchange{});
    EXPECT_EQ(HostCall{}.invocations, 1u);
    EXPECT_EQ(Application{}, application);
    Application other;
    other.compiler_version = "0.1.1";
    EXPECT_NE(other, application);
    EXPECT_EQ(PACKAGE_TARGET, "vexa21");
}

TEST(Model, OrderOfListsTakesPartInEquality) {
    Application a = testing::rich_application();
    Application b = a;
    EXPECT_EQ(a, b);
    std::swap(b.tiles[0], b.tiles[1]);
    EXPECT_NE(a, b);
    b = a;
    std::swap(b.inputs[0], b.inputs[1]);
    EXPECT_NE(a, b);
    b = a;
    std::swap(b.host_exchange.pages[0], b.host_exchange.pages[1]);
    EXPECT_NE(a, b);
}

TEST(Model, CopiesOwnTheirContents) {
    const Segment original{.address = 0x4c000, .memory_size = 8, .data = {1, 2, 3, 4}, .flags = 5};
    Segment copy = original;
    EXPECT_EQ(copy, original);
    copy.data[0] = 9;
    EXPECT_EQ(original.data[0], 1);
    EXPECT_NE(copy, original);
}

TEST(Model, RenderingNamesEveryFieldInOrder) {
    EXPECT_EQ(to_string(Segment{.address = 0x4c000, .memory_size = 8, .data = {1, 2, 3, 4}, .flags = 5}),
              "Segment { address: 311296, memory_size: 8, data: [1, 2, 3, 4], flags: 5 }");
    EXPECT_EQ(to_string(Binding{.name = "x\"y", .dtype = "f32", .shape = {2, 3}, .slices = {}}),
              "Binding { name: \"x\\\"y\", dtype: \"f32\", shape: [2, 3], slices: [] }");
    EXPECT_EQ(to_string(HostExchange{}),
              "HostExchange { startup_mark: 0, command_page: 0, command_offset: 0, pages: [], "
              "attach_order: [], calls: [] }");
    EXPECT_EQ(to_string(DeviceConfigWrite{.offset = 4, .value = 0xffffffff}),
              "DeviceConfigWrite { offset: 4, value: 4294967295 }");
    EXPECT_EQ(to_string(Application{}),
              "Application { compiler_version: \"0.1.0\", tiles: [], inputs: [], outputs: [], "
              "weights: [], host_exchange: " + to_string(HostExchange{}) +
                  ", entry_points: [], device_config_writes: [] }");
}

TEST(Model, VersionComesFromTheBuild) {
    EXPECT_EQ(version(), std::to_string(VEXA_PACKAGE_VERSION_MAJOR) + "." +
                             std::to_string(VEXA_PACKAGE_VERSION_MINOR) + "." +
                             std::to_string(VEXA_PACKAGE_VERSION_PATCH));
}

}  // namespace
}  // namespace vexa_package
