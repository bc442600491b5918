#pragma once

#include <expected>

#include "vexa_package/application.hpp"
#include "vexa_package/error.hpp"

namespace vexa_package::detail {

/// Checks the host page table, then the startup protocol, then each host call, and returns
/// the first broken rule. The last stage of `Application::validate`.
[[nodiscard]] std::expected<void, PackageError> validate_host_exchange(
    const HostExchange& exchange);

}  // namespace vexa_package::detail
