#include <memory>

#include "command.hpp"
#include "command_options.hpp"
#include "commands.hpp"

namespace vexa_cli {
namespace {

struct ImageArguments {
    ImageOptions options;
    std::uint32_t tile = 0;
    CLI::Option* tile_option = nullptr;
};

}  // namespace

CommandAction declare_image(CLI::App& command) {
    auto arguments = std::make_shared<ImageArguments>();
    ImageOptions& options = arguments->options;
    add_input(command, "PACKAGE", options.package, "The package to read");
    arguments->tile_option =
        command.add_option("--tile", arguments->tile, "The physical tile")->type_name("N");
    CLI::Option* all_option =
        command.add_flag("--all", options.all, "Every tile, as DIR/tile-N.bin");
    arguments->tile_option->excludes(all_option);
    add_binary_output(command, options.output, "The image file, or with --all the directory")
        ->type_name("FILE|DIR");
    footer(command,
           "Writes raw bytes and says on standard error the load base and the length. The image\n"
           "starts at the"
           " tile's load base, its lowest segment address; bytes no segment data covers are\n"
           "zero. --all needs -o DIR.\n"
           "Examples: vexa-package image app.vxpkg --tile 3 -o tile3.bin\n"
           "          vexa-package image app.vxpkg --all -o images/");
    command.callback([arguments] {
        if (arguments->tile_option->count() == 0 && !arguments->options.all) {
            throw CLI::RequiredError("--tile or --all");
        }
    });
    return [arguments] {
        if (arguments->tile_option->count() != 0) {
            arguments->options.tile = arguments->tile;
        }
        return run_image(arguments->options);
    };
}

}  // namespace vexa_cli
