#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "io/file_io.hpp"
#include "profile/sample_filter.hpp"
#include "vexa_package/error.hpp"

namespace vexa_cli {

/// What drawing a timeline gave: its rows, one per kept tile entry, and what the device
/// timeline could not settle (`timeline_notes`), for the command to say.
struct SvgTimeline {
    std::size_t rows = 0;
    std::vector<std::string> timeline_notes;
};

/// Draws the samples of `report` that `filter` keeps as an SVG picture `width` pixels wide
/// into `output`: one row per tile entry, a bar per sample coloured by kind on a time axis that
/// spans the kept samples, and a legend; `source` names the report in the heading. Two passes
/// over the report, neither of which keeps its samples: the first for the extent of the kept
/// samples on the device timeline, the second for the rows. Samples narrower than a pixel are
/// merged per pixel column, so the picture's size is bounded by its width.
[[nodiscard]] std::expected<SvgTimeline, vexa_package::PackageError> write_svg_timeline(
    OutputFile& output, std::span<const std::uint8_t> report, std::string_view source,
    SampleFilter& filter, unsigned width);

}  // namespace vexa_cli
