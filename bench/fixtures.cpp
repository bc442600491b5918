#include "fixtures.hpp"

#include <malloc.h>
#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

namespace vexa_package::bench {
namespace {

// Fixed seeds: every run measures the same inputs.
constexpr std::uint32_t SHUFFLE_SEED = 20240611;

Bytes pattern(std::size_t size, std::uint32_t seed) {
    Bytes bytes(size);
    std::uint32_t state = seed * 2654435761u + 1;
    for (auto& byte : bytes) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<std::uint8_t>(state >> 24);
    }
    return bytes;
}

std::string numbered(std::string_view prefix, std::size_t number) {
    std::string digits = std::to_string(number);
    if (digits.size() < 5) {
        digits.insert(0, 5 - digits.size(), '0');
    }
    return std::string(prefix) + digits;
}

std::vector<Binding> bindings(std::string_view prefix, std::size_t first, std::size_t count,
                              std::uint32_t tile_count) {
    std::vector<Binding> list;
    list.reserve(count);
    for (std::size_t i = first; i < first + count; ++i) {
        Binding binding{.name = numbered(prefix, i),
                        .dtype = i % 2 == 0 ? "f32" : "bf16",
                        .shape = {4, 64, static_cast<std::uint32_t>(i % 512 + 1)},
                        .slices = {}};
        for (std::uint32_t k = 0; k < 4; ++k) {
            binding.slices.push_back(
                RegionSlice{.tile = static_cast<std::uint32_t>((i * 4 + k) % tile_count),
                            .tile_address = TILE_MEMORY_BASE + 0x10000 + k * 0x1000,
                            .file_offset = i * 0x4000 + k * 0x1000,
                            .size = 0x1000});
        }
        list.push_back(std::move(binding));
    }
    return list;
}

HostExchange host_exchange(std::size_t call_count) {
    constexpr std::uint32_t page_count = 64;
    HostExchange exchange{.startup_mark = 1,
                          .command_page = 0,
                          .command_offset = 0,
                          .pages = {},
                          .attach_order = {},
                          .calls = {}};
    for (std::uint32_t page = 0; page < page_count; ++page) {
        exchange.pages.push_back(HostPage{.index = page, .size = 0x100000});
        exchange.attach_order.push_back(page);
    }
    for (std::size_t i = 0; i < call_count; ++i) {
        HostCall call{.name = numbered("host_call_", i),
                      .command = static_cast<std::uint32_t>(i),
                      .phases = 2,
                      .inputs = {},
                      .outputs = {},
                      .invocations = 1,
                      .input_batch_ends = {8, 16},
                      .output_batch_ends = {8, 16}};
        for (std::uint32_t k = 0; k < 16; ++k) {
            const auto page = static_cast<std::uint32_t>((i + k) % page_count);
            const HostSlice slice{.page = page,
                                  .page_offset = std::uint64_t{k} * 0x1000,
                                  .file_offset = i * 0x20000 + k * 0x1000,
                                  .size = 0x1000};
            call.inputs.push_back(slice);
            call.outputs.push_back(HostSlice{.page = page,
                                             .page_offset = slice.page_offset + 0x80000,
                                             .file_offset = slice.file_offset + 0x10000,
                                             .size = 0x1000});
        }
        exchange.calls.push_back(std::move(call));
    }
    return exchange;
}

}  // namespace

Application bulk_application() {
    constexpr std::uint32_t segment_bytes = 0x80000;
    Application application;
    application.compiler_version = "vexa-cc 2.4.1";
    for (std::uint32_t tile = 0; tile < 128; ++tile) {
        application.tiles.push_back(TileImage{
            .physical_tile = tile,
            .entry_point = TILE_MEMORY_BASE,
            .command_address = TILE_MEMORY_BASE + 0x100,
            .diagnostic_address = TILE_MEMORY_BASE + 0x200,
            .segments = {Segment{.address = TILE_MEMORY_BASE,
                                 .memory_size = segment_bytes,
                                 .data = pattern(segment_bytes, tile),
                                 .flags = 1}},
        });
    }
    return application;
}

Application many_records_application() {
    constexpr std::uint32_t tile_count = 4096;
    Application application;
    application.compiler_version = "vexa-cc 2.4.1";
    application.tiles.reserve(tile_count);
    for (std::uint32_t tile = 0; tile < tile_count; ++tile) {
        TileImage image{.physical_tile = tile,
                        .entry_point = TILE_MEMORY_BASE,
                        .command_address = TILE_MEMORY_BASE + 0x40,
                        .diagnostic_address = TILE_MEMORY_BASE + 0x80,
                        .segments = {}};
        for (std::uint32_t j = 0; j < 32; ++j) {
            image.segments.push_back(Segment{.address = TILE_MEMORY_BASE + j * 0x100,
                                             .memory_size = 0x80,
                                             .data = pattern(16, tile * 32 + j),
                                             .flags = j % 4});
        }
        application.tiles.push_back(std::move(image));
    }
    application.inputs = bindings("input_", 0, 8000, tile_count);
    application.outputs = bindings("output_", 8000, 4000, tile_count);
    application.weights = bindings("weight_", 12000, 8000, tile_count);
    application.host_exchange = host_exchange(2000);
    for (std::uint32_t i = 0; i < 1000; ++i) {
        application.entry_points.push_back(
            EntryPoint{.name = numbered("entry_", i), .command = i, .external_syncs = i % 4});
        application.device_config_writes.push_back(DeviceConfigWrite{.offset = 4 * i, .value = i});
    }
    return application;
}

Application shuffled_segments_application() {
    constexpr std::uint32_t segment_count = 600000;
    TileImage tile{.physical_tile = 0, .entry_point = TILE_MEMORY_BASE, .segments = {}};
    tile.segments.reserve(segment_count);
    for (std::uint32_t k = 0; k < segment_count; ++k) {
        tile.segments.push_back(Segment{.address = TILE_MEMORY_BASE + k,
                                        .memory_size = 1,
                                        .data = {static_cast<std::uint8_t>(k)}});
    }
    std::mt19937 random(SHUFFLE_SEED);
    std::shuffle(tile.segments.begin(), tile.segments.end(), random);
    Application application;
    application.tiles.push_back(std::move(tile));
    return application;
}

Application tile_image_application() {
    constexpr std::uint32_t segment_count = 64;
    constexpr std::uint32_t segment_bytes = TILE_MEMORY_SIZE / segment_count;
    static_assert(segment_bytes * segment_count == TILE_MEMORY_SIZE);
    TileImage tile{.physical_tile = 0, .entry_point = TILE_MEMORY_BASE, .segments = {}};
    for (std::uint32_t k = 0; k < segment_count; ++k) {
        tile.segments.push_back(Segment{.address = TILE_MEMORY_BASE + k * segment_bytes,
                                        .memory_size = segment_bytes,
                                        .data = pattern(segment_bytes, k)});
    }
    std::mt19937 random(SHUFFLE_SEED);
    std::shuffle(tile.segments.begin(), tile.segments.end(), random);
    Application application;
    application.tiles.push_back(std::move(tile));
    return application;
}

ProfileReport large_profile_report() {
    constexpr std::array<std::string_view, 8> operations{"matmul",      "softmax",      "layernorm",
                                                         "exchange_in", "exchange_out", "sync",
                                                         "idle",        "attention"};
    constexpr std::array<std::string_view, 8> kernels{"gemm_f32_accumulate",
                                                      "softmax_rows",
                                                      "reduce_mean_var",
                                                      "copy_in",
                                                      "copy_out",
                                                      "barrier",
                                                      "",
                                                      "flash_attention_fwd"};
    ProfileReport report{.clock_hz = 1500000000, .tiles = {}};
    for (std::uint32_t tile = 0; tile < 4; ++tile) {
        TileProfile profile{.physical_tile = tile, .samples = {}};
        profile.samples.reserve(1000000);
        for (std::uint32_t i = 0; i < 1000000; ++i) {
            profile.samples.push_back(CycleSample{
                .step = ProfileStep{.local_index = i,
                                    .phase = i % 8,
                                    .epoch = i / 1000,
                                    .operation = std::string(operations[i % 8]),
                                    .kind = static_cast<ProfileStepKind>(i % 4),
                                    .kernel = std::string(kernels[(i / 8) % 8]),
                                    .metadata = {ProfileMetadata{.name = "innerBlock",
                                                                 .value = std::to_string(i % 16)}}},
                .start_cycle = i * 40,
                .end_cycle = i * 40 + 30});
        }
        report.tiles.push_back(std::move(profile));
    }
    return report;
}

namespace {

// One step of a layer of the profiled model: what runs, and about how long it takes.
struct LayerStep {
    std::string_view operation;
    std::string_view kernel;
    ProfileStepKind kind;
    std::uint32_t cycles;
};

constexpr std::array<LayerStep, 16> LAYER_STEPS{{
    {"input", "copy_in", ProfileStepKind::Exchange, 2000},
    {"norm1", "layernorm_f16", ProfileStepKind::Compute, 600},
    {"attention.qkv", "gemm_f16_768x2304", ProfileStepKind::Compute, 4000},
    {"attention.scores", "attention_scores_f16", ProfileStepKind::Compute, 1500},
    {"attention.softmax", "softmax_f16", ProfileStepKind::Compute, 800},
    {"attention.values", "attention_values_f16", ProfileStepKind::Compute, 1500},
    {"attention.out", "gemm_f16_768x768", ProfileStepKind::Compute, 1400},
    {"sync", "barrier_all_tiles", ProfileStepKind::Synchronization, 200},
    {"norm2", "layernorm_f16", ProfileStepKind::Compute, 600},
    {"mlp.up", "gemm_f16_768x3072", ProfileStepKind::Compute, 5200},
    {"mlp.act", "gelu_f16", ProfileStepKind::Compute, 300},
    {"mlp.down", "gemm_f16_3072x768", ProfileStepKind::Compute, 5200},
    {"output", "copy_out", ProfileStepKind::Exchange, 2000},
    {"sync", "barrier_all_tiles", ProfileStepKind::Synchronization, 200},
    {"", "", ProfileStepKind::Idle, 1500},
    {"weights", "copy_in", ProfileStepKind::Exchange, 2000},
}};

std::vector<ProfileMetadata> step_metadata(const LayerStep& step, std::uint32_t layer,
                                           std::uint32_t index) {
    if (step.kind == ProfileStepKind::Exchange) {
        return {{.name = "bytes", .value = std::to_string(65536u << (layer % 3))},
                {.name = "page", .value = std::to_string(index % 8)}};
    }
    if (step.kernel.starts_with("gemm")) {
        return {{.name = "innerBlock", .value = "8"}};
    }
    return {};
}

}  // namespace

ProfileReport tool_profile_report(std::uint32_t seed) {
    constexpr std::uint32_t tile_count = 64;
    constexpr std::uint32_t samples_per_tile = 65536;
    constexpr std::uint32_t layers = 24;
    ProfileReport report{.clock_hz = 1200000000, .tiles = {}};
    report.tiles.reserve(tile_count);
    for (std::uint32_t tile = 0; tile < tile_count; ++tile) {
        TileProfile profile{.physical_tile = tile, .samples = {}};
        profile.samples.reserve(samples_per_tile);
        std::uint32_t state = seed * 2654435761u + tile + 1;
        const auto next = [&state] {
            state = state * 1664525u + 1013904223u;
            return state >> 8;
        };
        // Every eighth tile starts just below the top of the counter, which wraps in its run.
        std::uint64_t cycle = tile % 8 == 7 ? (std::uint64_t{1} << 32) - 30000000 + tile * 1000
                                            : std::uint64_t{tile} * 1000;
        for (std::uint32_t i = 0; i < samples_per_tile; ++i) {
            const LayerStep& step = LAYER_STEPS[i % LAYER_STEPS.size()];
            const auto layer = static_cast<std::uint32_t>(i / LAYER_STEPS.size() % layers);
            std::string operation;
            if (!step.operation.empty()) {
                operation = "layer" + std::string(layer < 10 ? "0" : "") + std::to_string(layer) +
                            "." + std::string(step.operation);
            }
            const std::uint32_t cycles = step.cycles / 2 + next() % step.cycles;
            profile.samples.push_back(CycleSample{
                .step = ProfileStep{.local_index = i,
                                    .phase = static_cast<std::uint32_t>(i % LAYER_STEPS.size()),
                                    .epoch = static_cast<std::uint32_t>(
                                        i / (LAYER_STEPS.size() * layers)),
                                    .operation = std::move(operation),
                                    .kind = step.kind,
                                    .kernel = std::string(step.kernel),
                                    .metadata = step_metadata(step, layer, i)},
                .start_cycle = static_cast<std::uint32_t>(cycle),
                .end_cycle = static_cast<std::uint32_t>(cycle + cycles)});
            cycle += cycles + next() % 16;
        }
        report.tiles.push_back(std::move(profile));
    }
    return report;
}

PlacedBytes::PlacedBytes(std::span<const std::uint8_t> bytes, std::size_t offset)
    : storage_(bytes.size() + 16), size_(bytes.size()) {
    const auto address = reinterpret_cast<std::uintptr_t>(storage_.data());
    offset_ = (8 - address % 8) % 8 + offset % 8;
    std::memcpy(storage_.data() + offset_, bytes.data(), bytes.size());
}

void give_back_freed_memory() {
    malloc_trim(0);
}

void start_in_fresh_memory(benchmark::State& state) {
    state.PauseTiming();
    malloc_trim(0);
    state.ResumeTiming();
}

namespace {

long minor_page_faults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

}  // namespace

PageFaultCounter::PageFaultCounter(benchmark::State& state)
    : state_(state), start_(minor_page_faults()) {}

PageFaultCounter::~PageFaultCounter() {
    state_.counters["page_faults"] = benchmark::Counter(
        static_cast<double>(minor_page_faults() - start_), benchmark::Counter::kAvgIterations);
}

void fail(const char* what) {
    std::fprintf(stderr, "benchmark fixture broken: %s\n", what);
    std::abort();
}

Bytes checked_package(const Application& application) {
    Bytes bytes;
    if (!application.write(bytes)) {
        fail("package cannot be written");
    }
    const auto read = Application::read(bytes);
    if (!read || *read != application) {
        fail("package does not read back equal");
    }
    return bytes;
}

}  // namespace vexa_package::bench
