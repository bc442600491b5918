#include "support/sample_applications.hpp"

#include <limits>

namespace vexa_package::testing {
namespace {

constexpr std::uint32_t MAX32 = std::numeric_limits<std::uint32_t>::max();
constexpr std::uint64_t MAX64 = std::numeric_limits<std::uint64_t>::max();

}  // namespace

Application minimal_application() {
    Application application;
    application.tiles = {TileImage{
        .physical_tile = 0,
        .entry_point = 0x4c000,
        .command_address = 0x4c100,
        .diagnostic_address = 0x4c200,
        .segments = {Segment{
            .address = 0x4c000, .memory_size = 8, .data = {1, 2, 3, 4}, .flags = 5}},
    }};
    return application;
}

Application batched_application() {
    Application application = minimal_application();
    application.device_config_writes = {DeviceConfigWrite{.offset = 0x4018, .value = 0xc000000d}};
    application.host_exchange = HostExchange{
        .startup_mark = 1,
        .command_page = 0,
        .command_offset = 0,
        .pages = {HostPage{.index = 0, .size = 0x1000}, HostPage{.index = 1, .size = 0x2000}},
        .attach_order = {0, 1},
        .calls = {HostCall{
            .name = "batched",
            .command = 2,
            .phases = 4,
            .inputs = {HostSlice{.page = 1, .page_offset = 0, .file_offset = 0, .size = 16},
                       HostSlice{
                           .page = 1, .page_offset = 0x1000, .file_offset = 0x10, .size = 16}},
            .outputs = {HostSlice{.page = 1, .page_offset = 0, .file_offset = 0, .size = 32}},
            .invocations = 1,
            .input_batch_ends = {2},
            .output_batch_ends = {1},
        }},
    };
    return application;
}

Application rich_application() {
    Application application;
    application.compiler_version = "vexa-cc 2.4.1 \xc3\xa9t\xc3\xa9 \xf0\x9f\x9a\x80";
    application.tiles = {
        TileImage{
            .physical_tile = MAX32,
            .entry_point = MAX32,
            .command_address = 0,
            .diagnostic_address = MAX32,
            .segments =
                {
                    Segment{.address = 0x4c000,
                            .memory_size = 0x100,
                            .data = {0xff, 0, 0x80},
                            .flags = MAX32},
                    Segment{.address = 0xe7ff0,
                            .memory_size = 0x10,
                            .data = Bytes(16, 0xab),
                            .flags = 0},
                    Segment{.address = 0x50000, .memory_size = 0, .data = {}, .flags = 7},
                },
        },
        TileImage{.physical_tile = 0,
                  .entry_point = 0,
                  .command_address = 0,
                  .diagnostic_address = 0,
                  .segments = {}},
        TileImage{
            .physical_tile = 12,
            .entry_point = 0x4c000,
            .command_address = 0x4c010,
            .diagnostic_address = 0x4c020,
            .segments = {Segment{
                             .address = TILE_MEMORY_END, .memory_size = 0, .data = {}, .flags = 1},
                         Segment{.address = 0x60000,
                                 .memory_size = 0x9,
                                 .data = {9, 8, 7, 6, 5, 4, 3, 2, 1},
                                 .flags = 2}},
        },
    };
    application.inputs = {
        Binding{
            .name = "activations",
            .dtype = "f16",
            .shape = {1, 224, 224, 3},
            .slices =
                {RegionSlice{.tile = 12, .tile_address = 0x60000, .file_offset = MAX64, .size = 9},
                 RegionSlice{
                     .tile = MAX32, .tile_address = TILE_MEMORY_END, .file_offset = 0, .size = 0}}},
        Binding{.name = "\xce\xb1", .dtype = "", .shape = {}, .slices = {}},
    };
    application.outputs = {
        Binding{.name = "logits",
                .dtype = "f32",
                .shape = {MAX32},
                .slices = {RegionSlice{
                    .tile = 0, .tile_address = 0x4c000, .file_offset = 1, .size = 0x9c000}}}};
    application.weights = {
        Binding{.name = "w0",
                .dtype = "i8",
                .shape = {64, 64},
                .slices = {RegionSlice{
                    .tile = MAX32, .tile_address = 0x4c000, .file_offset = 0x1000, .size = 0x100}}},
        Binding{.name = "w1", .dtype = "i8", .shape = {0}, .slices = {}},
    };
    application.host_exchange = HostExchange{
        .startup_mark = MAX32,
        .command_page = 7,
        .command_offset = MAX64 - 4,
        .pages = {HostPage{.index = 7, .size = MAX64}, HostPage{.index = 0, .size = 0},
                  HostPage{.index = MAX32, .size = 0x100}},
        .attach_order = {MAX32, 7, 7, 0},
        .calls =
            {
                HostCall{
                    .name = "",
                    .command = MAX32,
                    .phases = MAX32,
                    .inputs =
                        {HostSlice{
                             .page = 7, .page_offset = MAX64 - 8, .file_offset = MAX64, .size = 8},
                         HostSlice{.page = 0, .page_offset = 0, .file_offset = 0, .size = 0},
                         HostSlice{
                             .page = MAX32, .page_offset = 0x80, .file_offset = 3, .size = 0x80}},
                    .outputs = {},
                    .invocations = MAX32,
                    .input_batch_ends = {1, 3},
                    .output_batch_ends = {}},
                HostCall{.name = "drain",
                         .command = 0,
                         .phases = 0,
                         .inputs = {},
                         .outputs = {HostSlice{
                             .page = 7, .page_offset = 0, .file_offset = 0, .size = 4}},
                         .invocations = 2,
                         .input_batch_ends = {},
                         .output_batch_ends = {1}},
            },
    };
    application.entry_points = {
        EntryPoint{.name = "main", .command = MAX32, .external_syncs = MAX32},
        EntryPoint{.name = "", .command = 0, .external_syncs = 0}};
    application.device_config_writes = {DeviceConfigWrite{.offset = 0, .value = MAX32},
                                        DeviceConfigWrite{.offset = 0xfffffffc, .value = 0},
                                        DeviceConfigWrite{.offset = 0x4018, .value = 0xc000000d}};
    return application;
}

}  // namespace vexa_package::testing
