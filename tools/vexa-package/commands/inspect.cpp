#include <memory>

#include "cli/command.hpp"
#include "cli/command_options.hpp"
#include "cli/diagnostics.hpp"
#include "io/file_io.hpp"
#include "io/loading.hpp"
#include "json/json_text.hpp"
#include "package/overview.hpp"

namespace vexa_cli {
namespace {

struct InspectOptions {
    std::string package;
    bool json = false;
};

int run_inspect(const InspectOptions& options) {
    const auto application = load_application(options.package);
    if (!application) {
        return fail(application.error());
    }
    print(options.json ? json_text(inspect_json(*application), false)
                       : inspect_text(*application, input_name(options.package)));
    return EXIT_OK;
}

}  // namespace

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
