#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "flat_set.hpp"
#include "hex.hpp"
#include "segment_rules.hpp"
#include "validate_host_exchange.hpp"
#include "validation_memory.hpp"
#include "vexa_package/application.hpp"

namespace vexa_package {
namespace {

using Result = std::expected<void, PackageError>;

using detail::FlatSet;
using OffsetSet = FlatSet<std::uint32_t>;
using TileSet = FlatSet<std::uint32_t>;
using NameSet = FlatSet<std::string_view>;

Result check_device_config_writes(const std::vector<DeviceConfigWrite>& writes) {
    OffsetSet offsets(writes.size());
    for (const DeviceConfigWrite& write : writes) {
        if (write.offset % 4 != 0 || !offsets.insert(write.offset)) {
            return std::unexpected(
                PackageError::invalid("unaligned or duplicate device configuration write"));
        }
    }
    return {};
}

// A segment's range packed as `start << 32 | end`: sorting packed ranges orders them by
// start, then by end, and is much faster than sorting pairs.
std::uint64_t pack_range(std::uint32_t start, std::uint32_t end) noexcept {
    return std::uint64_t{start} << 32 | end;
}
std::uint32_t range_start(std::uint64_t range) noexcept {
    return static_cast<std::uint32_t>(range >> 32);
}
std::uint32_t range_end(std::uint64_t range) noexcept {
    return static_cast<std::uint32_t>(range);
}

std::string overlap_message(std::uint32_t physical_tile, std::uint64_t earlier,
                            std::uint64_t later) {
    return "overlapping segments on tile " + std::to_string(physical_tile) + ": 0x" +
           detail::hex(range_start(earlier)) + "..0x" + detail::hex(range_end(earlier)) +
           " and 0x" + detail::hex(range_start(later)) + "..0x" + detail::hex(range_end(later));
}

// Any two overlapping ranges in sorted order imply an overlapping neighbour pair: the first
// such pair in `ranges` sorted, as a 0 pair when there is none.
std::pair<std::uint64_t, std::uint64_t> first_overlap_sorted(std::vector<std::uint64_t>& ranges) {
    std::sort(ranges.begin(), ranges.end());
    const auto overlap = std::adjacent_find(ranges.begin(), ranges.end(),
                                            [](std::uint64_t earlier, std::uint64_t later) {
                                                return range_end(earlier) > range_start(later);
                                            });
    if (overlap == ranges.end()) {
        return {0, 0};
    }
    return {overlap[0], overlap[1]};
}

// `ranges` is working memory that the caller reuses for every tile. Producers usually list
// segments in address order: then the listed ranges are already sorted and are checked as
// they come, in one pass; only a tile listed out of order has its ranges collected and sorted.
Result check_tile(const TileImage& tile, std::vector<std::uint64_t>& ranges) {
    // Packed ranges are never 0, as every segment starts at TILE_MEMORY_BASE or above.
    std::uint64_t previous = 0;
    std::pair<std::uint64_t, std::uint64_t> overlap{0, 0};
    bool in_order = true;
    for (const Segment& segment : tile.segments) {
        if (!detail::segment_fits(segment)) [[unlikely]] {
            if (const auto end = detail::segment_end(segment, tile.physical_tile); !end) {
                return std::unexpected(end.error());
            }
        }
        if (segment.memory_size == 0) {
            continue;
        }
        const std::uint64_t range =
            pack_range(segment.address, segment.address + segment.memory_size);
        if (range < previous) {
            in_order = false;
        } else if (previous != 0 && overlap.first == 0 &&
                   range_end(previous) > range_start(range)) {
            overlap = {previous, range};
        }
        previous = range;
    }
    if (!in_order) {
        ranges.clear();
        ranges.reserve(tile.segments.size());
        for (const Segment& segment : tile.segments) {
            if (segment.memory_size != 0) {
                ranges.push_back(
                    pack_range(segment.address, segment.address + segment.memory_size));
            }
        }
        overlap = first_overlap_sorted(ranges);
    }
    if (overlap.first != 0) {
        return std::unexpected(PackageError::invalid(
            overlap_message(tile.physical_tile, overlap.first, overlap.second)));
    }
    return {};
}

// On success `physical_tiles` holds every tile number of the application, which is the set
// the binding rules look tiles up in.
Result check_tiles(const std::vector<TileImage>& tiles, TileSet& physical_tiles) {
    std::vector<std::uint64_t> ranges;
    for (const TileImage& tile : tiles) {
        if (!physical_tiles.insert(tile.physical_tile)) {
            return std::unexpected(PackageError::invalid("duplicate physical tile " +
                                                         std::to_string(tile.physical_tile)));
        }
        if (auto checked = check_tile(tile, ranges); !checked) {
            return checked;
        }
    }
    return {};
}

// The rules of `check_slice` as one test, inline for the loop over every slice.
bool slice_fits(const RegionSlice& slice, const TileSet& physical_tiles) {
    constexpr std::uint32_t u32_max = std::numeric_limits<std::uint32_t>::max();
    return slice.size <= u32_max - std::uint64_t{slice.tile_address} &&
           slice.tile_address >= TILE_MEMORY_BASE &&
           slice.tile_address + slice.size <= TILE_MEMORY_END &&
           physical_tiles.contains(slice.tile);
}

// Names the first rule that a slice failing `slice_fits` breaks.
[[gnu::cold]] Result check_slice(const Binding& binding, const RegionSlice& slice,
                                 const TileSet& physical_tiles) {
    constexpr std::uint32_t u32_max = std::numeric_limits<std::uint32_t>::max();
    if (slice.size > u32_max) {
        return std::unexpected(
            PackageError::invalid("binding " + binding.name + " slice is too large"));
    }
    const auto size = static_cast<std::uint32_t>(slice.size);
    if (size > u32_max - slice.tile_address) {
        return std::unexpected(PackageError::invalid("binding address overflow"));
    }
    const std::uint32_t end = slice.tile_address + size;
    if (!physical_tiles.contains(slice.tile) || slice.tile_address < TILE_MEMORY_BASE ||
        end > TILE_MEMORY_END) {
        return std::unexpected(
            PackageError::invalid("binding " + binding.name + " references invalid tile memory"));
    }
    return {};
}

Result check_bindings(const Application& application, const TileSet& physical_tiles) {
    // Names are unique across all three lists, which are visited as one sequence.
    const std::array lists{&application.inputs, &application.outputs, &application.weights};
    NameSet names(application.inputs.size() + application.outputs.size() +
                  application.weights.size());
    for (const std::vector<Binding>* list : lists) {
        for (const Binding& binding : *list) {
            if (binding.name.empty() || !names.insert(binding.name)) {
                return std::unexpected(
                    PackageError::invalid("empty or duplicate binding " + binding.name));
            }
            for (const RegionSlice& slice : binding.slices) {
                if (!slice_fits(slice, physical_tiles)) [[unlikely]] {
                    if (auto checked = check_slice(binding, slice, physical_tiles); !checked) {
                        return checked;
                    }
                }
            }
        }
    }
    return {};
}

}  // namespace

// Added up, although the offsets and the names are let go before the next set is made. The
// ranges of the tile with the most segments are counted twice: a tile's ranges are reserved
// while those of an earlier tile are still held.
std::uint64_t detail::validation_memory(const Application& application) noexcept {
    std::size_t most_segments = 0;
    for (const TileImage& tile : application.tiles) {
        most_segments = std::max(most_segments, tile.segments.size());
    }
    return OffsetSet::most_bytes(application.device_config_writes.size()) +
           TileSet::most_bytes(application.tiles.size()) +
           2 * std::uint64_t{most_segments} * sizeof(std::uint64_t) +
           NameSet::most_bytes(application.inputs.size() + application.outputs.size() +
                               application.weights.size()) +
           detail::PageSizes::most_bytes(application.host_exchange.pages.size());
}

std::expected<void, PackageError> Application::validate() const {
    if (tiles.empty()) {
        return std::unexpected(PackageError::invalid("application has no tiles"));
    }
    if (auto checked = check_device_config_writes(device_config_writes); !checked) {
        return checked;
    }
    TileSet physical_tiles(tiles.size());
    if (auto checked = check_tiles(tiles, physical_tiles); !checked) {
        return checked;
    }
    if (auto checked = check_bindings(*this, physical_tiles); !checked) {
        return checked;
    }
    return detail::validate_host_exchange(host_exchange);
}

}  // namespace vexa_package
