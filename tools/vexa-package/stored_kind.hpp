#pragma once

#include <cstdint>
#include <span>

namespace vexa_cli {

/// Which of the two formats a file looks like. Both roots begin with the same version word,
/// so a package may decode as a (nonsense) report; the root's pointer count tells them
/// apart: nine in a package, one in a report.
enum class StoredKind { Package, Report, Unknown };

/// Looks only at the stream framing and the root pointer; anything it cannot place, such as
/// a truncated file or a root behind a far pointer, is `Unknown`.
[[nodiscard]] StoredKind stored_kind(std::span<const std::uint8_t> bytes);

}  // namespace vexa_cli
