#pragma once

#include <cstdint>

#include "vexa_package/application.hpp"

namespace vexa_package::detail {

/// The most memory `Application::validate` holds for `application`: its sets of
/// configuration write offsets, tile numbers and binding names, its map of host pages and
/// the ranges of one tile's segments. Readers charge it before validating what they read.
[[nodiscard]] std::uint64_t validation_memory(const Application& application) noexcept;

}  // namespace vexa_package::detail
