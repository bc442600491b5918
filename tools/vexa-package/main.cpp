#include <CLI/CLI.hpp>

#include <exception>
#include <new>
#include <optional>
#include <string>

#include "commands.hpp"
#include "diagnostics.hpp"
#include "log_sink.hpp"
#include "vexa_package/version.hpp"

namespace vexa_cli {
namespace {

constexpr std::string_view DESCRIPTION =
    "Inspect, check and convert vexa application packages and profile reports.\n"
    "A file name of - means standard input or standard output.";

constexpr std::string_view JSON_FORM =
    "The JSON holds every field under its model name (compiler_version, tiles, physical_tile,\n"
    "segments, address, memory_size, data, flags, ...). Integers are JSON numbers, exact up\n"
    "to 2^64-1; pack also takes them as \"0x...\" hexadecimal strings. Segment data is a\n"
    "base64 string, or {\"hex\": \"...\"}. pack is strict: every field is required and no\n"
    "other field is allowed, and an error names the line and column of a syntax error or\n"
    "the path of the wrong field (tiles[2].segments[0].address: ...).";

constexpr std::string_view UNWRAPPING =
    "Each tile's 32-bit cycle counter is unwrapped in sample order: a start below the one\n"
    "before it is taken as a counter wrap, which assumes the samples of a tile are listed in\n"
    "the order they started and that consecutive starts lie less than 2^32 cycles apart.\n"
    "Durations are end - start modulo 2^32.";

std::string version_text() {
    return std::string(PROGRAM) + " " + std::string(vexa_package::version());
}

// "vexa-package profile trace": the command whose options failed to parse.
std::string command_path(CLI::App& app) {
    std::string path(PROGRAM);
    CLI::App* current = &app;
    while (!current->get_subcommands().empty()) {
        current = current->get_subcommands().front();
        path += " " + current->get_name();
    }
    return path;
}

int usage_error(CLI::App& app, const CLI::ParseError& error) {
    const std::string command = command_path(app);
    const std::string where =
        command.size() > PROGRAM.size() ? command.substr(PROGRAM.size() + 1) + ": " : std::string();
    // A misspelt command is left over when no command was found.
    const std::vector<std::string> left = app.remaining();
    const std::string what = dynamic_cast<const CLI::RequiredError*>(&error) != nullptr &&
                                     !left.empty() && !left.front().starts_with('-')
                                 ? "unknown command " + left.front()
                                 : std::string(error.what());
    std::fflush(stdout);
    std::fprintf(stderr, "%.*s: %s%s (see '%s --help')\n", static_cast<int>(PROGRAM.size()),
                 PROGRAM.data(), where.c_str(), what.c_str(), command.c_str());
    return EXIT_USAGE;
}

// Help ends with a line break after the footer too.
void footer(CLI::App* command, const std::string& text) {
    command->footer(text + "\n");
}

CLI::Option* add_input(CLI::App* command, const std::string& name, std::string& path,
                       const std::string& what) {
    return command->add_option(name, path, what)->required()->type_name("");
}

CLI::Option* add_output(CLI::App* command, std::string& path, const std::string& what) {
    return command->add_option("-o,--output", path, what)->type_name("FILE");
}

int run(int argc, char** argv) {
    CLI::App app{std::string(DESCRIPTION), std::string(PROGRAM)};
    app.set_version_flag("--version", version_text(), "Print the version and exit");
    app.require_subcommand(1);
    app.fallthrough();
    app.get_formatter()->column_width(34);

    std::string log_level = "off";
    app.add_option("--log-level", log_level,
                   "Print the library's events at this level and above on standard error")
        ->check(CLI::IsMember(
            std::vector<std::string>(std::begin(LOG_LEVEL_NAMES), std::end(LOG_LEVEL_NAMES))))
        ->capture_default_str()
        ->type_name("LEVEL");

    InspectOptions inspect_options;
    CLI::App* inspect = app.add_subcommand("inspect", "Show what a package holds");
    add_input(inspect, "PACKAGE", inspect_options.package, "The package to read");
    inspect->add_flag("--json", inspect_options.json,
                      "The same facts as JSON (segment bytes left out)");
    footer(inspect,
           "Shows the compiler version, the tiles (addresses, segments, load base, image size),\n"
           "the input, output and weight bindings, the host exchange (pages, attach order,\n"
           "command word, calls with their slices and batches), the entry points and the\n"
           "device configuration writes.\n"
           "Example: vexa-package inspect app.vxpkg");

    std::vector<std::string> validate_paths;
    CLI::App* validate =
        app.add_subcommand("validate", "Check packages: one line per file, ok or the error");
    validate->add_option("PACKAGE", validate_paths, "The packages to check")
        ->required()
        ->type_name("");
    footer(validate, "Exit status 1 if any package fails.\nExample: vexa-package validate *.vxpkg");

    DumpOptions dump_options;
    CLI::App* dump = app.add_subcommand("dump", "Write a package as lossless JSON");
    add_input(dump, "PACKAGE", dump_options.input, "The package to read");
    add_output(dump, dump_options.output, "Where to write the JSON")->capture_default_str();
    dump->add_flag("--hex", dump_options.hex, "Segment data as {\"hex\": \"...\"}, not base64");
    dump->add_flag("--compact", dump_options.compact, "Everything on one line");
    footer(dump, std::string(JSON_FORM) + "\nExample: vexa-package dump app.vxpkg -o app.json");

    PackOptions pack_options;
    CLI::App* pack = app.add_subcommand("pack", "Write the package a JSON file describes");
    add_input(pack, "JSON", pack_options.input, "The JSON to read");
    add_output(pack, pack_options.output, "Where to write the package")->required();
    footer(pack, std::string(JSON_FORM) +
                     "\nA package that breaks a rule is refused with the library's message.\n"
                     "pack of dump gives a byte-identical package.\n"
                     "Example: vexa-package pack app.json -o app.vxpkg");

    ImageOptions image_options;
    std::uint32_t image_tile = 0;
    CLI::App* image = app.add_subcommand("image", "Write the rebuilt memory image of a tile");
    add_input(image, "PACKAGE", image_options.package, "The package to read");
    CLI::Option* tile_option =
        image->add_option("--tile", image_tile, "The physical tile")->type_name("N");
    CLI::Option* all_option =
        image->add_flag("--all", image_options.all, "Every tile, as DIR/tile-N.bin");
    tile_option->excludes(all_option);
    add_output(image, image_options.output, "The image file, or with --all the directory")
        ->required()
        ->type_name("FILE|DIR");
    footer(image,
           "Writes raw bytes and prints the load base and the length. The image starts at the\n"
           "tile's load base, its lowest segment address; bytes no segment data covers are zero.\n"
           "Examples: vexa-package image app.vxpkg --tile 3 -o tile3.bin\n"
           "          vexa-package image app.vxpkg --all -o images/");
    image->callback([&] {
        if (tile_option->count() == 0 && !image_options.all) {
            throw CLI::RequiredError("--tile or --all");
        }
    });

    CLI::App* profile =
        app.add_subcommand("profile", "Summarise, draw and convert profile reports");
    profile->require_subcommand(1);

    SummaryOptions summary_options;
    CLI::App* summary =
        profile->add_subcommand("summary", "Where the cycles went, by tile, kind and kernel");
    add_input(summary, "REPORT", summary_options.report, "The profile report to read");
    summary->add_flag("--json", summary_options.json, "The same figures as JSON");
    summary->add_option("--top", summary_options.top, "How many kernels and operations to list")
        ->check(CLI::Range(std::size_t{1}, std::size_t{1000000}))
        ->capture_default_str()
        ->type_name("N");
    footer(summary,
           "Shows the clock, tiles, samples and covered time; per tile the share of cycles by\n"
           "kind (exchange, compute, synchronization, idle); and the kernels and operations\n"
           "that took the most cycles.\n" +
               std::string(UNWRAPPING) + "\nExample: vexa-package profile summary run.vxprof");

    TraceOptions trace_options;
    CLI::App* trace = profile->add_subcommand(
        "trace", "Write a trace for Perfetto (ui.perfetto.dev): protobuf or Chrome JSON");
    add_input(trace, "REPORT", trace_options.report, "The profile report to read");
    add_output(trace, trace_options.output, "Where to write the trace")->required();
    trace
        ->add_option("--format", trace_options.format,
                     "perfetto or json; by default perfetto for a FILE ending in .pftrace or\n"
                     ".perfetto-trace, json for any other FILE and for standard output")
        ->check(CLI::IsMember({"perfetto", "json"}))
        ->type_name("FORMAT");
    footer(trace,
           "One track per physical tile, in tile order; one slice per sample, named by its kernel\n"
           "(or operation), with its kind as category and operation, local index, phase, epoch\n"
           "and metadata as arguments (JSON adds the cycles). Times are whole nanoseconds,\n"
           "floor(cycles * 1e9 / clock_hz) exactly; with clock_hz 0 one cycle is shown as one\n"
           "nanosecond. Perfetto's protobuf format is several times smaller than JSON and loads\n"
           "far larger runs; open either with \"Open trace file\" at ui.perfetto.dev (JSON also\n"
           "in chrome://tracing).\n" +
               std::string(UNWRAPPING) +
               "\nExamples: vexa-package profile trace run.vxprof -o run.pftrace\n"
               "          vexa-package profile trace run.vxprof -o trace.json");

    SvgOptions svg_options;
    CLI::App* svg = profile->add_subcommand("svg", "Draw the run as an SVG timeline");
    add_input(svg, "REPORT", svg_options.report, "The profile report to read");
    add_output(svg, svg_options.output, "Where to write the SVG")->required();
    svg->add_option("--width", svg_options.width, "Picture width in pixels")
        ->check(CLI::Range(400u, 20000u))
        ->capture_default_str()
        ->type_name("PIXELS");
    footer(svg,
           "One row per tile, a bar per sample coloured by kind, a time axis and a legend.\n"
           "Samples narrower than a pixel are merged per pixel column, so the picture stays small\n"
           "for millions of samples; hovering a bar shows its kernel, or what was merged.\n" +
               std::string(UNWRAPPING) +
               "\nExample: vexa-package profile svg run.vxprof -o timeline.svg");

    DumpOptions profile_dump_options;
    CLI::App* profile_dump =
        profile->add_subcommand("dump", "Write a profile report as lossless JSON");
    add_input(profile_dump, "REPORT", profile_dump_options.input, "The profile report to read");
    add_output(profile_dump, profile_dump_options.output, "Where to write the JSON")
        ->capture_default_str();
    profile_dump->add_flag("--compact", profile_dump_options.compact, "Everything on one line");
    footer(
        profile_dump,
        "Fields under their model names (clock_hz, tiles, physical_tile, samples, step,\n"
        "local_index, phase, epoch, operation, kind, kernel, metadata, start_cycle, end_cycle);\n"
        "kind is Exchange, Compute, Synchronization or Idle.\n"
        "Example: vexa-package profile dump run.vxprof -o run.json");

    PackOptions profile_pack_options;
    CLI::App* profile_pack =
        profile->add_subcommand("pack", "Write the profile report a JSON file describes");
    add_input(profile_pack, "JSON", profile_pack_options.input, "The JSON to read");
    add_output(profile_pack, profile_pack_options.output, "Where to write the report")->required();
    footer(profile_pack,
           "Every field is required and no other is allowed; pack of dump gives a byte-identical\n"
           "report.\nExample: vexa-package profile pack run.json -o run.vxprof");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
            return app.exit(error);
        }
        return usage_error(app, error);
    }

    std::optional<StderrEventSink> sink;
    if (const auto threshold = log_threshold(log_level)) {
        sink.emplace(*threshold);
    }
    if (tile_option->count() != 0) {
        image_options.tile = image_tile;
    }

    int status = EXIT_OK;
    if (inspect->parsed()) {
        status = run_inspect(inspect_options);
    } else if (validate->parsed()) {
        status = run_validate(validate_paths);
    } else if (dump->parsed()) {
        status = run_dump(dump_options);
    } else if (pack->parsed()) {
        status = run_pack(pack_options);
    } else if (image->parsed()) {
        status = run_image(image_options);
    } else if (summary->parsed()) {
        status = run_profile_summary(summary_options);
    } else if (trace->parsed()) {
        status = run_profile_trace(trace_options);
    } else if (svg->parsed()) {
        status = run_profile_svg(svg_options);
    } else if (profile_dump->parsed()) {
        status = run_profile_dump(profile_dump_options);
    } else if (profile_pack->parsed()) {
        status = run_profile_pack(profile_pack_options);
    }
    if (!standard_output_ok()) {
        return fail("standard output", "write failed");
    }
    return status;
}

}  // namespace
}  // namespace vexa_cli

int main(int argc, char** argv) {
    // Nothing may end the program with a crash report: whatever escapes a command becomes one
    // message and a failing exit status.
    try {
        return vexa_cli::run(argc, argv);
    } catch (const std::bad_alloc&) {
        return vexa_cli::fail("error", "out of memory");
    } catch (const std::exception& error) {
        return vexa_cli::fail("internal error", error.what());
    } catch (...) {
        return vexa_cli::fail("internal error", "unknown exception");
    }
}
