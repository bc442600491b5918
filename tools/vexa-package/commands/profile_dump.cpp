#include <memory>

#include "cli/command.hpp"
#include "cli/command_options.hpp"
#include "cli/diagnostics.hpp"
#include "cli/filter_options.hpp"
#include "io/loading.hpp"
#include "io/report_output.hpp"
#include "json/json_records.hpp"
#include "json/profile_dump_writer.hpp"
#include "output/text_format.hpp"
#include "profile/sample_filter.hpp"

namespace vexa_cli {
namespace {

struct ProfileDumpOptions {
    std::string input;
    std::string output = "-";
    bool compact = false;
    SampleFilterOptions filter;
};

int run_profile_dump(const ProfileDumpOptions& options) {
    ReportOutput run(options.input, options.output);
    if (auto opened = run.open(); !opened) {
        return fail(opened.error());
    }
    // The JSON is written while the report is read; neither is ever held whole.
    SampleFilter filter(options.filter);
    ProfileDumpWriter writer(filter, run.file(), options.compact);
    if (auto visited = run.visit(writer, false); !visited) {
        return fail(visited.error());
    }
    writer.finish();
    if (auto committed = run.commit(); !committed) {
        return fail(committed.error());
    }
    run.report(counted(writer.kept(), "sample") + " as JSON");
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
           wrapped("Fields under their model names (" +
                   model_field_names<vexa_package::ProfileReport>() +
                   "); kind is Exchange, Compute, Synchronization or Idle. With filters the "
                   "JSON is the report of the kept samples, stored cycles unchanged, which "
                   "'profile pack' turns into a smaller report.") +
               "\n" + std::string(FILTER_HELP) +
               "\nExamples: vexa-package profile dump run.vxprof -o run.json\n"
               "          vexa-package profile dump run.vxprof --tiles 0-3 --from 1000000 |\n"
               "              vexa-package profile pack - -o part.vxprof");
    return [options] { return run_profile_dump(*options); };
}

}  // namespace vexa_cli
