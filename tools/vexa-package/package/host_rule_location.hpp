#pragma once

#include <optional>

#include "package/rule_break.hpp"
#include "vexa_package/application.hpp"

namespace vexa_cli {

/// The first host exchange rule that `exchange` breaks, in the library's order (page table,
/// startup protocol, then each call), with paths under "host_exchange"; empty when it keeps
/// them all.
[[nodiscard]] std::optional<RuleBreak> first_host_rule_break(
    const vexa_package::HostExchange& exchange);

}  // namespace vexa_cli
