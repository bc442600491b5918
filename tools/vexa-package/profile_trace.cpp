#include <set>

#include "commands.hpp"
#include "diagnostics.hpp"
#include "file_io.hpp"
#include "json_document.hpp"
#include "loading.hpp"
#include "profile_timeline.hpp"
#include "text_format.hpp"

namespace vexa_cli {
namespace {

using namespace vexa_package;

// All tiles are threads of one process, so a viewer shows them as tracks side by side.
constexpr int PROCESS_ID = 1;

void append_event(std::string& out, const JsonOutput& event) {
    out.append(out.back() == '[' ? "\n" : ",\n");
    out.append(event.dump(-1, ' ', false, JsonOutput::error_handler_t::replace));
}

void append_track(std::string& out, std::uint32_t physical_tile) {
    append_event(out, {{"name", "thread_name"},
                       {"ph", "M"},
                       {"pid", PROCESS_ID},
                       {"tid", physical_tile},
                       {"args", {{"name", "tile " + std::to_string(physical_tile)}}}});
    append_event(out, {{"name", "thread_sort_index"},
                       {"ph", "M"},
                       {"pid", PROCESS_ID},
                       {"tid", physical_tile},
                       {"args", {{"sort_index", physical_tile}}}});
}

// Metadata names may repeat; a repeated name collects its values in a list.
JsonOutput metadata_args(const std::vector<ProfileMetadata>& metadata) {
    JsonOutput args = JsonOutput::object();
    for (const ProfileMetadata& entry : metadata) {
        if (!args.contains(entry.name)) {
            args[entry.name] = entry.value;
        } else {
            JsonOutput& values = args[entry.name];
            if (!values.is_array()) {
                values = JsonOutput::array({values});
            }
            values.push_back(entry.value);
        }
    }
    return args;
}

void append_sample(std::string& out, std::uint32_t physical_tile, const CycleSample& sample,
                   PlacedSample placed, std::uint64_t clock_hz) {
    const ProfileStep& step = sample.step;
    append_event(out, {{"name", sample_name(sample)},
                       {"cat", to_string(step.kind)},
                       {"ph", "X"},
                       {"ts", trace_microseconds(placed.start, clock_hz)},
                       {"dur", trace_microseconds(placed.end - placed.start, clock_hz)},
                       {"pid", PROCESS_ID},
                       {"tid", physical_tile},
                       {"args",
                        {{"kernel", step.kernel},
                         {"operation", step.operation},
                         {"local_index", step.local_index},
                         {"phase", step.phase},
                         {"epoch", step.epoch},
                         {"start_cycle", sample.start_cycle},
                         {"end_cycle", sample.end_cycle},
                         {"cycles", sample_cycles(sample)},
                         {"metadata", metadata_args(step.metadata)}}}});
}

// The trace is written as text event by event, so a report of millions of samples never
// exists twice in memory as a JSON tree.
std::string trace_text(const ProfileReport& report, std::string_view source) {
    std::string out = "{\"traceEvents\": [";
    append_event(out, {{"name", "process_name"},
                       {"ph", "M"},
                       {"pid", PROCESS_ID},
                       {"args", {{"name", "vexa device (" + std::string(source) + ")"}}}});
    std::set<std::uint32_t> tracks;
    for (const TileProfile& tile : report.tiles) {
        if (tracks.insert(tile.physical_tile).second) {
            append_track(out, tile.physical_tile);
        }
    }
    for (const TileProfile& tile : report.tiles) {
        for_each_placed(tile, [&](const CycleSample& sample, PlacedSample placed) {
            append_sample(out, tile.physical_tile, sample, placed, report.clock_hz);
        });
    }
    const JsonOutput other{
        {"clock_hz", report.clock_hz},
        {"time_base", report.clock_hz == 0
                          ? "clock unknown (0 Hz): one cycle is shown as one microsecond"
                          : "microseconds: unwrapped tile cycles divided by clock_hz"}};
    out.append("\n],\n\"displayTimeUnit\": \"ns\",\n\"otherData\": ");
    out.append(other.dump(-1, ' ', false, JsonOutput::error_handler_t::replace));
    out.append("}\n");
    return out;
}

}  // namespace

int run_profile_trace(const TraceOptions& options) {
    const auto report = load_profile(options.report);
    if (!report) {
        return fail(report.error());
    }
    if (report->clock_hz == 0) {
        warn(input_name(options.report),
             "clock_hz is 0; the trace shows one cycle as one microsecond");
    }
    const auto stored = store(options.output, trace_text(*report, input_name(options.report)));
    if (!stored) {
        return fail(stored.error());
    }
    std::size_t samples = 0;
    std::set<std::uint32_t> tracks;
    for (const TileProfile& tile : report->tiles) {
        samples += tile.samples.size();
        tracks.insert(tile.physical_tile);
    }
    report_written(options.output, output_name(options.output) + ": " + counted(samples, "event") +
                                       " on " + counted(tracks.size(), "tile track"));
    return EXIT_OK;
}

}  // namespace vexa_cli
