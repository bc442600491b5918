#include <algorithm>
#include <filesystem>
#include <memory>

#include "cli/command.hpp"
#include "cli/command_options.hpp"
#include "cli/diagnostics.hpp"
#include "io/file_io.hpp"
#include "io/loading.hpp"
#include "output/text_format.hpp"
#include "package/package_facts.hpp"

namespace vexa_cli {
namespace {

struct ImageOptions {
    std::string package;
    std::optional<std::uint32_t> tile;
    bool all = false;
    std::string output;
};

struct ImageArguments {
    ImageOptions options;
    std::uint32_t tile = 0;
    CLI::Option* tile_option = nullptr;
};

using vexa_package::Application;
using vexa_package::Bytes;

struct TileFile {
    std::uint32_t physical_tile = 0;
    std::uint32_t load_base = 0;
    Bytes image;
    std::string path;
};

std::string image_line(const TileFile& file) {
    return "tile " + std::to_string(file.physical_tile) + ": load base " +
           hex_number(file.load_base) + ", " + std::to_string(file.image.size()) + " bytes, " +
           output_name(file.path);
}

std::expected<TileFile, Failure> rebuild(const Application& application, std::uint32_t tile,
                                         const std::string& package, std::string path) {
    auto image = application.tile_image(tile);
    if (!image) {
        return std::unexpected(Failure{input_name(package), to_string(image.error())});
    }
    const auto found =
        std::ranges::find(application.tiles, tile, &vexa_package::TileImage::physical_tile);
    return TileFile{.physical_tile = tile,
                    .load_base = tile_facts(*found).load_base.value_or(0),
                    .image = std::move(*image),
                    .path = std::move(path)};
}

int write_one(const Application& application, const ImageOptions& options) {
    const auto file = rebuild(application, *options.tile, options.package, options.output);
    if (!file) {
        return fail(file.error());
    }
    if (const auto stored =
            store(file->path, file->image, {.inputs = {options.package}, .binary = true});
        !stored) {
        return fail(stored.error());
    }
    status(image_line(*file));
    return EXIT_OK;
}

int write_all(const Application& application, const ImageOptions& options) {
    if (options.output.empty() || options.output == STANDARD_STREAM) {
        return fail(Failure{.subject = output_name(options.output),
                            .what = "--all writes one file per tile into a directory; give -o DIR",
                            .usage = true});
    }
    // Every image is rebuilt before the first file is written, so a failure leaves no
    // half-filled directory behind.
    std::vector<TileFile> files;
    std::vector<std::uint32_t> skipped;
    for (const vexa_package::TileImage& tile : application.tiles) {
        if (tile.segments.empty()) {
            skipped.push_back(tile.physical_tile);
            continue;
        }
        const std::string name = "tile-" + std::to_string(tile.physical_tile) + ".bin";
        auto file = rebuild(application, tile.physical_tile, options.package,
                            (std::filesystem::path(options.output) / name).string());
        if (!file) {
            return fail(file.error());
        }
        files.push_back(std::move(*file));
    }
    // No image may land on the package: every name is checked before the first is written.
    const OutputRules rules{.inputs = {options.package}, .binary = true};
    for (const TileFile& file : files) {
        if (const auto allowed = check_output(file.path, rules); !allowed) {
            return fail(output_failure(file.path, allowed.error()));
        }
    }
    if (const auto made = make_directory(options.output); !made) {
        return fail(output_name(options.output), made.error());
    }
    for (const TileFile& file : files) {
        if (const auto stored = store(file.path, file.image, rules); !stored) {
            return fail(stored.error());
        }
        status(image_line(file));
    }
    for (const std::uint32_t tile : skipped) {
        status("tile " + std::to_string(tile) + ": no loadable segments, no file written");
    }
    return EXIT_OK;
}

int run_image(const ImageOptions& options) {
    const auto application = load_application(options.package);
    if (!application) {
        return fail(application.error());
    }
    return options.all ? write_all(*application, options) : write_one(*application, options);
}

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
