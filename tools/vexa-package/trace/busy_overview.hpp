#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

#include "vexa_package/profile.hpp"

namespace vexa_cli {

/// The kinds of the samples of each physical tile, a bit per kind (1 << kind code).
using TileKinds = std::map<std::uint32_t, std::uint8_t>;

/// How busy each tile was with each kind of step over the run: the run (from the earliest
/// start to the latest end of the samples) is cut into equal buckets, and for each tile and
/// kind the samples' cycles in each bucket are summed and given as a percentage of the
/// bucket. Overlapping samples of one tile add up, so a share may exceed 100. A sample costs
/// the same whatever its length: cycles of the buckets it covers whole are counted once per
/// bucket when the shares are taken, not per sample.
class BusyOverview {
  public:
    /// Buckets over the run, unless the run has fewer cycles or samples.
    static constexpr std::size_t BUCKETS = 1000;
    /// Fewer buckets when the tiles and kinds would otherwise need more cells than this.
    static constexpr std::size_t MOST_CELLS = std::size_t{1} << 20;

    /// One tile's share of one kind.
    struct Series {
        std::uint32_t physical_tile = 0;
        vexa_package::ProfileStepKind kind = vexa_package::ProfileStepKind::Exchange;
    };

    /// The run from cycle `first` to `last` (not before `first`), for the tiles and kinds in
    /// `tiles`, which hold `samples` samples in all: there are no more buckets than samples
    /// per tile and kind, for finer ones would show single samples, which the slices show.
    BusyOverview(std::uint64_t first, std::uint64_t last, const TileKinds& tiles,
                 std::uint64_t samples);

    /// Adds a sample lying within the run, of a tile and kind given at construction.
    void add(std::uint32_t physical_tile, vexa_package::ProfileStepKind kind, std::uint64_t start,
             std::uint64_t end);

    [[nodiscard]] std::size_t buckets() const noexcept { return buckets_; }
    /// Where bucket `bucket` starts; `buckets()` gives the end of the run.
    [[nodiscard]] std::uint64_t bucket_start(std::size_t bucket) const noexcept;
    /// By tile number, then kind code.
    [[nodiscard]] const std::vector<Series>& series() const noexcept { return series_; }

    /// Turns the sums into shares, once every sample was added.
    void finish();
    /// After `finish`, the share in percent of `series()[series]` in `bucket`; 0 for a
    /// bucket of no cycles.
    [[nodiscard]] double share(std::size_t series, std::size_t bucket) const {
        return sums_[series].partial[bucket];
    }

  private:
    // A series' cycles in the buckets it covers in part, and for the buckets it covers whole
    // the change in the number of samples covering them from the bucket before; after
    // `finish`, the shares.
    struct Sums {
        std::vector<double> partial;
        std::vector<std::int64_t> whole_change;
    };

    std::uint64_t first_ = 0;
    std::uint64_t last_ = 0;
    std::uint64_t width_ = 1;
    std::size_t buckets_ = 1;
    std::vector<Series> series_;
    std::vector<Sums> sums_;
    // The series of each tile by kind code; SIZE_MAX where the tile has no such sample.
    std::map<std::uint32_t, std::array<std::size_t, 4>> by_tile_;
    std::uint32_t tile_ = 0;
    const std::array<std::size_t, 4>* tile_series_ = nullptr;
};

}  // namespace vexa_cli
