#pragma once

#include "vexa_package/application.hpp"

namespace vexa_package::testing {

/// One tile on physical tile 0 holding one segment at 0x4c000 of memory size 8 with data
/// 1, 2, 3, 4 and flags 5: the smallest useful package.
[[nodiscard]] Application minimal_application();

/// The minimal application extended by a configuration write and a host exchange with two
/// pages and one batched call.
[[nodiscard]] Application batched_application();

/// A valid application that sets every field, with the largest integers wherever no rule
/// limits them, empty and multi-byte texts, several tiles, bindings and host calls.
[[nodiscard]] Application rich_application();

}  // namespace vexa_package::testing
