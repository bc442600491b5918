#include <memory>

#include "command.hpp"
#include "command_options.hpp"
#include "commands.hpp"
#include "sample_filter.hpp"

namespace vexa_cli {

CommandAction declare_profile_dump(CLI::App& command) {
    auto options = std::make_shared<ProfileDumpOptions>();
    add_input(command, "REPORT", options->input, "The profile report to read");
    add_output(command, options->output, "Where to write the JSON")->capture_default_str();
    command.add_flag("--compact", options->compact, "Everything on one line");
    add_filter_options(command, options->filter);
    footer(command,
           "Fields under their model names (clock_hz, tiles, physical_tile, samples, step,\n"
           "local_index, phase, epoch, operation, kind, kernel, metadata, start_cycle,\n"
           "end_cycle); kind is Exchange, Compute, Synchronization or Idle. With filters the\n"
           "JSON is the report of the kept samples, stored cycles unchanged, which 'profile\n"
           "pack' turns into a smaller report.\n" +
               std::string(FILTER_HELP) +
               "\nExamples: vexa-package profile dump run.vxprof -o run.json\n"
               "          vexa-package profile dump run.vxprof --tiles 0-3 --from 1000000 |\n"
               "              vexa-package profile pack - -o part.vxprof");
    return [options] { return run_profile_dump(*options); };
}

}  // namespace vexa_cli
