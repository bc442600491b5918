#include <memory>

#include "command.hpp"
#include "command_options.hpp"
#include "commands.hpp"

namespace vexa_cli {

CommandAction declare_profile_dump(CLI::App& command) {
    auto options = std::make_shared<DumpOptions>();
    add_input(command, "REPORT", options->input, "The profile report to read");
    add_output(command, options->output, "Where to write the JSON")->capture_default_str();
    command.add_flag("--compact", options->compact, "Everything on one line");
    footer(
        command,
        "Fields under their model names (clock_hz, tiles, physical_tile, samples, step,\n"
        "local_index, phase, epoch, operation, kind, kernel, metadata, start_cycle, end_cycle);\n"
        "kind is Exchange, Compute, Synchronization or Idle.\n"
        "Example: vexa-package profile dump run.vxprof -o run.json");
    return [options] { return run_profile_dump(*options); };
}

}  // namespace vexa_cli
