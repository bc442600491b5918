// The road of one package: a compiler back end builds an application in memory and writes
// it; a loader reads the bytes back and rebuilds every tile's memory image.
#include <algorithm>
#include <cstdio>
#include <iostream>

#include "vexa_package/vexa_package.hpp"

namespace {

using namespace vexa_package;

// Four tiles running a small convolution: code and constants per tile, an input image split
// over two tiles, weights on the other two, one output, and a host exchange that feeds the
// input in two batches and drains the output.
Application sample_application() {
    Application application;
    application.compiler_version = "vexa-cc 0.1.0";
    for (std::uint32_t tile = 0; tile < 4; ++tile) {
        Bytes code(0x400);
        for (std::size_t i = 0; i < code.size(); ++i) {
            code[i] = static_cast<std::uint8_t>(i * 7 + tile);
        }
        application.tiles.push_back(TileImage{
            .physical_tile = tile * 2 + 1,
            .entry_point = 0x4c000,
            .command_address = 0x4c400,
            .diagnostic_address = 0x4c480,
            .segments = {Segment{
                             .address = 0x4c000, .memory_size = 0x500, .data = code, .flags = 1},
                         Segment{
                             .address = 0x60000, .memory_size = 0x4000, .data = {}, .flags = 2}},
        });
    }
    application.inputs = {Binding{
        .name = "image",
        .dtype = "u8",
        .shape = {1, 64, 64, 4},
        .slices = {
            RegionSlice{.tile = 1, .tile_address = 0x60000, .file_offset = 0, .size = 0x2000},
            RegionSlice{
                .tile = 3, .tile_address = 0x60000, .file_offset = 0x2000, .size = 0x2000}}}};
    application.weights = {Binding{
        .name = "kernel",
        .dtype = "i8",
        .shape = {3, 3, 4, 16},
        .slices = {
            RegionSlice{.tile = 5, .tile_address = 0x60000, .file_offset = 0, .size = 576},
            RegionSlice{.tile = 7, .tile_address = 0x60000, .file_offset = 0, .size = 576}}}};
    application.outputs = {
        Binding{.name = "features",
                .dtype = "f16",
                .shape = {1, 62, 62, 16},
                .slices = {RegionSlice{
                    .tile = 7, .tile_address = 0x61000, .file_offset = 0, .size = 0x2000}}}};
    application.host_exchange = HostExchange{
        .startup_mark = 0x5eed,
        .command_page = 0,
        .command_offset = 0x10,
        .pages = {HostPage{.index = 0, .size = 0x1000}, HostPage{.index = 1, .size = 0x4000},
                  HostPage{.index = 2, .size = 0x2000}},
        .attach_order = {0, 1, 2},
        .calls = {HostCall{
                      .name = "load_image",
                      .command = 1,
                      .phases = 2,
                      .inputs = {HostSlice{
                                     .page = 1, .page_offset = 0, .file_offset = 0, .size = 0x2000},
                                 HostSlice{.page = 1,
                                           .page_offset = 0x2000,
                                           .file_offset = 0x2000,
                                           .size = 0x2000}},
                      .outputs = {},
                      .invocations = 1,
                      .input_batch_ends = {1, 2},
                      .output_batch_ends = {}},
                  HostCall{.name = "drain_features",
                           .command = 2,
                           .phases = 1,
                           .inputs = {},
                           .outputs = {HostSlice{
                               .page = 2, .page_offset = 0, .file_offset = 0, .size = 0x2000}},
                           .invocations = 1,
                           .input_batch_ends = {},
                           .output_batch_ends = {1}}},
    };
    application.entry_points = {EntryPoint{.name = "infer", .command = 1, .external_syncs = 2}};
    application.device_config_writes = {DeviceConfigWrite{.offset = 0x4018, .value = 0xc000000d},
                                        DeviceConfigWrite{.offset = 0x401c, .value = 1}};
    return application;
}

int fail(const char* step, const PackageError& error) {
    std::cerr << "package_road: " << step << " failed: " << error << '\n';
    return 1;
}

}  // namespace

int main() {
    const Application application = sample_application();
    if (auto valid = application.validate(); !valid) {
        return fail("validation", valid.error());
    }

    Bytes package;
    if (auto written = application.write(package); !written) {
        return fail("writing", written.error());
    }
    std::cout << "wrote a package of " << package.size() << " bytes for "
              << application.tiles.size() << " tiles\n";

    const auto loaded = Application::read(package);
    if (!loaded) {
        return fail("reading", loaded.error());
    }
    std::cout << "read it back: " << (*loaded == application ? "equal" : "DIFFERENT")
              << " to the application written\n";

    for (const TileImage& tile : loaded->tiles) {
        const auto image = loaded->tile_image(tile.physical_tile);
        if (!image) {
            return fail("rebuilding a tile image", image.error());
        }
        const auto lowest = std::min_element(
            tile.segments.begin(), tile.segments.end(),
            [](const Segment& a, const Segment& b) { return a.address < b.address; });
        std::printf("tile %3u: load base 0x%x, image %zu bytes\n", tile.physical_tile,
                    lowest->address, image->size());
    }
    return *loaded == application ? 0 : 1;
}
