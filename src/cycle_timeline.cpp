#include "vexa_package/cycle_timeline.hpp"

#include <algorithm>
#include <limits>

namespace vexa_package {
namespace {

constexpr std::uint32_t HALF_EPOCH = std::uint32_t{1} << 31;
constexpr std::uint64_t LAST_CYCLE = std::numeric_limits<std::uint64_t>::max();

}  // namespace

void CycleTimeline::tile(std::uint32_t physical_tile) noexcept {
    tile_index_ = tile_index_ ? *tile_index_ + 1 : 0;
    physical_tile_ = physical_tile;
    sample_index_ = 0;
    previous_.reset();
}

void CycleTimeline::note(TimelineAnomaly& anomaly) const noexcept {
    if (anomaly.count == 0) {
        anomaly.tile_index = tile_index_.value_or(0);
        anomaly.physical_tile = physical_tile_;
        anomaly.sample_index = sample_index_;
    }
    ++anomaly.count;
}

TimelinePlace CycleTimeline::place(std::uint32_t start_cycle, std::uint32_t end_cycle) noexcept {
    if (!tile_index_) {
        tile_index_ = 0;
    }
    std::uint64_t start = 0;
    bool out_of_range = false;
    if (!origin_) {
        start = EPOCH + start_cycle;
        origin_ = start;
    } else {
        const std::uint64_t reference = previous_.value_or(*origin_);
        // The distance forwards modulo 2^32; at most 2^31 is taken as forwards, the rest as
        // 2^32 minus it backwards.
        const std::uint32_t forwards = start_cycle - static_cast<std::uint32_t>(reference);
        const std::uint32_t backwards = 0U - forwards;
        const std::uint32_t distance = forwards <= HALF_EPOCH ? forwards : backwards;
        if (distance >= HALF_EPOCH - AMBIGUITY_MARGIN) {
            note(anomalies_.ambiguous);
        }
        if (forwards <= HALF_EPOCH) {
            out_of_range = reference > LAST_CYCLE - forwards;
            // Past the top of the timeline, the same low bits one epoch lower.
            start = out_of_range ? reference + forwards - EPOCH : reference + forwards;
        } else {
            out_of_range = reference < backwards;
            // Below cycle 0, the same low bits in the lowest epoch: the stored value itself.
            start = out_of_range ? start_cycle : reference - backwards;
        }
    }
    const std::uint32_t cycles = end_cycle - start_cycle;
    std::uint64_t end = start + cycles;
    if (start > LAST_CYCLE - cycles) {
        out_of_range = true;
        end = LAST_CYCLE;
    }
    if (out_of_range) {
        note(anomalies_.out_of_range);
    }
    if (previous_ && start < *previous_) {
        note(anomalies_.backwards);
    }
    span_ = span_ ? TimelineSpan{.first_start = std::min(span_->first_start, start),
                                 .last_end = std::max(span_->last_end, end)}
                  : TimelineSpan{.first_start = start, .last_end = end};
    previous_ = start;
    ++sample_index_;
    ++samples_;
    return {.start = start, .end = end};
}

}  // namespace vexa_package
