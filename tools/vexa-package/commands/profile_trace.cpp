#include <charconv>
#include <cstdint>
#include <memory>
#include <string>
#include <system_error>

#include "command.hpp"
#include "command_options.hpp"
#include "commands.hpp"
#include "sample_filter.hpp"

namespace vexa_cli {

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
