#include <memory>

#include "cli/command.hpp"
#include "cli/command_options.hpp"
#include "cli/diagnostics.hpp"
#include "io/file_io.hpp"
#include "io/loading.hpp"
#include "json/json_application.hpp"
#include "output/text_format.hpp"
#include "package/rule_location.hpp"

namespace vexa_cli {
namespace {

struct PackOptions {
    std::string input;
    std::string output;
};

int run_pack(const PackOptions& options) {
    const auto application =
        load_json_record<vexa_package::Application>(options.input, application_from_json);
    if (!application) {
        return fail(application.error());
    }
    // The writer validates first; a package that breaks a rule is refused with its message,
    // followed by the record that breaks it.
    vexa_package::Bytes package;
    if (const auto written = application->write(package); !written) {
        return fail(
            Failure{.subject = input_name(options.input),
                    .what = to_string(written.error()),
                    .detail = locate_rule_failure(*application, written.error()).value_or("")});
    }
    if (const auto stored =
            store(options.output, package, {.inputs = {options.input}, .binary = true});
        !stored) {
        return fail(stored.error());
    }
    file_status(options.output, output_name(options.output) + ": application package of " +
                                    counted(application->tiles.size(), "tile") + ", " +
                                    counted(package.size(), "byte"));
    return EXIT_OK;
}

}  // namespace

CommandAction declare_pack(CLI::App& command) {
    auto options = std::make_shared<PackOptions>();
    add_input(command, "JSON", options->input, "The JSON to read");
    add_binary_output(command, options->output, "Where to write the package");
    footer(command, std::string(JSON_FORM) +
                        "\nA package that breaks a rule is refused with the library's message.\n"
                        "pack of dump gives a byte-identical package.\n"
                        "Example: vexa-package pack app.json -o app.vxpkg");
    return [options] { return run_pack(*options); };
}

}  // namespace vexa_cli
