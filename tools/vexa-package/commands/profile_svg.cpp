#include <memory>

#include "command.hpp"
#include "command_options.hpp"
#include "commands.hpp"
#include "sample_filter.hpp"

namespace vexa_cli {

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
