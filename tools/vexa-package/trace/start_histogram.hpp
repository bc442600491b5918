#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace vexa_cli {

/// Counts points in time (cycles on the device timeline) in `BUCKETS` buckets of equal width
/// without knowing beforehand where the points lie. The width is a power of two and buckets
/// start at multiples of it; a point outside moves the buckets along, or, when the points
/// span more than the buckets cover, merges pairs of buckets into ones twice as wide. The
/// buckets are never wider than needed to resolve the points' range into `BUCKETS / 2 - 1`
/// parts, and memory is fixed.
class StartHistogram {
  public:
    static constexpr unsigned BUCKETS_LOG2 = 12;
    static constexpr std::size_t BUCKETS = std::size_t{1} << BUCKETS_LOG2;

    /// Starts as fine as possible, at the first point.
    StartHistogram() = default;
    /// Starts with buckets of width 2^`width_log2` from `base`, a multiple of that width.
    StartHistogram(std::uint64_t base, unsigned width_log2);

    void add(std::uint64_t point);

    /// Where to cut the points so that at most a given number lie before the cut.
    struct Cut {
        /// The latest bucket boundary with at most that many points before it.
        std::uint64_t before = 0;
        /// How many lie before it.
        std::uint64_t points = 0;
        /// The bucket that starts at `before`, which held too many to fit: its width and
        /// how many it held.
        std::uint64_t width = 0;
        std::uint64_t next_points = 0;
    };
    /// None when at most `limit` points were added.
    [[nodiscard]] std::optional<Cut> cut(std::uint64_t limit) const;

    [[nodiscard]] std::uint64_t points() const noexcept { return points_; }
    [[nodiscard]] std::uint64_t width() const noexcept { return std::uint64_t{1} << width_log2_; }

  private:
    [[nodiscard]] bool holds(std::uint64_t point) const noexcept;
    // Merges pairs of buckets into buckets twice as wide.
    void widen();
    // Moves the buckets by a whole number of widths so that every point lies in them,
    // leaving room on the side where `point` lies.
    void move_to(std::uint64_t point);

    // Empty until the first point when no base was given.
    std::vector<std::uint64_t> counts_;
    std::uint64_t base_ = 0;
    unsigned width_log2_ = 0;
    std::uint64_t points_ = 0;
    std::uint64_t lowest_ = 0;
    std::uint64_t highest_ = 0;
};

}  // namespace vexa_cli
