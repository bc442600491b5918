#pragma once

#include <optional>
#include <string>

namespace vexa_package::fuzzing {

/// The first broken invariant, or nothing when all of them held.
using Violation = std::optional<std::string>;

}  // namespace vexa_package::fuzzing
