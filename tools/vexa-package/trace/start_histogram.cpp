#include "trace/start_histogram.hpp"

#include <algorithm>

namespace vexa_cli {
namespace {

std::uint64_t round_down(std::uint64_t value, unsigned width_log2) {
    return value >> width_log2 << width_log2;
}

}  // namespace

StartHistogram::StartHistogram(std::uint64_t base, unsigned width_log2)
    : counts_(BUCKETS), base_(round_down(base, width_log2)), width_log2_(width_log2) {}

bool StartHistogram::holds(std::uint64_t point) const noexcept {
    return point >= base_ && (point - base_) >> width_log2_ < BUCKETS;
}

void StartHistogram::add(std::uint64_t point) {
    if (counts_.empty()) {
        counts_.resize(BUCKETS);
        base_ = point;
    }
    if (points_ == 0) {
        lowest_ = highest_ = point;
    }
    lowest_ = std::min(lowest_, point);
    highest_ = std::max(highest_, point);
    if (!holds(point)) {
        // One bucket is kept spare, for the points' range need not start at a boundary. The
        // range is below 2^64, so the width stays below 2^64 / BUCKETS.
        while ((highest_ - lowest_) >> width_log2_ >= BUCKETS - 1) {
            widen();
        }
        if (!holds(point)) {
            move_to(point);
        }
    }
    ++counts_[(point - base_) >> width_log2_];
    ++points_;
}

void StartHistogram::widen() {
    const unsigned wider = width_log2_ + 1;
    const std::uint64_t base = round_down(base_, wider);
    // 0 or 1: whether the first bucket becomes the second half of a wide one.
    const std::uint64_t offset = (base_ - base) >> width_log2_;
    std::vector<std::uint64_t> merged(BUCKETS);
    for (std::size_t i = 0; i < BUCKETS; ++i) {
        merged[(i + offset) / 2] += counts_[i];
    }
    counts_.swap(merged);
    base_ = base;
    width_log2_ = wider;
}

void StartHistogram::move_to(std::uint64_t point) {
    // Going down, the highest point goes into the last bucket; going up, the lowest into the
    // first: points that keep going the same way then fit for longest.
    std::uint64_t base = round_down(lowest_, width_log2_);
    if (point < base_) {
        const std::uint64_t top = round_down(highest_, width_log2_);
        const std::uint64_t below = std::uint64_t{BUCKETS - 1} << width_log2_;
        base = std::min(base, top >= below ? top - below : 0);
    }
    std::vector<std::uint64_t> moved(BUCKETS);
    for (std::size_t i = 0; i < BUCKETS; ++i) {
        if (counts_[i] != 0) {
            const std::uint64_t start = base_ + (std::uint64_t{i} << width_log2_);
            moved[(start - base) >> width_log2_] = counts_[i];
        }
    }
    counts_.swap(moved);
    base_ = base;
}

std::optional<StartHistogram::Cut> StartHistogram::cut(std::uint64_t limit) const {
    if (points_ <= limit) {
        return std::nullopt;
    }
    std::uint64_t before = 0;
    for (std::size_t i = 0;; ++i) {
        if (before + counts_[i] > limit) {
            return Cut{.before = base_ + (std::uint64_t{i} << width_log2_),
                       .points = before,
                       .width = width(),
                       .next_points = counts_[i]};
        }
        before += counts_[i];
    }
}

}  // namespace vexa_cli
