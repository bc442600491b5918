// Bulk data: a 64 MiB package read and written, against copying the same bytes into fresh
// memory, and the reader on aligned and odd input addresses.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "fixtures.hpp"
#include "raw_capnp.hpp"

namespace vexa_package::bench {
namespace {

const Application& application() {
    static const Application bulk = bulk_application();
    return bulk;
}

const Bytes& package() {
    static const Bytes bytes = [] {
        Bytes written = checked_package(application());
        const auto raw = build_package(application());
        const auto raw_bytes = raw.asBytes();
        if (!std::equal(raw_bytes.begin(), raw_bytes.end(), written.begin(), written.end())) {
            fail("the raw build does not give the bytes that write gives");
        }
        give_back_freed_memory();
        return written;
    }();
    return bytes;
}

void bulk_memcpy(benchmark::State& state) {
    const Bytes& source = package();
    const PageFaultCounter page_faults(state);
    for (auto _ : state) {
        start_in_fresh_memory(state);
        // Uninitialised fresh memory, as a reader's result is: its page faults are paid here.
        const std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[source.size()]);
        std::memcpy(copy.get(), source.data(), source.size());
        benchmark::DoNotOptimize(copy.get());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(source.size()));
}

void bulk_write(benchmark::State& state) {
    const std::size_t size = package().size();
    const PageFaultCounter page_faults(state);
    for (auto _ : state) {
        start_in_fresh_memory(state);
        Bytes output;
        if (!application().write(output)) {
            fail("bulk write failed");
        }
        benchmark::DoNotOptimize(output.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(size));
}

void read_each_iteration(benchmark::State& state, std::span<const std::uint8_t> input) {
    const PageFaultCounter page_faults(state);
    for (auto _ : state) {
        start_in_fresh_memory(state);
        auto read = Application::read(input);
        if (!read) {
            fail("bulk read failed");
        }
        benchmark::DoNotOptimize(read->tiles.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(input.size()));
}

void bulk_read_aligned(benchmark::State& state) {
    const PlacedBytes input(package(), 0);
    read_each_iteration(state, input.bytes());
}

void bulk_read_odd(benchmark::State& state) {
    const PlacedBytes input(package(), 1);
    const auto odd = Application::read(input.bytes());
    if (!odd || *odd != application()) {
        fail("reading at an odd address gives another result");
    }
    read_each_iteration(state, input.bytes());
}

BENCHMARK(bulk_memcpy)->Name("bulk/memcpy")->Unit(benchmark::kMillisecond);
BENCHMARK(bulk_write)->Name("bulk/write")->Unit(benchmark::kMillisecond);
BENCHMARK(bulk_read_aligned)->Name("bulk/read_aligned")->Unit(benchmark::kMillisecond);
BENCHMARK(bulk_read_odd)->Name("bulk/read_odd")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vexa_package::bench
