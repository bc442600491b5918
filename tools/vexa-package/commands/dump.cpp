#include <memory>

#include "cli/command.hpp"
#include "cli/command_options.hpp"
#include "cli/diagnostics.hpp"
#include "io/file_io.hpp"
#include "io/loading.hpp"
#include "json/json_application.hpp"
#include "json/json_text.hpp"
#include "output/text_format.hpp"

namespace vexa_cli {
namespace {

struct DumpOptions {
    std::string input;
    std::string output = "-";
    bool hex = false;
    bool compact = false;
};

int run_dump(const DumpOptions& options) {
    const auto application = load_application(options.input);
    if (!application) {
        return fail(application.error());
    }
    const auto spelling = options.hex ? ByteSpelling::Hex : ByteSpelling::Base64;
    // The JSON tree is gone before the text is written; only one of them is held at a time
    // beside the application.
    const std::string text =
        json_text(application_to_json(*application, spelling), options.compact);
    if (const auto stored = store(options.output, text, {.inputs = {options.input}}); !stored) {
        return fail(stored.error());
    }
    file_status(options.output,
                output_name(options.output) + ": " + counted(text.size(), "byte") + " of JSON");
    return EXIT_OK;
}

}  // namespace

CommandAction declare_dump(CLI::App& command) {
    auto options = std::make_shared<DumpOptions>();
    add_input(command, "PACKAGE", options->input, "The package to read");
    add_output(command, options->output, "Where to write the JSON")->capture_default_str();
    command.add_flag("--hex", options->hex, "Segment data as {\"hex\": \"...\"}, not base64");
    command.add_flag("--compact", options->compact, "Everything on one line");
    footer(command, std::string(JSON_FORM) + "\nExample: vexa-package dump app.vxpkg -o app.json");
    return [options] { return run_dump(*options); };
}

}  // namespace vexa_cli
