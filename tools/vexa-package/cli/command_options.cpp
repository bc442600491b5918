#include "cli/command_options.hpp"

namespace vexa_cli {

void footer(CLI::App& command, const std::string& text) {
    command.footer(text + "\n");
}

CLI::Option* add_input(CLI::App& command, const std::string& name, std::string& path,
                       const std::string& what) {
    return command.add_option(name, path, what)->required()->type_name("");
}

CLI::Option* add_output(CLI::App& command, std::string& path, const std::string& what) {
    return command.add_option("-o,--output", path, what)->type_name("FILE");
}

CLI::Option* add_binary_output(CLI::App& command, std::string& path, const std::string& what) {
    return add_output(command, path,
                      what +
                          " (default: standard output, unless it is a terminal; -o - "
                          "writes there anyway)");
}

}  // namespace vexa_cli
