#pragma once

#include <cstdint>
#include <expected>
#include <limits>

#include "vexa_package/application.hpp"
#include "vexa_package/error.hpp"

namespace vexa_package::detail {

/// Whether `segment` keeps the rules that `segment_end` checks; inline for the loops over
/// every segment of a package, which then call `segment_end` only for the error.
[[nodiscard]] inline bool segment_fits(const Segment& segment) noexcept {
    return segment.memory_size <= std::numeric_limits<std::uint32_t>::max() - segment.address &&
           segment.address >= TILE_MEMORY_BASE &&
           segment.address + segment.memory_size <= TILE_MEMORY_END &&
           segment.data.size() <= segment.memory_size;
}

/// The exclusive end address of `segment` on tile `physical_tile` when the segment lies
/// inside usable tile memory and its data fits its memory size; otherwise the broken rule.
[[nodiscard]] std::expected<std::uint32_t, PackageError> segment_end(const Segment& segment,
                                                                     std::uint32_t physical_tile);

}  // namespace vexa_package::detail
