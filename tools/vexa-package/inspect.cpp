#include "inspect.hpp"
#include "commands.hpp"
#include "diagnostics.hpp"
#include "file_io.hpp"
#include "json_text.hpp"
#include "loading.hpp"

namespace vexa_cli {

int run_inspect(const InspectOptions& options) {
    const auto application = load_application(options.package);
    if (!application) {
        return fail(application.error());
    }
    print(options.json ? json_text(inspect_json(*application), false)
                       : inspect_text(*application, input_name(options.package)));
    return EXIT_OK;
}

}  // namespace vexa_cli
