#pragma once

#include <cstdint>
#include <expected>
#include <span>

#include "vexa_package/profile.hpp"

namespace vexa_package::testing {

/// Reads a report with a walk of its own over the generated schema readers, applying the
/// reader's checks in the reader's order; the yardstick for `visit_profile` and
/// `ProfileReport::read`.
[[nodiscard]] std::expected<ProfileReport, PackageError> reference_profile_read(
    std::span<const std::uint8_t> input);

}  // namespace vexa_package::testing
