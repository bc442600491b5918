#include <memory>

#include "command.hpp"
#include "command_options.hpp"
#include "commands.hpp"

namespace vexa_cli {

CommandAction declare_dump(CLI::App& command) {
    auto options = std::make_shared<DumpOptions>();
    add_input(command, "PACKAGE", options->input, "The package to read");
    add_output(command, options->output, "Where to write the JSON")->capture_default_str();
    command.add_flag("--hex", options->hex, "Segment data as {\"hex\": \"...\"}, not base64");
    command.add_flag("--compact", options->compact, "Everything on one line");
    footer(command, std::string(JSON_FORM) + "\nExample: vexa-package dump app.vxpkg -o app.json");
    return [options] { return run_dump(*options); };
}

}  // namespace vexa_cli
