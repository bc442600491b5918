#include <memory>
#include <string>
#include <utility>

#include "commands.hpp"
#include "diagnostics.hpp"
#include "file_io.hpp"
#include "loading.hpp"
#include "profile_timeline.hpp"
#include "text_format.hpp"
#include "timeline_report.hpp"
#include "trace_json.hpp"
#include "trace_perfetto.hpp"
#include "trace_plan.hpp"

namespace vexa_cli {
namespace {

bool perfetto_wanted(const TraceOptions& options) {
    if (!options.format.empty()) {
        return options.format == "perfetto";
    }
    // Perfetto's format is far smaller and the only one that draws overlapping samples apart,
    // so it is the default for every file but one named as JSON.
    return !options.output.empty() && options.output != STANDARD_STREAM &&
           !options.output.ends_with(".json");
}

// What the slice budget left out, and how to see it.
std::string budget_note(const TraceWriter& writer, std::uint64_t cut, std::uint64_t max_slices) {
    const std::string from = std::to_string(cut);
    std::string when;
    if (const auto seconds = cycles_to_seconds(cut - writer.run_start(), writer.clock_hz())) {
        when = " (" + seconds_text(*seconds) + " into the run)";
    }
    return counted(writer.slices() + writer.cut_off(), "kept sample") + " exceed --max-slices " +
           std::to_string(max_slices) + ": slices are written for the " +
           std::to_string(writer.slices()) + " that start before cycle " + from + when +
           ", the busy counters cover all; for the rest, write windows (--from " + from +
           " --to CYCLE), or all slices with --max-slices 0 and open that file with "
           "trace_processor_shell --httpd FILE and ui.perfetto.dev";
}

}  // namespace

int run_profile_trace(const TraceOptions& options) {
    const auto bytes = read_report_file(options.report);
    if (!bytes) {
        return fail(bytes.error());
    }
    OutputFile output;
    if (auto opened = output.open(options.output,
                                  {.inputs = {options.report}, .binary = perfetto_wanted(options)});
        !opened) {
        return fail(output_failure(options.output, std::move(opened.error())));
    }
    // A first pass plans the trace (the counters' span, and where the slice budget cuts);
    // the second writes it while the report is read, so the trace is never held in memory,
    // and a report that fails to read leaves no file behind.
    SampleFilter filter(options.filter);
    auto plan = plan_trace(*bytes, filter, options.max_slices);
    if (!plan) {
        return fail(report_failure(options.report, *bytes, plan.error()));
    }
    std::unique_ptr<TraceWriter> writer;
    const PerfettoTraceWriter* perfetto = nullptr;
    if (perfetto_wanted(options)) {
        auto made = std::make_unique<PerfettoTraceWriter>(output, input_name(options.report),
                                                          std::move(*plan));
        perfetto = made.get();
        writer = std::move(made);
    } else {
        writer =
            std::make_unique<JsonTraceWriter>(output, input_name(options.report), std::move(*plan));
    }
    FilteredTrace trace(filter, *writer);
    if (auto read = vexa_package::visit_profile(*bytes, trace); !read) {
        return fail(report_failure(options.report, *bytes, read.error()));
    }
    writer->finish();
    report_timeline(input_name(options.report), trace, true);
    if (writer->clock_hz() == 0) {
        warn(input_name(options.report),
             "clock_hz is 0; the trace shows one cycle as one nanosecond");
    }
    if (const auto cut = writer->cut(); cut) {
        warn(input_name(options.report), budget_note(*writer, *cut, options.max_slices));
    }
    if (perfetto != nullptr && perfetto->crowded() != 0) {
        warn(input_name(options.report),
             counted(perfetto->crowded(), "sample") +
                 " found no track free of overlapping samples among the " +
                 std::to_string(TrackLanes::LANE_LIMIT) +
                 " of their tile; drawn on the tile's own track, where a viewer may nest them "
                 "wrongly");
    }
    if (auto committed = output.commit(); !committed) {
        return fail(output_name(options.output), committed.error());
    }
    std::string written = output_name(options.output) + ": " + counted(writer->slices(), "event") +
                          " on " + counted(writer->tracks(), "tile track");
    if (perfetto != nullptr && perfetto->overflow_tracks() != 0) {
        written += " and " + counted(perfetto->overflow_tracks(), "overflow track") +
                   " for overlapping samples";
    }
    file_status(options.output, written);
    return EXIT_OK;
}

}  // namespace vexa_cli
