#include <memory>

#include "cli/command.hpp"
#include "cli/command_options.hpp"
#include "cli/diagnostics.hpp"
#include "io/file_io.hpp"
#include "io/loading.hpp"
#include "output/text_format.hpp"

namespace vexa_cli {
namespace {

int run_validate(const std::vector<std::string>& packages) {
    int status = EXIT_OK;
    for (const std::string& path : packages) {
        // Reading a package validates it. A good file is reported on standard output, a bad
        // one like every other failure; standard output is flushed first, so the lines keep
        // their order when both streams go to one place.
        const auto file = load_package_file(path);
        if (!file) {
            status = fail(file.error());
            continue;
        }
        print(input_name(path) + ": ok\n");
        if (file->trailing_bytes != 0) {
            warn(input_name(path), counted(file->trailing_bytes, "byte") + " after the package " +
                                       (file->trailing_bytes == 1 ? "was" : "were") +
                                       " not read: it holds more than one message");
        }
    }
    return status;
}

}  // namespace

CommandAction declare_validate(CLI::App& command) {
    auto paths = std::make_shared<std::vector<std::string>>();
    command.add_option("PACKAGE", *paths, "The packages to check")->required()->type_name("");
    footer(command, "Exit status 1 if any package fails.\nExample: vexa-package validate *.vxpkg");
    return [paths] { return run_validate(*paths); };
}

}  // namespace vexa_cli
