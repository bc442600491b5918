#include <memory>

#include "command.hpp"
#include "command_options.hpp"
#include "commands.hpp"

namespace vexa_cli {

CommandAction declare_profile_trace(CLI::App& command) {
    auto options = std::make_shared<TraceOptions>();
    add_input(command, "REPORT", options->report, "The profile report to read");
    add_output(command, options->output, "Where to write the trace JSON")->required();
    footer(command,
           "One track per physical tile; one complete event per sample, named by its kernel (or\n"
           "operation), with its kind as category and local index, phase, epoch, cycles and\n"
           "metadata as arguments. Times are microseconds: cycles divided by clock_hz; with\n"
           "clock_hz 0 one cycle is shown as one microsecond.\n" +
               std::string(UNWRAPPING) +
               "\nExample: vexa-package profile trace run.vxprof -o trace.json");
    return [options] { return run_profile_trace(*options); };
}

}  // namespace vexa_cli
