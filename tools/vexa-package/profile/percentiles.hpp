#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>

namespace vexa_cli {

/// The nearest-rank percentile: the smallest value such that at least `percent` percent of
/// the values are at or below it, that is the value of rank ceil(percent / 100 * n) in
/// ascending order (rank 1 for percent 0; a percent above 100 counts as 100). 0 for no
/// values. Reorders `values`: a deque, because growing it never holds two copies of them.
[[nodiscard]] std::uint32_t nearest_rank(std::deque<std::uint32_t>& values, unsigned percent);

}  // namespace vexa_cli
