#include "trace/track_lanes.hpp"

#include <algorithm>

namespace vexa_cli {

TrackLanes::Placement TrackLanes::place(std::uint32_t physical_tile, std::uint64_t start,
                                        std::uint64_t end) {
    // Samples come tile by tile: the map is searched once per tile entry.
    if (spans_ == nullptr || physical_tile != tile_) {
        tile_ = physical_tile;
        spans_ = &tiles_[physical_tile];
    }
    std::vector<Span>& spans = *spans_;
    for (std::size_t lane = 0; lane < spans.size(); ++lane) {
        Span& span = spans[lane];
        // Slices are written in stored order, which is mostly time order: after comes first.
        if (start >= span.last) {
            span.last = end;
            return {.lane = static_cast<std::uint32_t>(lane)};
        }
        if (end < span.first) {
            span.first = start;
            return {.lane = static_cast<std::uint32_t>(lane)};
        }
    }
    if (spans.size() < LANE_LIMIT) {
        spans.push_back({.first = start, .last = end});
        const bool overflow = spans.size() > 1;
        overflow_tracks_ += overflow ? 1 : 0;
        return {.lane = static_cast<std::uint32_t>(spans.size() - 1), .new_lane = overflow};
    }
    ++crowded_;
    Span& own = spans.front();
    own.first = std::min(own.first, start);
    own.last = std::max(own.last, end);
    return {};
}

}  // namespace vexa_cli
