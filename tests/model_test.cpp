#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "support/sample_applications.hpp"
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
    EXPECT_EQ(
        to_string(Segment{.address = 0x4c000, .memory_size = 8, .data = {1, 2, 3, 4}, .flags = 5}),
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
              "weights: [], host_exchange: " +
                  to_string(HostExchange{}) + ", entry_points: [], device_config_writes: [] }");
}

// Every field holds a value of its own, and 64-bit fields values above 32 bits, so a field
// that is dropped, swapped with another or narrowed shows in the text.
TEST(Model, EveryRecordRendersAllItsFieldsInDeclarationOrder) {
    const TileImage tile{
        .physical_tile = 1,
        .entry_point = 2,
        .command_address = 3,
        .diagnostic_address = 4,
        .segments = {Segment{.address = 5, .memory_size = 6, .data = {7}, .flags = 8},
                     Segment{.address = 9, .memory_size = 10, .data = {}, .flags = 11}}};
    EXPECT_EQ(to_string(tile),
              "TileImage { physical_tile: 1, entry_point: 2, command_address: 3, "
              "diagnostic_address: 4, segments: [Segment { address: 5, memory_size: 6, data: [7], "
              "flags: 8 }, Segment { address: 9, memory_size: 10, data: [], flags: 11 }] }");

    const RegionSlice slice{
        .tile = 1, .tile_address = 2, .file_offset = 0x1'0000'0003, .size = 0x1'0000'0004};
    EXPECT_EQ(
        to_string(slice),
        "RegionSlice { tile: 1, tile_address: 2, file_offset: 4294967299, size: 4294967300 }");
    const Binding binding{
        .name = "w",
        .dtype = "bf16",
        .shape = {4, 5},
        .slices = {slice, RegionSlice{.tile = 6, .tile_address = 7, .file_offset = 8, .size = 9}}};
    EXPECT_EQ(to_string(binding),
              "Binding { name: \"w\", dtype: \"bf16\", shape: [4, 5], slices: [" +
                  to_string(slice) +
                  ", RegionSlice { tile: 6, tile_address: 7, file_offset: 8, size: 9 }] }");

    const HostPage page{.index = 1, .size = 0xffff'ffff'ffff'ffff};
    EXPECT_EQ(to_string(page), "HostPage { index: 1, size: 18446744073709551615 }");

    const HostSlice host_slice{
        .page = 1, .page_offset = 0x2'0000'0000, .file_offset = 0x3'0000'0000, .size = 4};
    EXPECT_EQ(to_string(host_slice),
              "HostSlice { page: 1, page_offset: 8589934592, file_offset: 12884901888, size: 4 }");

    const HostCall call{
        .name = "load",
        .command = 1,
        .phases = 2,
        .inputs = {HostSlice{.page = 3, .page_offset = 4, .file_offset = 5, .size = 6}},
        .outputs = {HostSlice{.page = 7, .page_offset = 8, .file_offset = 9, .size = 10},
                    HostSlice{.page = 11, .page_offset = 12, .file_offset = 13, .size = 14}},
        .invocations = 15,
        .input_batch_ends = {1},
        .output_batch_ends = {1, 2}};
    EXPECT_EQ(to_string(call),
              "HostCall { name: \"load\", command: 1, phases: 2, "
              "inputs: [HostSlice { page: 3, page_offset: 4, file_offset: 5, size: 6 }], "
              "outputs: [HostSlice { page: 7, page_offset: 8, file_offset: 9, size: 10 }, "
              "HostSlice { page: 11, page_offset: 12, file_offset: 13, size: 14 }], "
              "invocations: 15, input_batch_ends: [1], output_batch_ends: [1, 2] }");
    EXPECT_EQ(to_string(HostCall{}),
              "HostCall { name: \"\", command: 0, phases: 0, inputs: [], outputs: [], "
              "invocations: 1, input_batch_ends: [], output_batch_ends: [] }");

    const HostExchange exchange{.startup_mark = 1,
                                .command_page = 2,
                                .command_offset = 0x3'0000'0000,
                                .pages = {page, HostPage{.index = 4, .size = 5}},
                                .attach_order = {6, 7},
                                .calls = {call, HostCall{}}};
    EXPECT_EQ(to_string(exchange),
              "HostExchange { startup_mark: 1, command_page: 2, command_offset: 12884901888, "
              "pages: [" +
                  to_string(page) +
                  ", HostPage { index: 4, size: 5 }], "
                  "attach_order: [6, 7], calls: [" +
                  to_string(call) + ", " + to_string(HostCall{}) + "] }");

    const EntryPoint entry{.name = "main", .command = 1, .external_syncs = 2};
    EXPECT_EQ(to_string(entry), "EntryPoint { name: \"main\", command: 1, external_syncs: 2 }");

    const DeviceConfigWrite write{.offset = 8, .value = 9};
    const Binding input{.name = "in", .dtype = {}, .shape = {}, .slices = {}};
    const Binding output{.name = "out", .dtype = {}, .shape = {}, .slices = {}};
    const Application application{.compiler_version = "2.0",
                                  .tiles = {tile, TileImage{}},
                                  .inputs = {input},
                                  .outputs = {output},
                                  .weights = {binding},
                                  .host_exchange = exchange,
                                  .entry_points = {entry},
                                  .device_config_writes = {write, DeviceConfigWrite{}}};
    EXPECT_EQ(to_string(application),
              "Application { compiler_version: \"2.0\", tiles: [" + to_string(tile) + ", " +
                  to_string(TileImage{}) + "], inputs: [" + to_string(input) + "], outputs: [" +
                  to_string(output) + "], weights: [" + to_string(binding) +
                  "], host_exchange: " + to_string(exchange) + ", entry_points: [" +
                  to_string(entry) + "], device_config_writes: [" + to_string(write) + ", " +
                  to_string(DeviceConfigWrite{}) + "] }");
    EXPECT_EQ(to_string(TileImage{}),
              "TileImage { physical_tile: 0, entry_point: 0, command_address: 0, "
              "diagnostic_address: 0, segments: [] }");

    std::ostringstream out;
    out << application;
    EXPECT_EQ(out.str(), to_string(application));
}

// Texts are quoted; what would break the line or hide where the text ends is escaped, and
// every other byte, UTF-8 or not, is written as it is.
TEST(Model, RenderedTextsEscapeQuotesBackslashesAndControlBytes) {
    struct Case {
        std::string text;
        std::string rendered;
    };
    const std::vector<Case> cases = {
        {"\\", R"("\\")"},
        {"\"", R"("\"")"},
        {"\n", R"("\n")"},
        {"\r", R"("\r")"},
        {"\t", R"("\t")"},
        {std::string(1, '\0'), R"("\u{0}")"},
        {"\x01", R"("\u{1}")"},
        {"\x08", R"("\u{8}")"},
        {"\x0b", R"("\u{b}")"},
        {"\x0c", R"("\u{c}")"},
        {"\x1b", R"("\u{1b}")"},
        {"\x1f", R"("\u{1f}")"},
        {"\x7f", R"("\u{7f}")"},
        {" ", "\" \""},
        {"'", R"("'")"},
        {"~", R"("~")"},
        {"\x80", "\"\x80\""},
        {"\xff", "\"\xff\""},
        {"\xc3\xa9", "\"\xc3\xa9\""},
        {"\xed\xa0\x80", "\"\xed\xa0\x80\""},
        {"a\tb\\c\"d\x7f\x65\xfe\r\n", "\"a\\tb\\\\c\\\"d\\u{7f}e\xfe\\r\\n\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.text));
        EXPECT_EQ(to_string(EntryPoint{.name = c.text, .command = 0, .external_syncs = 0}),
                  "EntryPoint { name: " + c.rendered + ", command: 0, external_syncs: 0 }");
    }
}

TEST(Model, VersionComesFromTheBuild) {
    EXPECT_EQ(version(), std::to_string(VEXA_PACKAGE_VERSION_MAJOR) + "." +
                             std::to_string(VEXA_PACKAGE_VERSION_MINOR) + "." +
                             std::to_string(VEXA_PACKAGE_VERSION_PATCH));
}

}  // namespace
}  // namespace vexa_package
