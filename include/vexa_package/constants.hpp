#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace vexa_package {

/// Owned byte buffer: segment data, rebuilt tile images and serialized messages.
using Bytes = std::vector<std::uint8_t>;

/// Lowest tile memory address that a segment or binding slice may occupy.
inline constexpr std::uint32_t TILE_MEMORY_BASE = 0x4c000;
/// Size of the usable tile memory window in bytes.
inline constexpr std::uint32_t TILE_MEMORY_SIZE = 0x9c000;
/// Exclusive end of usable tile memory (`TILE_MEMORY_BASE + TILE_MEMORY_SIZE`).
inline constexpr std::uint32_t TILE_MEMORY_END = TILE_MEMORY_BASE + TILE_MEMORY_SIZE;
/// The only package schema version that is written and accepted.
inline constexpr std::uint32_t PACKAGE_SCHEMA_VERSION = 3;
/// The profile schema version written; versions 1 up to this one are read.
inline constexpr std::uint32_t PROFILE_SCHEMA_VERSION = 3;
/// Device target text written into, and required of, every package.
inline constexpr std::string_view PACKAGE_TARGET = "vexa21";

}  // namespace vexa_package
