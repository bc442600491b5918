#include "trace/trace_plan.hpp"

#include <algorithm>
#include <bit>
#include <optional>
#include <utility>

#include "trace/start_histogram.hpp"

namespace vexa_cli {
namespace {

// A bucket at the cut is looked at more closely when it holds more than this part of the
// budget, which the cut would otherwise leave unused.
constexpr std::uint64_t LOOSE_CUT_SHARE = 64;

// Where the kept samples lie: their span, their tiles and kinds, and the starts of those in a
// window of the timeline (all of them when there is no window).
class TraceSurvey final : public FilteredVisitor {
  public:
    struct Window {
        std::uint64_t from = 0;
        std::uint64_t width = 0;
    };

    TraceSurvey(SampleFilter& filter, StartHistogram starts, std::optional<Window> window)
        : FilteredVisitor(filter), starts_(std::move(starts)), window_(window) {}

    [[nodiscard]] const StartHistogram& starts() const { return starts_; }
    [[nodiscard]] std::uint64_t first_start() const { return first_start_; }
    [[nodiscard]] std::uint64_t last_end() const { return last_end_; }
    [[nodiscard]] const TileKinds& tiles() const { return tiles_; }

  private:
    void on_sample(const KeptSample& kept) override {
        // The count of kept samples includes this one already.
        const bool first = this->kept() == 1;
        first_start_ = first ? kept.start : std::min(first_start_, kept.start);
        last_end_ = first ? kept.end : std::max(last_end_, kept.end);
        // Samples come tile by tile: the map is searched once per tile entry.
        if (kinds_ == nullptr || kept.physical_tile != tile_) {
            tile_ = kept.physical_tile;
            kinds_ = &tiles_[tile_];
        }
        *kinds_ |= static_cast<std::uint8_t>(1U << kind_index(kept.sample.kind));
        if (!window_ ||
            (kept.start >= window_->from && kept.start - window_->from < window_->width)) {
            starts_.add(kept.start);
        }
    }

    StartHistogram starts_;
    std::optional<Window> window_;
    std::uint64_t first_start_ = 0;
    std::uint64_t last_end_ = 0;
    TileKinds tiles_;
    std::uint32_t tile_ = 0;
    std::uint8_t* kinds_ = nullptr;
};

}  // namespace

std::expected<TracePlan, vexa_package::PackageError> plan_trace(
    std::span<const std::uint8_t> report, SampleFilter& filter, std::uint64_t max_slices) {
    TraceSurvey survey(filter, StartHistogram(), std::nullopt);
    if (auto read = vexa_package::visit_profile(report, survey); !read) {
        return std::unexpected(read.error());
    }
    TracePlan plan;
    if (survey.kept() == 0) {
        return plan;
    }
    plan.overview.emplace(survey.first_start(), survey.last_end(), survey.tiles(), survey.kept());
    if (max_slices == 0) {
        return plan;
    }
    std::optional<StartHistogram::Cut> cut = survey.starts().cut(max_slices);
    while (cut && cut->width > 1 && cut->next_points > max_slices / LOOSE_CUT_SHARE) {
        // The bucket's width is a power of two: the finer buckets cover it exactly.
        const auto width_log2 = static_cast<unsigned>(std::countr_zero(cut->width));
        const unsigned finer = width_log2 - std::min(width_log2, StartHistogram::BUCKETS_LOG2);
        TraceSurvey closer(filter, StartHistogram(cut->before, finer),
                           TraceSurvey::Window{.from = cut->before, .width = cut->width});
        if (auto read = vexa_package::visit_profile(report, closer); !read) {
            return std::unexpected(read.error());
        }
        // The bucket held more than the rest of the budget, so the finer buckets cut too.
        const StartHistogram::Cut inner = *closer.starts().cut(max_slices - cut->points);
        cut = StartHistogram::Cut{.before = inner.before,
                                  .points = cut->points + inner.points,
                                  .width = inner.width,
                                  .next_points = inner.next_points};
    }
    if (cut) {
        plan.cut = cut->before;
    }
    return plan;
}

}  // namespace vexa_cli
