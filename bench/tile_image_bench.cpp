// Rebuilding a full 0x9c000-byte tile image from 64 segments, against clearing and filling
// memory of the same size.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>

#include "fixtures.hpp"

namespace vexa_package::bench {
namespace {

const Application& application() {
    static const Application image = tile_image_application();
    return image;
}

void tile_image(benchmark::State& state) {
    for (auto _ : state) {
        auto image = application().tile_image(0);
        if (!image || image->size() != TILE_MEMORY_SIZE) {
            fail("tile image failed");
        }
        benchmark::DoNotOptimize(image->data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * TILE_MEMORY_SIZE));
}

void memset_memcpy(benchmark::State& state) {
    const auto source = application().tile_image(0);
    if (!source) {
        fail("tile image failed");
    }
    for (auto _ : state) {
        const std::unique_ptr<std::uint8_t[]> image(new std::uint8_t[source->size()]);
        std::memset(image.get(), 0, source->size());
        benchmark::ClobberMemory();
        std::memcpy(image.get(), source->data(), source->size());
        benchmark::DoNotOptimize(image.get());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * TILE_MEMORY_SIZE));
}

BENCHMARK(tile_image)->Name("tile_image/tile_image")->Unit(benchmark::kMicrosecond);
BENCHMARK(memset_memcpy)->Name("tile_image/memset_memcpy")->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vexa_package::bench
