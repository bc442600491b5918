#include <memory>

#include "command.hpp"
#include "command_options.hpp"
#include "commands.hpp"
#include "sample_filter.hpp"

namespace vexa_cli {

CommandAction declare_profile_trace(CLI::App& command) {
    auto options = std::make_shared<TraceOptions>();
    add_input(command, "REPORT", options->report, "The profile report to read");
    add_output(command, options->output, "Where to write the trace")->required();
    command
        .add_option("--format", options->format,
                    "perfetto or json; by default perfetto for a FILE ending in .pftrace or\n"
                    ".perfetto-trace, json for any other FILE and for standard output")
        ->check(CLI::IsMember({"perfetto", "json"}))
        ->type_name("FORMAT");
    add_filter_options(command, options->filter);
    footer(command,
           "One track per physical tile, in tile order; one slice per sample, named by its kernel\n"
           "(or operation), with its kind as category and operation, local index, phase, epoch\n"
           "and metadata as arguments (JSON adds the cycles). Times are whole nanoseconds,\n"
           "floor(cycles * 1e9 / clock_hz) exactly; with clock_hz 0 one cycle is shown as one\n"
           "nanosecond. Perfetto's protobuf format is several times smaller than JSON and loads\n"
           "far larger runs; open either with \"Open trace file\" at ui.perfetto.dev (JSON also\n"
           "in chrome://tracing).\n" +
               std::string(FILTER_HELP) + "\n" + std::string(DEVICE_TIMELINE) +
               "\nExamples: vexa-package profile trace run.vxprof -o run.pftrace\n"
               "          vexa-package profile trace run.vxprof -o trace.json --tiles 0-3,8");
    return [options] { return run_profile_trace(*options); };
}

}  // namespace vexa_cli
