#include <memory>

#include "command.hpp"
#include "command_options.hpp"
#include "commands.hpp"

namespace vexa_cli {

CommandAction declare_profile_pack(CLI::App& command) {
    auto options = std::make_shared<PackOptions>();
    add_input(command, "JSON", options->input, "The JSON to read");
    add_binary_output(command, options->output, "Where to write the report");
    footer(command,
           "Every field is required and no other is allowed; pack of dump gives a byte-identical\n"
           "report.\nExample: vexa-package profile pack run.json -o run.vxprof");
    return [options] { return run_profile_pack(*options); };
}

}  // namespace vexa_cli
