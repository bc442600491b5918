#pragma once

#include <cstdint>
#include <expected>
#include <span>

#include "profile/sample_filter.hpp"
#include "trace/trace_writer.hpp"
#include "vexa_package/error.hpp"

namespace vexa_cli {

/// Plans the trace of a report held in memory, from a first pass through the filters: the
/// busy counters span the kept samples, from the earliest start to the latest end; and when
/// more than `max_slices` are kept (0: no limit), only the samples that start before a cut
/// get slices, the cut being the latest point at which at most `max_slices` start before it,
/// as far as `StartHistogram` resolves the starts. Where its bucket at the cut holds more
/// than a sixty-fourth of the budget, another pass counts the starts in that bucket alone,
/// 4096 times finer, and so on, so that the cut leaves out little of the budget.
[[nodiscard]] std::expected<TracePlan, vexa_package::PackageError> plan_trace(
    std::span<const std::uint8_t> report, SampleFilter& filter, std::uint64_t max_slices);

}  // namespace vexa_cli
