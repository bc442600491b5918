#pragma once

#include <cstdint>
#include <expected>

#include "flat_set.hpp"
#include "vexa_package/application.hpp"
#include "vexa_package/error.hpp"

namespace vexa_package::detail {

/// The size of each host page, by page index.
using PageSizes = FlatMap<std::uint32_t, std::uint64_t>;

/// Checks the host page table, then the startup protocol, then each host call, and returns
/// the first broken rule. The last stage of `Application::validate`.
[[nodiscard]] std::expected<void, PackageError> validate_host_exchange(
    const HostExchange& exchange);

}  // namespace vexa_package::detail
