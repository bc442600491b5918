#include "segment_rules.hpp"

#include <limits>
#include <string>

#include "vexa_package/constants.hpp"

namespace vexa_package::detail {

std::expected<std::uint32_t, PackageError> segment_end(const Segment& segment,
                                                       std::uint32_t physical_tile) {
    if (segment.memory_size > std::numeric_limits<std::uint32_t>::max() - segment.address) {
        return std::unexpected(PackageError::invalid("segment address overflow"));
    }
    const std::uint32_t end = segment.address + segment.memory_size;
    if (segment.address < TILE_MEMORY_BASE || end > TILE_MEMORY_END ||
        segment.data.size() > segment.memory_size) {
        return std::unexpected(
            PackageError::invalid("invalid segment on tile " + std::to_string(physical_tile)));
    }
    return end;
}

}  // namespace vexa_package::detail
