#include <memory>

#include "cli/command.hpp"
#include "cli/command_options.hpp"
#include "cli/diagnostics.hpp"
#include "io/file_io.hpp"
#include "io/loading.hpp"
#include "json/json_profile.hpp"
#include "output/text_format.hpp"

namespace vexa_cli {
namespace {

struct PackOptions {
    std::string input;
    std::string output;
};

int run_profile_pack(const PackOptions& options) {
    const auto report =
        load_json_record<vexa_package::ProfileReport>(options.input, profile_from_json);
    if (!report) {
        return fail(report.error());
    }
    vexa_package::Bytes bytes;
    if (const auto written = report->write(bytes); !written) {
        return fail(input_name(options.input), written.error());
    }
    if (const auto stored =
            store(options.output, bytes, {.inputs = {options.input}, .binary = true});
        !stored) {
        return fail(stored.error());
    }
    std::size_t samples = 0;
    for (const vexa_package::TileProfile& tile : report->tiles) {
        samples += tile.samples.size();
    }
    file_status(options.output, output_name(options.output) + ": profile report of " +
                                    counted(report->tiles.size(), "tile") + ", " +
                                    counted(samples, "sample") + ", " +
                                    counted(bytes.size(), "byte"));
    return EXIT_OK;
}

}  // namespace

CommandAction declare_profile_pack(CLI::App& command) {
    auto options = std::make_shared<PackOptions>();
    add_input(command, "JSON", options->input, "The JSON to read");
    add_binary_output(command, options->output, "Where to write the report");
    footer(command,
           "Every field is required and no other is allowed; pack of dump gives a byte-identical\n"
           "report.\nExample: vexa-package profile pack run.json -o run.vxprof");
    return [options] { return run_profile_pack(*options); };
}

}  // namespace vexa_cli
