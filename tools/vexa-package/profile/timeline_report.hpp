#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "profile/sample_filter.hpp"

namespace vexa_cli {

/// What a profile command says on standard error once a report has streamed through its
/// filters: one warning per kind of timeline anomaly when the command places samples in time
/// (or a --from/--to window does), and a note when filters kept no sample.
[[nodiscard]] std::vector<std::string> timeline_notes(const FilteredVisitor& visitor,
                                                      bool shows_times);

/// Prints `timeline_notes` as warnings about `subject`.
void report_timeline(std::string_view subject, const FilteredVisitor& visitor, bool shows_times);

}  // namespace vexa_cli
