#include <memory>

#include "command.hpp"
#include "command_options.hpp"
#include "commands.hpp"

namespace vexa_cli {

CommandAction declare_validate(CLI::App& command) {
    auto paths = std::make_shared<std::vector<std::string>>();
    command.add_option("PACKAGE", *paths, "The packages to check")->required()->type_name("");
    footer(command, "Exit status 1 if any package fails.\nExample: vexa-package validate *.vxpkg");
    return [paths] { return run_validate(*paths); };
}

}  // namespace vexa_cli
