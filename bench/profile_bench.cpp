// Profile reports of 4 tiles x 1,000,000 samples: reading against a deep copy of the result
// and a zero-copy traversal, writing against copying the bytes it writes and against building
// the same message with the generated builders.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "fixtures.hpp"
#include "raw_capnp.hpp"

namespace vexa_package::bench {
namespace {

const ProfileReport& report() {
    static const ProfileReport large = large_profile_report();
    return large;
}

const Bytes& message() {
    static const Bytes bytes = [] {
        Bytes written;
        if (!report().write(written)) {
            fail("profile write failed");
        }
        const auto read = ProfileReport::read(written);
        if (!read || *read != report()) {
            fail("profile does not read back equal");
        }
        const auto raw = build_profile(report());
        const auto raw_bytes = raw.asBytes();
        if (!std::equal(raw_bytes.begin(), raw_bytes.end(), written.begin(), written.end())) {
            fail("the raw build does not give the bytes that write gives");
        }
        give_back_freed_memory();
        return written;
    }();
    return bytes;
}

void profile_read(benchmark::State& state) {
    const std::span<const std::uint8_t> input = message();
    for (auto _ : state) {
        auto read = ProfileReport::read(input);
        if (!read) {
            fail("profile read failed");
        }
        benchmark::DoNotOptimize(read->tiles.data());
    }
}

void profile_deep_copy(benchmark::State& state) {
    message();
    const ProfileReport& source = report();
    for (auto _ : state) {
        ProfileReport copy = source;
        benchmark::DoNotOptimize(copy.tiles.data());
    }
}

void profile_raw_traversal(benchmark::State& state) {
    const std::span<const std::uint8_t> input = message();
    for (auto _ : state) {
        benchmark::DoNotOptimize(traverse_profile(input));
    }
}

void profile_write(benchmark::State& state) {
    const std::size_t size = message().size();
    const PageFaultCounter page_faults(state);
    for (auto _ : state) {
        start_in_fresh_memory(state);
        Bytes output;
        if (!report().write(output) || output.size() != size) {
            fail("profile write failed");
        }
        benchmark::DoNotOptimize(output.data());
    }
}

void profile_raw_build(benchmark::State& state) {
    const std::size_t size = message().size();
    const PageFaultCounter page_faults(state);
    for (auto _ : state) {
        start_in_fresh_memory(state);
        const auto words = build_profile(report());
        if (words.asBytes().size() != size) {
            fail("raw build gives another size");
        }
        benchmark::DoNotOptimize(words.begin());
    }
}

void profile_memcpy(benchmark::State& state) {
    const Bytes& source = message();
    const PageFaultCounter page_faults(state);
    for (auto _ : state) {
        start_in_fresh_memory(state);
        const std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[source.size()]);
        std::memcpy(copy.get(), source.data(), source.size());
        benchmark::DoNotOptimize(copy.get());
        benchmark::ClobberMemory();
    }
}

BENCHMARK(profile_read)->Name("profile/read")->Unit(benchmark::kMillisecond);
BENCHMARK(profile_deep_copy)->Name("profile/deep_copy")->Unit(benchmark::kMillisecond);
BENCHMARK(profile_raw_traversal)->Name("profile/raw_traversal")->Unit(benchmark::kMillisecond);
BENCHMARK(profile_write)->Name("profile/write")->Unit(benchmark::kMillisecond);
BENCHMARK(profile_raw_build)->Name("profile/raw_build")->Unit(benchmark::kMillisecond);
BENCHMARK(profile_memcpy)->Name("profile/memcpy")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vexa_package::bench
