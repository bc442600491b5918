#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "vexa_package/application.hpp"
#include "vexa_package/profile.hpp"

namespace vexa_package::testing {

/// A small seeded generator (splitmix64). The standard distributions differ between library
/// implementations; this gives the same sequence for a seed everywhere, so a failing case is
/// reproduced from its seed alone.
class RandomSource {
  public:
    explicit RandomSource(std::uint64_t seed) noexcept : state_(seed) {}

    [[nodiscard]] std::uint64_t next() noexcept;
    /// A value in [0, bound); `bound` must not be 0.
    [[nodiscard]] std::uint64_t below(std::uint64_t bound) noexcept;
    /// A value in [low, high], both included.
    [[nodiscard]] std::uint64_t between(std::uint64_t low, std::uint64_t high) noexcept;
    /// True once in `n` times on average.
    [[nodiscard]] bool one_in(std::uint64_t n) noexcept;
    /// Any 32-bit or 64-bit value, with 0, 1, small values and the largest values drawn far more
    /// often than their share, since those are where encodings and arithmetic break.
    [[nodiscard]] std::uint32_t any_u32() noexcept;
    [[nodiscard]] std::uint64_t any_u64() noexcept;
    /// Valid UTF-8 of up to `max_code_points` code points, mixing ASCII, NUL and two-, three-
    /// and four-byte sequences up to U+10FFFF.
    [[nodiscard]] std::string text(std::size_t max_code_points);
    /// Up to `max_size` arbitrary bytes.
    [[nodiscard]] Bytes bytes(std::size_t max_size);

  private:
    std::uint64_t state_;
};

/// How large generated models get.
struct ModelSize {
    /// Every list holds between 0 and this many elements (a tile list at least 1).
    std::size_t max_list = 4;
    /// Longest segment data in bytes.
    std::size_t max_data = 64;
    /// Longest text in code points.
    std::size_t max_text = 12;
};

/// A random application that passes validation: every field set, including the largest
/// integers the rules allow and texts with multi-byte characters; segments disjoint, bindings
/// and host slices inside their tile memory and pages, batch boundaries consistent.
[[nodiscard]] Application random_application(RandomSource& random, const ModelSize& size = {});

/// A random profile report; reports have no rules, so any value of every field may appear.
[[nodiscard]] ProfileReport random_profile(RandomSource& random, const ModelSize& size = {});

/// How many cases a property test runs: `fallback`, or the number in the environment variable
/// VEXA_PROPERTY_CASES, which longer runs set to raise it.
[[nodiscard]] std::size_t property_case_count(std::size_t fallback);

}  // namespace vexa_package::testing
