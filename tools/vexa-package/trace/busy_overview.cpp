#include "trace/busy_overview.hpp"

#include <algorithm>
#include <limits>

#include "profile/profile_timeline.hpp"

namespace vexa_cli {
namespace {

constexpr std::size_t NO_SERIES = std::numeric_limits<std::size_t>::max();

std::uint64_t divide_up(std::uint64_t value, std::uint64_t divisor) {
    return value / divisor + (value % divisor != 0 ? 1 : 0);
}

}  // namespace

BusyOverview::BusyOverview(std::uint64_t first, std::uint64_t last, const TileKinds& tiles,
                           std::uint64_t samples)
    : first_(first), last_(std::max(first, last)) {
    for (const auto& [physical_tile, kinds] : tiles) {
        std::array<std::size_t, 4>& by_kind = by_tile_[physical_tile];
        by_kind.fill(NO_SERIES);
        for (const vexa_package::ProfileStepKind kind : STEP_KINDS) {
            if ((kinds >> kind_index(kind) & 1) != 0) {
                by_kind[kind_index(kind)] = series_.size();
                series_.push_back({.physical_tile = physical_tile, .kind = kind});
            }
        }
    }
    std::uint64_t most = BUCKETS;
    if (!series_.empty()) {
        most = std::clamp<std::uint64_t>(
            std::min<std::uint64_t>(MOST_CELLS / series_.size(), samples / series_.size()), 1,
            BUCKETS);
    }
    if (const std::uint64_t span = last_ - first_; span != 0) {
        width_ = divide_up(span, std::min(most, span));
        buckets_ = static_cast<std::size_t>(divide_up(span, width_));
    }
    sums_.resize(series_.size(), Sums{.partial = std::vector<double>(buckets_),
                                      .whole_change = std::vector<std::int64_t>(buckets_ + 1)});
}

std::uint64_t BusyOverview::bucket_start(std::size_t bucket) const noexcept {
    return bucket < buckets_ ? first_ + bucket * width_ : last_;
}

void BusyOverview::add(std::uint32_t physical_tile, vexa_package::ProfileStepKind kind,
                       std::uint64_t start, std::uint64_t end) {
    // Samples come tile by tile: the map is searched once per tile entry.
    if (tile_series_ == nullptr || physical_tile != tile_) {
        const auto found = by_tile_.find(physical_tile);
        if (found == by_tile_.end()) {
            return;
        }
        tile_ = physical_tile;
        tile_series_ = &found->second;
    }
    const std::size_t series = (*tile_series_)[kind_index(kind)];
    start = std::clamp(start, first_, last_);
    end = std::clamp(end, start, last_);
    if (series == NO_SERIES || start == end) {
        return;
    }
    Sums& sums = sums_[series];
    const std::uint64_t first_bucket = (start - first_) / width_;
    const std::uint64_t last_bucket = (end - first_) / width_;
    if (first_bucket == last_bucket) {
        sums.partial[first_bucket] += static_cast<double>(end - start);
        return;
    }
    sums.partial[first_bucket] += static_cast<double>(first_ + (first_bucket + 1) * width_ - start);
    if (const std::uint64_t last_start = first_ + last_bucket * width_; end > last_start) {
        sums.partial[last_bucket] += static_cast<double>(end - last_start);
    }
    ++sums.whole_change[first_bucket + 1];
    --sums.whole_change[last_bucket];
}

void BusyOverview::finish() {
    for (Sums& sums : sums_) {
        std::int64_t whole = 0;
        for (std::size_t bucket = 0; bucket < buckets_; ++bucket) {
            whole += sums.whole_change[bucket];
            const std::uint64_t cycles = bucket_start(bucket + 1) - bucket_start(bucket);
            const double busy =
                sums.partial[bucket] + static_cast<double>(whole) * static_cast<double>(width_);
            sums.partial[bucket] = cycles == 0 ? 0 : busy * 100 / static_cast<double>(cycles);
        }
        sums.whole_change = {};
    }
}

}  // namespace vexa_cli
