#include "commands.hpp"
#include "diagnostics.hpp"
#include "file_io.hpp"
#include "loading.hpp"
#include "text_format.hpp"

namespace vexa_cli {

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

}  // namespace vexa_cli
