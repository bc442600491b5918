#include "segment_plan.hpp"

#include <algorithm>

namespace vexa_package::detail {
namespace {

// The default builder's first segment.
constexpr std::uint64_t FIRST_SEGMENT_WORDS = 1024;

}  // namespace

SegmentPlan::SegmentPlan()
    : segments_{{FIRST_SEGMENT_WORDS, 1}}, next_capacity_(FIRST_SEGMENT_WORDS) {}

std::vector<std::uint32_t> SegmentPlan::segment_words() const {
    std::vector<std::uint32_t> words;
    words.reserve(segments_.size());
    for (const Segment& segment : segments_) {
        words.push_back(static_cast<std::uint32_t>(segment.used));
    }
    return words;
}

// An object that does not fit beside its pointer goes elsewhere behind a landing pad, one
// word that the pointer refers to: into the segment the builder last opened if it fits there,
// else into a new segment as large as all segments so far together, or as the object if that
// is larger.
SegmentPlan::SegmentId SegmentPlan::place_elsewhere(std::uint64_t words) {
    if (refused_) {
        return 0;
    }
    const std::uint64_t padded = words + 1;
    if (padded > MAX_SEGMENT_WORDS) {
        refuse();
        return 0;
    }
    Segment& last = segments_[with_space_];
    if (padded <= last.capacity - last.used) {
        last.used += padded;
        return with_space_;
    }
    const std::uint64_t capacity = std::max(padded, next_capacity_);
    next_capacity_ = std::min(next_capacity_ + capacity, MAX_SEGMENT_WORDS);
    segments_.push_back(Segment{capacity, padded});
    with_space_ = static_cast<SegmentId>(segments_.size() - 1);
    return with_space_;
}

// Nothing after a refused object is built: every later object that needs space is ignored.
void SegmentPlan::refuse() {
    refused_ = true;
    for (Segment& segment : segments_) {
        segment.capacity = segment.used;
    }
}

}  // namespace vexa_package::detail
