#include <memory>

#include "cli/command.hpp"
#include "cli/command_options.hpp"
#include "cli/diagnostics.hpp"
#include "cli/filter_options.hpp"
#include "io/file_io.hpp"
#include "io/loading.hpp"
#include "json/profile_dump_writer.hpp"
#include "output/text_format.hpp"
#include "profile/sample_filter.hpp"
#include "profile/timeline_report.hpp"

namespace vexa_cli {
namespace {

struct ProfileDumpOptions {
    std::string input;
    std::string output = "-";
    bool compact = false;
    SampleFilterOptions filter;
};

int run_profile_dump(const ProfileDumpOptions& options) {
    const auto bytes = read_report_file(options.input);
    if (!bytes) {
        return fail(bytes.error());
    }
    OutputFile output;
    if (auto opened = output.open(options.output, {.inputs = {options.input}}); !opened) {
        return fail(output_failure(options.output, std::move(opened.error())));
    }
    // The JSON is written while the report is read; neither is ever held whole.
    SampleFilter filter(options.filter);
    ProfileDumpWriter writer(filter, output, options.compact);
    if (auto read = vexa_package::visit_profile(*bytes, writer); !read) {
        return fail(report_failure(options.input, *bytes, read.error()));
    }
    report_timeline(input_name(options.input), writer, false);
    writer.finish();
    if (const auto committed = output.commit(); !committed) {
        return fail(output_name(options.output), committed.error());
    }
    file_status(options.output,
                output_name(options.output) + ": " + counted(writer.kept(), "sample") + " as JSON");
    return EXIT_OK;
}

}  // namespace

CommandAction declare_profile_dump(CLI::App& command) {
    auto options = std::make_shared<ProfileDumpOptions>();
    add_input(command, "REPORT", options->input, "The profile report to read");
    add_output(command, options->output, "Where to write the JSON")->capture_default_str();
    command.add_flag("--compact", options->compact, "Everything on one line");
    add_filter_options(command, options->filter);
    footer(command,
           "Fields under their model names (clock_hz, tiles, physical_tile, samples, step,\n"
           "local_index, phase, epoch, operation, kind, kernel, metadata, start_cycle,\n"
           "end_cycle); kind is Exchange, Compute, Synchronization or Idle. With filters the\n"
           "JSON is the report of the kept samples, stored cycles unchanged, which 'profile\n"
           "pack' turns into a smaller report.\n" +
               std::string(FILTER_HELP) +
               "\nExamples: vexa-package profile dump run.vxprof -o run.json\n"
               "          vexa-package profile dump run.vxprof --tiles 0-3 --from 1000000 |\n"
               "              vexa-package profile pack - -o part.vxprof");
    return [options] { return run_profile_dump(*options); };
}

}  // namespace vexa_cli
