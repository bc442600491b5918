#pragma once

#include <cstdint>
#include <expected>

#include "vexa_package/application.hpp"
#include "vexa_package/error.hpp"

namespace vexa_package::detail {

/// The exclusive end address of `segment` on tile `physical_tile` when the segment lies
/// inside usable tile memory and its data fits its memory size; otherwise the broken rule.
[[nodiscard]] std::expected<std::uint32_t, PackageError> segment_end(const Segment& segment,
                                                                     std::uint32_t physical_tile);

}  // namespace vexa_package::detail
