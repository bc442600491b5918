#include <memory>
#include <string>
#include <utility>

#include "commands.hpp"
#include "diagnostics.hpp"
#include "file_io.hpp"
#include "loading.hpp"
#include "text_format.hpp"
#include "timeline_report.hpp"
#include "trace_json.hpp"
#include "trace_perfetto.hpp"

namespace vexa_cli {
namespace {

bool perfetto_wanted(const TraceOptions& options) {
    if (!options.format.empty()) {
        return options.format == "perfetto";
    }
    return options.output.ends_with(".pftrace") || options.output.ends_with(".perfetto-trace");
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
    // The trace is written while the report is read, so neither the report nor the trace is
    // ever held in memory; a report that fails to read leaves no file behind.
    std::unique_ptr<TraceWriter> writer;
    const PerfettoTraceWriter* perfetto = nullptr;
    if (perfetto_wanted(options)) {
        auto made = std::make_unique<PerfettoTraceWriter>(output, input_name(options.report));
        perfetto = made.get();
        writer = std::move(made);
    } else {
        writer = std::make_unique<JsonTraceWriter>(output, input_name(options.report));
    }
    SampleFilter filter(options.filter);
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
    status(written);
    return EXIT_OK;
}

}  // namespace vexa_cli
