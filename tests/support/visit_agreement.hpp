#pragma once

#include <cstdint>
#include <span>

#include "../../fuzz/read_invariants.hpp"

namespace vexa_package::testing {

/// Checks that `visit_profile` and `ProfileReport::read` agree with the reference reader on
/// `input`: the same error, or the same report, from an aligned buffer, an unaligned buffer
/// and a stream; that a stream is left just after the message; and that the visitor's calls
/// come in stored order with consistent counts and indices.
[[nodiscard]] fuzzing::Violation check_visit_agreement(std::span<const std::uint8_t> input);

}  // namespace vexa_package::testing
