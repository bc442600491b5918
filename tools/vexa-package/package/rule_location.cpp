#include "package/rule_location.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "output/text_format.hpp"
#include "package/host_rule_location.hpp"
#include "package/rule_break.hpp"

namespace vexa_cli {
namespace {

using namespace vexa_package;

constexpr std::uint64_t LARGEST_U32 = std::numeric_limits<std::uint32_t>::max();

std::string window_text() {
    return "the tile memory window " + hex_number(TILE_MEMORY_BASE) + ".." +
           hex_number(TILE_MEMORY_END);
}

// "address 0xe7000 + memory_size 0x2000 ends at 0xe9000"
std::string span_text(std::string_view start_name, std::uint64_t start, std::string_view size_name,
                      std::uint64_t size) {
    std::string text(start_name);
    text.append(" ").append(hex_number(start)).append(" + ").append(size_name).append(" ");
    return text.append(hex_number(size)).append(" ends at ").append(end_text(start, size));
}

std::optional<RuleBreak> config_write_break(const std::vector<DeviceConfigWrite>& writes) {
    const std::string message = "unaligned or duplicate device configuration write";
    std::unordered_map<std::uint32_t, std::size_t> first_writes;
    for (std::size_t position = 0; position < writes.size(); ++position) {
        const std::uint32_t offset = writes[position].offset;
        if (offset % 4 != 0) {
            return located(message, element("device_config_writes", position),
                           "offset " + hex_number(offset) + " is not a multiple of 4");
        }
        if (const auto [first, added] = first_writes.try_emplace(offset, position); !added) {
            return located(message, element("device_config_writes", position),
                           "offset " + hex_number(offset) + " is already written by " +
                               element("device_config_writes", first->second));
        }
    }
    return std::nullopt;
}

std::string segment_path(std::size_t tile, std::size_t segment) {
    return element(element("tiles", tile) + ".segments", segment);
}

// A segment's end must fit in 32 bits; then the segment must lie in the window and hold no
// more data than its memory size.
std::optional<RuleBreak> segment_break(const TileImage& tile, std::size_t tile_position,
                                       std::size_t position) {
    const Segment& segment = tile.segments[position];
    if (segment.memory_size > LARGEST_U32 - segment.address) {
        return located("segment address overflow", segment_path(tile_position, position),
                       span_text("address", segment.address, "memory_size", segment.memory_size) +
                           ", which does not fit in 32 bits");
    }
    const auto message = [&] {
        return "invalid segment on tile " + std::to_string(tile.physical_tile);
    };
    if (segment.address < TILE_MEMORY_BASE) {
        return located(message(), segment_path(tile_position, position),
                       "address " + hex_number(segment.address) + " is below " + window_text());
    }
    if (segment.address + segment.memory_size > TILE_MEMORY_END) {
        return located(message(), segment_path(tile_position, position),
                       span_text("address", segment.address, "memory_size", segment.memory_size) +
                           ", past " + window_text());
    }
    if (segment.data.size() > segment.memory_size) {
        return located(message(), segment_path(tile_position, position),
                       "data is " + hex_number(segment.data.size()) +
                           " bytes, more than memory_size " + hex_number(segment.memory_size));
    }
    return std::nullopt;
}

struct SegmentRange {
    std::uint32_t start;
    std::uint32_t end;
    std::size_t position;
};

// The library reports the first overlapping neighbours among the non-empty ranges sorted by
// start, then end; segments with equal ranges are taken in list order.
std::optional<RuleBreak> overlap_break(const TileImage& tile, std::size_t tile_position) {
    std::vector<SegmentRange> ranges;
    for (std::size_t position = 0; position < tile.segments.size(); ++position) {
        const Segment& segment = tile.segments[position];
        if (segment.memory_size != 0) {
            ranges.push_back({segment.address, segment.address + segment.memory_size, position});
        }
    }
    std::ranges::sort(ranges, [](const SegmentRange& left, const SegmentRange& right) {
        return std::tie(left.start, left.end, left.position) <
               std::tie(right.start, right.end, right.position);
    });
    const auto overlap = std::ranges::adjacent_find(
        ranges, [](const SegmentRange& earlier, const SegmentRange& later) {
            return earlier.end > later.start;
        });
    if (overlap == ranges.end()) {
        return std::nullopt;
    }
    const SegmentRange& earlier = overlap[0];
    const SegmentRange& later = overlap[1];
    const std::string ranges_text = hex_number(earlier.start) + ".." + hex_number(earlier.end) +
                                    " and " + hex_number(later.start) + ".." +
                                    hex_number(later.end);
    return located(
        "overlapping segments on tile " + std::to_string(tile.physical_tile) + ": " + ranges_text,
        segment_path(tile_position, earlier.position) + " and " +
            segment_path(tile_position, later.position),
        "ranges " + ranges_text + " overlap by " +
            hex_number(std::min(earlier.end, later.end) - later.start) + " bytes");
}

// Each tile in turn: its number, then its segments one by one, then their overlaps.
std::optional<RuleBreak> tile_break(const std::vector<TileImage>& tiles) {
    std::unordered_map<std::uint32_t, std::size_t> first_tiles;
    for (std::size_t position = 0; position < tiles.size(); ++position) {
        const TileImage& tile = tiles[position];
        if (const auto [first, added] = first_tiles.try_emplace(tile.physical_tile, position);
            !added) {
            const std::string number = std::to_string(tile.physical_tile);
            return located("duplicate physical tile " + number, element("tiles", position),
                           "physical_tile " + number + " is already used by " +
                               element("tiles", first->second));
        }
        for (std::size_t segment = 0; segment < tile.segments.size(); ++segment) {
            if (auto broken = segment_break(tile, position, segment)) {
                return broken;
            }
        }
        if (auto broken = overlap_break(tile, position)) {
            return broken;
        }
    }
    return std::nullopt;
}

// Where a slice is, spelled out only for a slice that breaks a rule.
struct SlicePlace {
    std::string_view list;
    std::size_t binding;
    std::size_t slice;
};

// A slice's size must fit in 32 bits, then its end; then it must name a tile of the
// application and lie in the window.
std::optional<RuleBreak> slice_break(const Binding& binding, const RegionSlice& slice,
                                     const std::unordered_set<std::uint32_t>& physical_tiles,
                                     const SlicePlace& place) {
    const auto path = [&] {
        return element(element(place.list, place.binding) + ".slices", place.slice);
    };
    if (slice.size > LARGEST_U32) {
        return located("binding " + binding.name + " slice is too large", path(),
                       "size " + hex_number(slice.size) + " does not fit in 32 bits");
    }
    if (slice.size > LARGEST_U32 - slice.tile_address) {
        return located("binding address overflow", path(),
                       span_text("tile_address", slice.tile_address, "size", slice.size) +
                           ", which does not fit in 32 bits");
    }
    const auto message = [&] {
        return "binding " + binding.name + " references invalid tile memory";
    };
    if (!physical_tiles.contains(slice.tile)) {
        return located(message(), path(),
                       "tile " + std::to_string(slice.tile) +
                           " is not the physical_tile of any entry of tiles");
    }
    if (slice.tile_address < TILE_MEMORY_BASE) {
        return located(
            message(), path(),
            "tile_address " + hex_number(slice.tile_address) + " is below " + window_text());
    }
    if (slice.tile_address + slice.size > TILE_MEMORY_END) {
        return located(message(), path(),
                       span_text("tile_address", slice.tile_address, "size", slice.size) +
                           ", past " + window_text());
    }
    return std::nullopt;
}

// Inputs, outputs and weights are one sequence, with one set of names.
std::optional<RuleBreak> binding_break(const Application& application) {
    std::unordered_set<std::uint32_t> physical_tiles;
    for (const TileImage& tile : application.tiles) {
        physical_tiles.insert(tile.physical_tile);
    }
    const std::array<std::pair<std::string_view, const std::vector<Binding>*>, 3> lists{{
        {"inputs", &application.inputs},
        {"outputs", &application.outputs},
        {"weights", &application.weights},
    }};
    // Each name with the list and position of the binding that has it first.
    std::unordered_map<std::string_view, std::pair<std::string_view, std::size_t>> first_names;
    for (const auto& [list, bindings] : lists) {
        for (std::size_t position = 0; position < bindings->size(); ++position) {
            const Binding& binding = (*bindings)[position];
            const auto [first, added] =
                first_names.try_emplace(binding.name, std::pair{list, position});
            if (binding.name.empty() || !added) {
                return located(
                    "empty or duplicate binding " + binding.name, element(list, position),
                    binding.name.empty() ? std::string("name is empty")
                                         : "name is already used by " +
                                               element(first->second.first, first->second.second));
            }
            for (std::size_t slice = 0; slice < binding.slices.size(); ++slice) {
                if (auto broken = slice_break(binding, binding.slices[slice], physical_tiles,
                                              {list, position, slice})) {
                    return broken;
                }
            }
        }
    }
    return std::nullopt;
}

std::optional<RuleBreak> first_rule_break(const Application& application) {
    if (application.tiles.empty()) {
        return located("application has no tiles", "tiles",
                       "the list is empty; a package needs at least one tile");
    }
    if (auto broken = config_write_break(application.device_config_writes)) {
        return broken;
    }
    if (auto broken = tile_break(application.tiles)) {
        return broken;
    }
    if (auto broken = binding_break(application)) {
        return broken;
    }
    return first_host_rule_break(application.host_exchange);
}

}  // namespace

std::optional<std::string> locate_rule_failure(const Application& application,
                                               const PackageError& error) {
    if (error.kind() != PackageError::Kind::Invalid) {
        return std::nullopt;
    }
    auto broken = first_rule_break(application);
    if (!broken || broken->message != error.message()) {
        return std::nullopt;
    }
    return std::move(broken->location);
}

}  // namespace vexa_cli
