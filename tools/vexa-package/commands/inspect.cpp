#include <memory>

#include "command.hpp"
#include "command_options.hpp"
#include "commands.hpp"

namespace vexa_cli {

CommandAction declare_inspect(CLI::App& command) {
    auto options = std::make_shared<InspectOptions>();
    add_input(command, "PACKAGE", options->package, "The package to read");
    command.add_flag("--json", options->json, "The same facts as JSON (segment bytes left out)");
    footer(command,
           "Shows the compiler version, the tiles (addresses, segments, load base, image size),\n"
           "the input, output and weight bindings, the host exchange (pages, attach order,\n"
           "command word, calls with their slices and batches), the entry points and the\n"
           "device configuration writes.\n"
           "Example: vexa-package inspect app.vxpkg");
    return [options] { return run_inspect(*options); };
}

}  // namespace vexa_cli
