#include "cli/command_options.hpp"

namespace vexa_cli {

std::string wrapped(std::string_view text, std::size_t width) {
    std::string out;
    std::size_t line = 0;
    while (!text.empty()) {
        const std::size_t end = text.find(' ');
        const std::string_view word = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (line != 0 && line + 1 + word.size() > width) {
            out.push_back('\n');
            line = 0;
        } else if (line != 0) {
            out.push_back(' ');
            ++line;
        }
        out.append(word);
        line += word.size();
    }
    return out;
}

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
