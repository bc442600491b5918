// Many small records: reading against copying the owned result and against a zero-copy
// traversal, writing against building the same message with the generated builders, and
// validation against the read it is part of.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>

#include "fixtures.hpp"
#include "raw_capnp.hpp"

namespace vexa_package::bench {
namespace {

const Application& application() {
    static const Application records = many_records_application();
    return records;
}

const Bytes& package() {
    static const Bytes bytes = [] {
        Bytes written = checked_package(application());
        const auto raw = build_package(application());
        const auto raw_bytes = raw.asBytes();
        if (!std::equal(raw_bytes.begin(), raw_bytes.end(), written.begin(), written.end())) {
            fail("the raw build does not give the bytes that write gives");
        }
        return written;
    }();
    return bytes;
}

// The owned result of reading the package, the thing a deep copy reproduces.
const Application& read_result() {
    static const Application result = *Application::read(package());
    return result;
}

void records_read(benchmark::State& state) {
    const std::span<const std::uint8_t> input = package();
    for (auto _ : state) {
        auto read = Application::read(input);
        if (!read) {
            fail("records read failed");
        }
        benchmark::DoNotOptimize(read->tiles.data());
    }
}

void records_read_odd(benchmark::State& state) {
    const PlacedBytes input(package(), 1);
    for (auto _ : state) {
        auto read = Application::read(input.bytes());
        if (!read) {
            fail("records read at an odd address failed");
        }
        benchmark::DoNotOptimize(read->tiles.data());
    }
}

void records_deep_copy(benchmark::State& state) {
    const Application& source = read_result();
    for (auto _ : state) {
        Application copy = source;
        benchmark::DoNotOptimize(copy.tiles.data());
    }
}

void records_raw_traversal(benchmark::State& state) {
    const std::span<const std::uint8_t> input = package();
    for (auto _ : state) {
        benchmark::DoNotOptimize(traverse_package(input));
    }
}

void records_write(benchmark::State& state) {
    const std::size_t size = package().size();
    for (auto _ : state) {
        Bytes output;
        if (!application().write(output) || output.size() != size) {
            fail("records write failed");
        }
        benchmark::DoNotOptimize(output.data());
    }
}

void records_raw_build(benchmark::State& state) {
    const std::size_t size = package().size();
    for (auto _ : state) {
        const auto words = build_package(application());
        if (words.asBytes().size() != size) {
            fail("raw build gives another size");
        }
        benchmark::DoNotOptimize(words.begin());
    }
}

void records_validate(benchmark::State& state) {
    const Application& source = read_result();
    for (auto _ : state) {
        if (!source.validate()) {
            fail("records validate failed");
        }
    }
}

BENCHMARK(records_read)->Name("records/read")->Unit(benchmark::kMillisecond);
BENCHMARK(records_read_odd)->Name("records/read_odd")->Unit(benchmark::kMillisecond);
BENCHMARK(records_deep_copy)->Name("records/deep_copy")->Unit(benchmark::kMillisecond);
BENCHMARK(records_raw_traversal)->Name("records/raw_traversal")->Unit(benchmark::kMillisecond);
BENCHMARK(records_write)->Name("records/write")->Unit(benchmark::kMillisecond);
BENCHMARK(records_raw_build)->Name("records/raw_build")->Unit(benchmark::kMillisecond);
BENCHMARK(records_validate)->Name("records/validate")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vexa_package::bench
