// Writes a package, reads it back and rebuilds a tile image through the installed library.
#include <cstdio>

#include <vexa_package/vexa_package.hpp>

int main() {
    using namespace vexa_package;

    Application application;
    application.compiler_version = "consumer";
    application.tiles = {TileImage{
        .physical_tile = 0,
        .entry_point = TILE_MEMORY_BASE,
        .segments = {Segment{.address = TILE_MEMORY_BASE, .memory_size = 8, .data = {1, 2, 3, 4}}},
    }};

    Bytes package;
    if (auto written = application.write(package); !written) {
        std::fprintf(stderr, "write failed: %s\n", to_string(written.error()).c_str());
        return 1;
    }
    const auto loaded = Application::read(package);
    if (!loaded || !(*loaded == application)) {
        std::fprintf(stderr, "read back failed\n");
        return 1;
    }
    const auto image = loaded->tile_image(0);
    if (!image || *image != Bytes{1, 2, 3, 4, 0, 0, 0, 0}) {
        std::fprintf(stderr, "tile image differs\n");
        return 1;
    }
    std::printf("vexa_package %s: %zu-byte package, %zu-byte image of tile 0\n",
                std::string(version()).c_str(), package.size(), image->size());
    return 0;
}
