#include "commands.hpp"
#include "diagnostics.hpp"
#include "file_io.hpp"
#include "loading.hpp"

namespace vexa_cli {

int run_validate(const std::vector<std::string>& packages) {
    int status = EXIT_OK;
    for (const std::string& path : packages) {
        // Reading a package validates it. A good file is reported on standard output, a bad
        // one like every other failure; standard output is flushed first, so the lines keep
        // their order when both streams go to one place.
        const auto application = load_application(path);
        if (application) {
            print(input_name(path) + ": ok\n");
        } else {
            status = fail(application.error());
        }
    }
    return status;
}

}  // namespace vexa_cli
