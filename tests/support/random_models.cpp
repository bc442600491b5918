#include "support/random_models.hpp"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <set>
#include <utility>
#include <vector>

namespace vexa_package::testing {
namespace {

constexpr std::uint32_t MAX32 = std::numeric_limits<std::uint32_t>::max();
constexpr std::uint64_t MAX64 = std::numeric_limits<std::uint64_t>::max();

void append_utf8(std::string& out, std::uint32_t code_point) {
    const auto byte = [&out](std::uint32_t value) { out.push_back(static_cast<char>(value)); };
    if (code_point < 0x80) {
        byte(code_point);
    } else if (code_point < 0x800) {
        byte(0xc0 | (code_point >> 6));
        byte(0x80 | (code_point & 0x3f));
    } else if (code_point < 0x10000) {
        byte(0xe0 | (code_point >> 12));
        byte(0x80 | ((code_point >> 6) & 0x3f));
        byte(0x80 | (code_point & 0x3f));
    } else {
        byte(0xf0 | (code_point >> 18));
        byte(0x80 | ((code_point >> 12) & 0x3f));
        byte(0x80 | ((code_point >> 6) & 0x3f));
        byte(0x80 | (code_point & 0x3f));
    }
}

std::uint32_t random_code_point(RandomSource& random) {
    switch (random.below(6)) {
        case 0:
            return random.one_in(4) ? 0 : static_cast<std::uint32_t>(random.between(1, 0x7f));
        case 1:
            return static_cast<std::uint32_t>(random.between(0x80, 0x7ff));
        case 2: {
            // Surrogates are not characters and are not valid in UTF-8.
            const auto value = static_cast<std::uint32_t>(random.between(0x800, 0xffff - 0x800));
            return value >= 0xd800 ? value + 0x800 : value;
        }
        case 3:
            return static_cast<std::uint32_t>(random.between(0x10000, 0x10ffff));
        default:
            return static_cast<std::uint32_t>(random.between(0x20, 0x7e));
    }
}

// Fisher-Yates with the seeded source, so that list order follows the seed too.
template <typename T>
void shuffle(RandomSource& random, std::vector<T>& values) {
    for (std::size_t i = values.size(); i > 1; --i) {
        std::swap(values[i - 1], values[static_cast<std::size_t>(random.below(i))]);
    }
}

std::size_t list_length(RandomSource& random, const ModelSize& size) {
    return static_cast<std::size_t>(random.below(size.max_list + 1));
}

// A value in [0, limit], also when `limit` is the largest 64-bit value.
std::uint64_t up_to(RandomSource& random, std::uint64_t limit) {
    if (random.one_in(4)) {
        return random.one_in(2) ? 0 : limit;
    }
    return limit == MAX64 ? random.next() : random.below(limit + 1);
}

std::vector<Segment> random_segments(RandomSource& random, const ModelSize& size) {
    std::vector<Segment> segments;
    const std::size_t count = list_length(random, size);
    std::uint32_t cursor = TILE_MEMORY_BASE;
    for (std::size_t i = 0; i < count; ++i) {
        Segment segment{.data = {}, .flags = random.any_u32()};
        if (random.one_in(6) || cursor == TILE_MEMORY_END) {
            // An empty segment may lie anywhere in the window, even inside another segment.
            segment.address =
                static_cast<std::uint32_t>(random.between(TILE_MEMORY_BASE, TILE_MEMORY_END));
        } else {
            // A gap below the room left, so that at least one byte remains for the segment.
            if (random.one_in(2)) {
                cursor += static_cast<std::uint32_t>(
                    random.below(std::min<std::uint32_t>(TILE_MEMORY_END - cursor, 0x2000)));
            }
            const std::uint32_t room = TILE_MEMORY_END - cursor;
            const std::uint32_t length = random.one_in(16)
                                             ? room
                                             : static_cast<std::uint32_t>(random.between(
                                                   1, std::min<std::uint32_t>(room, 0x400)));
            segment.address = cursor;
            segment.memory_size = length;
            segment.data = random.bytes(std::min<std::size_t>(length, size.max_data));
            cursor += length;
        }
        segments.push_back(std::move(segment));
    }
    shuffle(random, segments);
    return segments;
}

std::vector<TileImage> random_tiles(RandomSource& random, const ModelSize& size) {
    std::vector<TileImage> tiles;
    std::set<std::uint32_t> numbers;
    const auto count =
        static_cast<std::size_t>(random.between(1, std::max<std::size_t>(1, size.max_list)));
    while (tiles.size() < count) {
        const std::uint32_t number = random.any_u32();
        if (!numbers.insert(number).second) {
            continue;
        }
        tiles.push_back(TileImage{.physical_tile = number,
                                  .entry_point = random.any_u32(),
                                  .command_address = random.any_u32(),
                                  .diagnostic_address = random.any_u32(),
                                  .segments = random_segments(random, size)});
    }
    return tiles;
}

RegionSlice random_region_slice(RandomSource& random, const std::vector<TileImage>& tiles) {
    const auto address =
        static_cast<std::uint32_t>(random.between(TILE_MEMORY_BASE, TILE_MEMORY_END));
    return RegionSlice{
        .tile = tiles[static_cast<std::size_t>(random.below(tiles.size()))].physical_tile,
        .tile_address = address,
        .file_offset = random.any_u64(),
        .size = up_to(random, TILE_MEMORY_END - address)};
}

std::vector<Binding> random_bindings(RandomSource& random, const ModelSize& size,
                                     const std::vector<TileImage>& tiles,
                                     std::set<std::string>& names) {
    std::vector<Binding> bindings;
    const std::size_t count = list_length(random, size);
    while (bindings.size() < count) {
        std::string name = random.text(size.max_text);
        if (name.empty() || !names.insert(name).second) {
            continue;
        }
        Binding binding{.name = std::move(name),
                        .dtype = random.text(size.max_text),
                        .shape = {},
                        .slices = {}};
        for (std::size_t i = list_length(random, size); i > 0; --i) {
            binding.shape.push_back(random.any_u32());
        }
        for (std::size_t i = list_length(random, size); i > 0; --i) {
            binding.slices.push_back(random_region_slice(random, tiles));
        }
        bindings.push_back(std::move(binding));
    }
    return bindings;
}

std::uint64_t random_page_size(RandomSource& random) {
    switch (random.below(5)) {
        case 0:
            return 0;
        case 1:
            return MAX64;
        case 2:
            return random.between(1, 16);
        default:
            return random.between(4, 0x10000);
    }
}

std::vector<HostSlice> random_host_slices(RandomSource& random, const ModelSize& size,
                                          const std::vector<HostPage>& pages) {
    std::vector<HostSlice> slices;
    for (std::size_t i = list_length(random, size); i > 0; --i) {
        const HostPage& page = pages[static_cast<std::size_t>(random.below(pages.size()))];
        const std::uint64_t offset = up_to(random, page.size);
        slices.push_back(HostSlice{.page = page.index,
                                   .page_offset = offset,
                                   .file_offset = random.any_u64(),
                                   .size = up_to(random, page.size - offset)});
    }
    return slices;
}

// Strictly increasing exclusive ends whose last is the slice count; empty for no slices.
std::vector<std::uint32_t> random_batch_ends(RandomSource& random, std::size_t slices) {
    std::vector<std::uint32_t> ends;
    for (std::size_t end = 1; end <= slices; ++end) {
        if (end == slices || random.one_in(2)) {
            ends.push_back(static_cast<std::uint32_t>(end));
        }
    }
    return ends;
}

HostCall random_host_call(RandomSource& random, const ModelSize& size,
                          const std::vector<HostPage>& pages) {
    HostCall call{.name = random.text(size.max_text),
                  .command = random.any_u32(),
                  .phases = random.any_u32(),
                  .inputs = random_host_slices(random, size, pages),
                  .outputs = random_host_slices(random, size, pages),
                  .invocations = std::max<std::uint32_t>(1, random.any_u32()),
                  .input_batch_ends = {},
                  .output_batch_ends = {}};
    call.input_batch_ends = random_batch_ends(random, call.inputs.size());
    call.output_batch_ends = random_batch_ends(random, call.outputs.size());
    return call;
}

HostExchange random_host_exchange(RandomSource& random, const ModelSize& size) {
    HostExchange exchange{.startup_mark = random.any_u32(),
                          .command_page = random.any_u32(),
                          .command_offset = random.any_u64(),
                          .pages = {},
                          .attach_order = {},
                          .calls = {}};
    std::set<std::uint32_t> indices;
    const std::size_t page_count = list_length(random, size);
    while (exchange.pages.size() < page_count) {
        const std::uint32_t index = random.any_u32();
        if (indices.insert(index).second) {
            exchange.pages.push_back(HostPage{.index = index, .size = random_page_size(random)});
        }
    }
    if (!exchange.pages.empty()) {
        for (std::size_t i = list_length(random, size); i > 0; --i) {
            exchange.attach_order.push_back(
                exchange.pages[static_cast<std::size_t>(random.below(exchange.pages.size()))]
                    .index);
        }
    }
    // Calls need a page that can hold the 4-byte startup command word.
    std::vector<const HostPage*> command_pages;
    for (const HostPage& page : exchange.pages) {
        if (page.size >= 4) {
            command_pages.push_back(&page);
        }
    }
    if (command_pages.empty()) {
        return exchange;
    }
    for (std::size_t i = list_length(random, size); i > 0; --i) {
        exchange.calls.push_back(random_host_call(random, size, exchange.pages));
    }
    if (!exchange.calls.empty()) {
        const HostPage& page =
            *command_pages[static_cast<std::size_t>(random.below(command_pages.size()))];
        exchange.command_page = page.index;
        exchange.command_offset = up_to(random, page.size - 4);
    }
    return exchange;
}

std::vector<DeviceConfigWrite> random_config_writes(RandomSource& random, const ModelSize& size) {
    std::vector<DeviceConfigWrite> writes;
    std::set<std::uint32_t> offsets;
    const std::size_t count = list_length(random, size);
    while (writes.size() < count) {
        const std::uint32_t offset = random.any_u32() & ~std::uint32_t{3};
        if (offsets.insert(offset).second) {
            writes.push_back(DeviceConfigWrite{.offset = offset, .value = random.any_u32()});
        }
    }
    return writes;
}

ProfileStep random_step(RandomSource& random, const ModelSize& size) {
    ProfileStep step{.local_index = random.any_u32(),
                     .phase = random.any_u32(),
                     .epoch = random.any_u32(),
                     .operation = random.text(size.max_text),
                     .kind = static_cast<ProfileStepKind>(random.below(4)),
                     .kernel = random.text(size.max_text),
                     .metadata = {}};
    for (std::size_t i = list_length(random, size); i > 0; --i) {
        step.metadata.push_back(ProfileMetadata{.name = random.text(size.max_text),
                                                .value = random.text(size.max_text)});
    }
    return step;
}

}  // namespace

std::uint64_t RandomSource::next() noexcept {
    state_ += 0x9e3779b97f4a7c15;
    std::uint64_t value = state_;
    value = (value ^ (value >> 30)) * 0xbf58476d1ce4e5b9;
    value = (value ^ (value >> 27)) * 0x94d049bb133111eb;
    return value ^ (value >> 31);
}

std::uint64_t RandomSource::below(std::uint64_t bound) noexcept {
    return next() % bound;
}

std::uint64_t RandomSource::between(std::uint64_t low, std::uint64_t high) noexcept {
    const std::uint64_t span = high - low;
    return span == MAX64 ? next() : low + below(span + 1);
}

bool RandomSource::one_in(std::uint64_t n) noexcept {
    return below(n) == 0;
}

std::uint32_t RandomSource::any_u32() noexcept {
    switch (below(8)) {
        case 0:
            return 0;
        case 1:
            return 1;
        case 2:
            return MAX32;
        case 3:
            return MAX32 - static_cast<std::uint32_t>(below(4));
        case 4:
            return static_cast<std::uint32_t>(below(256));
        default:
            return static_cast<std::uint32_t>(next());
    }
}

std::uint64_t RandomSource::any_u64() noexcept {
    switch (below(8)) {
        case 0:
            return 0;
        case 1:
            return 1;
        case 2:
            return MAX64;
        case 3:
            return MAX64 - below(4);
        case 4:
            return below(256);
        case 5:
            return MAX32 + below(2);
        default:
            return next();
    }
}

std::string RandomSource::text(std::size_t max_code_points) {
    std::string out;
    for (auto count = below(max_code_points + 1); count > 0; --count) {
        append_utf8(out, random_code_point(*this));
    }
    return out;
}

Bytes RandomSource::bytes(std::size_t max_size) {
    Bytes out(static_cast<std::size_t>(below(max_size + 1)));
    for (auto& byte : out) {
        byte = static_cast<std::uint8_t>(next());
    }
    return out;
}

Application random_application(RandomSource& random, const ModelSize& size) {
    Application application;
    application.compiler_version = random.text(size.max_text);
    application.tiles = random_tiles(random, size);
    std::set<std::string> names;
    application.inputs = random_bindings(random, size, application.tiles, names);
    application.outputs = random_bindings(random, size, application.tiles, names);
    application.weights = random_bindings(random, size, application.tiles, names);
    application.host_exchange = random_host_exchange(random, size);
    for (std::size_t i = list_length(random, size); i > 0; --i) {
        application.entry_points.push_back(EntryPoint{.name = random.text(size.max_text),
                                                      .command = random.any_u32(),
                                                      .external_syncs = random.any_u32()});
    }
    application.device_config_writes = random_config_writes(random, size);
    return application;
}

ProfileReport random_profile(RandomSource& random, const ModelSize& size) {
    ProfileReport report{.clock_hz = random.any_u64(), .tiles = {}};
    for (std::size_t t = list_length(random, size); t > 0; --t) {
        // Reports may repeat a tile number; reuse an earlier one now and then.
        TileProfile tile{.physical_tile = !report.tiles.empty() && random.one_in(4)
                                              ? report.tiles.front().physical_tile
                                              : random.any_u32(),
                         .samples = {}};
        for (std::size_t s = list_length(random, size); s > 0; --s) {
            tile.samples.push_back(CycleSample{.step = random_step(random, size),
                                               .start_cycle = random.any_u32(),
                                               .end_cycle = random.any_u32()});
        }
        report.tiles.push_back(std::move(tile));
    }
    return report;
}

std::size_t property_case_count(std::size_t fallback) {
    const char* text = std::getenv("VEXA_PROPERTY_CASES");
    if (text == nullptr) {
        return fallback;
    }
    char* end = nullptr;
    const unsigned long long count = std::strtoull(text, &end, 10);
    return end != text && *end == '\0' && count > 0 ? static_cast<std::size_t>(count) : fallback;
}

}  // namespace vexa_package::testing
