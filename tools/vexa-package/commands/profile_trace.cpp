#include <charconv>
#include <cstdint>
#include <memory>
#include <string>
#include <system_error>
#include <utility>

#include "cli/command.hpp"
#include "cli/command_options.hpp"
#include "cli/diagnostics.hpp"
#include "cli/filter_options.hpp"
#include "io/file_io.hpp"
#include "io/loading.hpp"
#include "io/report_output.hpp"
#include "output/text_format.hpp"
#include "profile/profile_timeline.hpp"
#include "profile/sample_filter.hpp"
#include "trace/trace_json.hpp"
#include "trace/trace_perfetto.hpp"
#include "trace/trace_plan.hpp"

namespace vexa_cli {
namespace {

struct TraceOptions {
    std::string report;
    std::string output;
    /// "json" or "perfetto"; empty: JSON for an output ending in .json and for standard
    /// output, else Perfetto.
    std::string format;
    /// The most slices written; 0: no limit. By default a Perfetto file of about 300 MB,
    /// which the Perfetto UI loads in a browser tab in 0.6 to 1.2 GB.
    std::uint64_t max_slices = 5'000'000;
    SampleFilterOptions filter;
};

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

int run_profile_trace(const TraceOptions& options) {
    ReportOutput run(options.report, options.output);
    if (auto opened = run.open(perfetto_wanted(options)); !opened) {
        return fail(opened.error());
    }
    // A first pass plans the trace (the counters' span, and where the slice budget cuts);
    // the second writes it while the report is read, so the trace is never held in memory,
    // and a report that fails to read leaves no file behind.
    SampleFilter filter(options.filter);
    auto plan = plan_trace(run.bytes(), filter, options.max_slices);
    if (!plan) {
        return fail(run.read_failure(plan.error()));
    }
    std::unique_ptr<TraceWriter> writer;
    const PerfettoTraceWriter* perfetto = nullptr;
    if (perfetto_wanted(options)) {
        auto made =
            std::make_unique<PerfettoTraceWriter>(run.file(), run.report_name(), std::move(*plan));
        perfetto = made.get();
        writer = std::move(made);
    } else {
        writer = std::make_unique<JsonTraceWriter>(run.file(), run.report_name(), std::move(*plan));
    }
    FilteredTrace trace(filter, *writer);
    if (auto visited = run.visit(trace, true); !visited) {
        return fail(visited.error());
    }
    writer->finish();
    if (writer->clock_hz() == 0) {
        warn(run.report_name(), "clock_hz is 0; the trace shows one cycle as one nanosecond");
    }
    if (const auto cut = writer->cut(); cut) {
        warn(run.report_name(), budget_note(*writer, *cut, options.max_slices));
    }
    if (perfetto != nullptr && perfetto->crowded() != 0) {
        warn(run.report_name(),
             counted(perfetto->crowded(), "sample") +
                 " found no track free of overlapping samples among the " +
                 std::to_string(TrackLanes::LANE_LIMIT) +
                 " of their tile; drawn on the tile's own track, where a viewer may nest them "
                 "wrongly");
    }
    if (auto committed = run.commit(); !committed) {
        return fail(committed.error());
    }
    std::string written =
        counted(writer->slices(), "event") + " on " + counted(writer->tracks(), "tile track");
    if (perfetto != nullptr && perfetto->overflow_tracks() != 0) {
        written += " and " + counted(perfetto->overflow_tracks(), "overflow track") +
                   " for overlapping samples";
    }
    run.report(written);
    return EXIT_OK;
}

}  // namespace

CommandAction declare_profile_trace(CLI::App& command) {
    auto options = std::make_shared<TraceOptions>();
    add_input(command, "REPORT", options->report, "The profile report to read");
    add_output(command, options->output,
               "Where to write the trace (default: standard output, as JSON; Perfetto's\n"
               "binary format is written to a terminal only with -o -)");
    command
        .add_option("--format", options->format,
                    "perfetto or json; by default json for a FILE ending in .json and for\n"
                    "standard output, perfetto for any other FILE")
        ->check(CLI::IsMember({"perfetto", "json"}))
        ->type_name("FORMAT");
    command
        .add_option("--max-slices", options->max_slices,
                    "Write slices for at most N samples, those that start first; 0: no limit")
        ->default_val(options->max_slices)
        ->check(CLI::Validator(
            [](const std::string& text) {
                std::uint64_t count = 0;
                const char* const end = text.data() + text.size();
                const auto [parsed, error] = std::from_chars(text.data(), end, count);
                return error == std::errc() && parsed == end && !text.empty()
                           ? std::string()
                           : "expected a number of slices up to 2^64 - 1 (0: no limit), got " +
                                 text;
            },
            "N"))
        ->type_name("N");
    add_filter_options(command, options->filter);
    footer(command,
           "One track per physical tile, in tile order; one slice per sample, named by its kernel\n"
           "(or operation), with its kind as category and operation, local index, phase, epoch\n"
           "and metadata as arguments (JSON adds the cycles). Under each tile, counters give the\n"
           "share of time the tile spent in each kind of step, in percent, for each of 1000\n"
           "equal parts of the run from the earliest start to the latest end of the kept\n"
           "samples (fewer parts when there are fewer samples per tile and kind; overlapping\n"
           "samples add up): Perfetto shows a counter track \"tile N busy KIND\" per kind under\n"
           "the tile's track, JSON a counter \"tile N busy\" of the process with a series per\n"
           "kind. Times are whole nanoseconds, floor(cycles * 1e9 / clock_hz) of the device\n"
           "timeline; with clock_hz 0 one cycle is shown as one nanosecond.\n"
           "A browser tab holds a trace of some millions of slices (the Perfetto UI takes 2 to\n"
           "4 times the file's size), so above --max-slices either format keeps the counters of\n"
           "every kept sample but slices only for those that start before a cycle C, as many\n"
           "as fit, and a warning gives C. To see the rest, write windows with --from C\n"
           "--to CYCLE, or write everything with --max-slices 0 and open it through the native\n"
           "trace processor: trace_processor_shell --httpd FILE, then ui.perfetto.dev, which\n"
           "offers to use it. Perfetto's protobuf format is about a fifth of JSON's size and\n"
           "loads far larger runs; open either with \"Open trace file\" at ui.perfetto.dev\n"
           "(JSON also in chrome://tracing).\n" +
               std::string(FILTER_HELP) + "\n" + std::string(DEVICE_TIMELINE) +
               "\nExamples: vexa-package profile trace run.vxprof -o run.pftrace\n"
               "          vexa-package profile trace run.vxprof -o trace.json --tiles 0-3,8\n"
               "          vexa-package profile trace run.vxprof -o part.pftrace --from 4400000000 "
               "--to 4500000000");
    return [options] { return run_profile_trace(*options); };
}

}  // namespace vexa_cli
