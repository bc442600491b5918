#include <limits>
#include <memory>

#include "cli/command.hpp"
#include "cli/command_options.hpp"
#include "cli/diagnostics.hpp"
#include "io/file_io.hpp"
#include "io/loading.hpp"
#include "json/json_text.hpp"
#include "output/text_format.hpp"
#include "package/package_diff.hpp"

namespace vexa_cli {
namespace {

// Like cmp and diff: 0 equal, 1 different, 2 trouble.
constexpr int EXIT_DIFFERENT = 1;
constexpr int EXIT_TROUBLE = 2;

struct DiffOptions {
    std::string old_package;
    std::string new_package;
    bool json = false;
};

std::string_view kind_name(PackageChange::Kind kind) {
    switch (kind) {
        case PackageChange::Kind::Added:
            return "added";
        case PackageChange::Kind::Removed:
            return "removed";
        case PackageChange::Kind::Changed:
            break;
    }
    return "changed";
}

// New minus old as "+16" or "-16"; both are unsigned 64-bit, so the sign is kept apart.
std::string delta_text(const PackageChange& change) {
    const auto old_value = change.old_value.get<std::uint64_t>();
    const auto new_value = change.new_value.get<std::uint64_t>();
    return new_value >= old_value ? "+" + std::to_string(new_value - old_value)
                                  : "-" + std::to_string(old_value - new_value);
}

// A number when it fits a signed 64-bit integer, else the text.
JsonOutput delta_json(const PackageChange& change) {
    const auto old_value = change.old_value.get<std::uint64_t>();
    const auto new_value = change.new_value.get<std::uint64_t>();
    constexpr auto LARGEST = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    const std::uint64_t magnitude =
        new_value >= old_value ? new_value - old_value : old_value - new_value;
    if (magnitude > LARGEST) {
        return delta_text(change);
    }
    const auto value = static_cast<std::int64_t>(magnitude);
    return new_value >= old_value ? value : -value;
}

std::string value_text(const PackageChange& change, const JsonOutput& value) {
    return change.hex ? hex_number(value.get<std::uint64_t>()) : value.dump();
}

std::string diff_text(const std::vector<PackageChange>& changes) {
    std::string out;
    for (const PackageChange& change : changes) {
        out.append(change.where.empty() ? "package" : change.where).append(": ");
        if (change.kind != PackageChange::Kind::Changed) {
            out.append(kind_name(change.kind)).append("\n");
            continue;
        }
        out.append(change.field).append(" ").append(value_text(change, change.old_value));
        out.append(" -> ").append(value_text(change, change.new_value));
        if (change.has_delta) {
            out.append(" (").append(delta_text(change)).append(")");
        }
        out.append("\n");
    }
    return out;
}

JsonOutput diff_json(const std::vector<PackageChange>& changes) {
    JsonOutput list = JsonOutput::array();
    for (const PackageChange& change : changes) {
        JsonOutput entry{{"where", change.where}, {"change", kind_name(change.kind)}};
        if (change.kind == PackageChange::Kind::Changed) {
            entry["field"] = change.field;
            entry["old"] = change.old_value;
            entry["new"] = change.new_value;
            if (change.has_delta) {
                entry["delta"] = delta_json(change);
            }
        }
        list.push_back(std::move(entry));
    }
    return {{"equal", changes.empty()}, {"changes", std::move(list)}};
}

int run_diff(const DiffOptions& options) {
    const auto old_package = load_application(options.old_package);
    if (!old_package) {
        fail(old_package.error());
        return EXIT_TROUBLE;
    }
    const auto new_package = load_application(options.new_package);
    if (!new_package) {
        fail(new_package.error());
        return EXIT_TROUBLE;
    }
    const std::vector<PackageChange> changes = package_diff(*old_package, *new_package);
    print(options.json ? json_text(diff_json(changes), false) : diff_text(changes));
    return changes.empty() ? EXIT_OK : EXIT_DIFFERENT;
}

}  // namespace

CommandAction declare_diff(CLI::App& command) {
    auto options = std::make_shared<DiffOptions>();
    add_input(command, "OLD", options->old_package, "The package before");
    add_input(command, "NEW", options->new_package, "The package after");
    command.add_flag("--json", options->json, "The changes as JSON");
    footer(command,
           "One line per change, old value -> new value, with new - old for sizes and counts.\n"
           "Tiles are matched by physical tile, segments by address (their content by a 64-bit\n"
           "FNV-1a hash of the data, not by where it sits in the file), bindings by list and\n"
           "name, host pages by index, host calls and entry points by name, configuration\n"
           "writes by offset; a key given twice is matched occurrence by occurrence.\n"
           "Exit status 0 when the packages are equal, 1 when they differ, 2 on an error.\n"
           "Example: vexa-package diff old.vxpkg new.vxpkg");
    return [options] { return run_diff(*options); };
}

}  // namespace vexa_cli
