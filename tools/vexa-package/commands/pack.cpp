#include <memory>

#include "command.hpp"
#include "command_options.hpp"
#include "commands.hpp"

namespace vexa_cli {

CommandAction declare_pack(CLI::App& command) {
    auto options = std::make_shared<PackOptions>();
    add_input(command, "JSON", options->input, "The JSON to read");
    add_binary_output(command, options->output, "Where to write the package");
    footer(command, std::string(JSON_FORM) +
                        "\nA package that breaks a rule is refused with the library's message.\n"
                        "pack of dump gives a byte-identical package.\n"
                        "Example: vexa-package pack app.json -o app.vxpkg");
    return [options] { return run_pack(*options); };
}

}  // namespace vexa_cli
