#include <filesystem>
#include <memory>
#include <string>

#include "cli/command.hpp"
#include "cli/command_options.hpp"
#include "cli/diagnostics.hpp"
#include "cli/filter_options.hpp"
#include "io/file_io.hpp"
#include "io/loading.hpp"
#include "io/report_output.hpp"
#include "output/svg_timeline.hpp"
#include "output/text_format.hpp"
#include "profile/sample_filter.hpp"

namespace vexa_cli {
namespace {

struct SvgOptions {
    std::string report;
    std::string output;
    unsigned width = 1200;
    SampleFilterOptions filter;
};

int run_profile_svg(const SvgOptions& options) {
    ReportOutput run(options.report, options.output);
    if (auto opened = run.open(); !opened) {
        return fail(opened.error());
    }
    // The file name alone, so that the heading stays inside the picture.
    const std::string name = options.report == STANDARD_STREAM
                                 ? input_name(options.report)
                                 : std::filesystem::path(options.report).filename().string();
    SampleFilter filter(options.filter);
    const auto timeline = write_svg_timeline(run.file(), run.bytes(), name, filter, options.width);
    if (!timeline) {
        return fail(run.read_failure(timeline.error()));
    }
    for (const std::string& note : timeline->timeline_notes) {
        warn(run.report_name(), note);
    }
    if (auto committed = run.commit(); !committed) {
        return fail(committed.error());
    }
    run.report(counted(timeline->rows, "row") + ", " + counted(run.file().size(), "byte"));
    return EXIT_OK;
}

}  // namespace

CommandAction declare_profile_svg(CLI::App& command) {
    auto options = std::make_shared<SvgOptions>();
    add_input(command, "REPORT", options->report, "The profile report to read");
    add_output(command, options->output, "Where to write the SVG")->required();
    command.add_option("--width", options->width, "Picture width in pixels")
        ->check(CLI::Range(400u, 20000u))
        ->capture_default_str()
        ->type_name("PIXELS");
    add_filter_options(command, options->filter);
    footer(command,
           "One row per tile, a bar per sample coloured by kind, a time axis and a legend.\n"
           "Samples narrower than a pixel are merged per pixel column, so the picture stays small\n"
           "for millions of samples; hovering a bar shows its kernel, or what was merged. The\n"
           "time axis spans the kept samples, so --from and --to zoom in.\n" +
               std::string(FILTER_HELP) + "\n" + std::string(DEVICE_TIMELINE) +
               "\nExamples: vexa-package profile svg run.vxprof -o timeline.svg\n"
               "          vexa-package profile svg run.vxprof -o part.svg --from 2000000 --to "
               "3000000");
    return [options] { return run_profile_svg(*options); };
}

}  // namespace vexa_cli
