#pragma once

#include <optional>
#include <string>

#include "vexa_package/application.hpp"
#include "vexa_package/error.hpp"

namespace vexa_cli {

/// Where and why `application` breaks the rule that `error` reports: the path of the record
/// (which is also its JSON path in `pack` input), the values involved and the bound, as in
/// "tiles[0].segments[0]: address 0x0 is below the tile memory window 0x4c000..0xe8000".
/// Addresses, offsets and byte sizes are hexadecimal; tile and page numbers, list positions
/// and slice counts are decimal. Names never appear, since the library's message holds them.
///
/// The rules are walked again here in the library's order, and the first record that breaks
/// one is reported only when the library's message for that break is exactly `error`'s. So
/// there is nothing to say (empty) for an error of another kind, an `Invalid` error that
/// does not come from validating this model ("incompatible package header", "unknown tile
/// 5"), or a model that keeps every rule.
[[nodiscard]] std::optional<std::string> locate_rule_failure(
    const vexa_package::Application& application, const vexa_package::PackageError& error);

}  // namespace vexa_cli
