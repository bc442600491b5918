#include <memory>

#include "cli/command.hpp"
#include "cli/command_options.hpp"
#include "cli/diagnostics.hpp"
#include "io/file_io.hpp"
#include "io/loading.hpp"
#include "json/json_text.hpp"
#include "output/table.hpp"
#include "output/text_format.hpp"
#include "package/package_size.hpp"

namespace vexa_cli {
namespace {

struct SizeOptions {
    std::string package;
    SizeBy by = SizeBy::Tile;
    std::size_t limit = 0;
    bool csv = false;
    bool json = false;
};

SizeBy size_by(std::string_view name) {
    return name == "segment" ? SizeBy::Segment : name == "binding" ? SizeBy::Binding : SizeBy::Tile;
}

std::string bytes_text(std::uint64_t bytes, std::uint64_t whole) {
    return std::to_string(bytes) + " bytes (" + percent(bytes, whole) + ")";
}

std::string size_text(const PackageSize& size, std::string_view name, std::string_view by) {
    std::string out;
    const Table facts = fact_list({
        {"package", std::string(name)},
        {"file", std::to_string(size.file_bytes) + " bytes"},
        {"segment data", bytes_text(size.payload_bytes, size.file_bytes)},
        {"overhead", bytes_text(size.overhead_bytes, size.file_bytes) +
                         " (framing, header, names and records)"},
        {"tile memory", std::to_string(size.memory_bytes) + " bytes in segments"},
    });
    facts.render_text(out, "", false);
    out.append("\nsegments by flags\n");
    size.flags.render_text(out, "  ");
    out.append("\nbindings\n");
    size.binding_lists.render_text(out, "  ");
    out.append("\nhost exchange\n");
    size.host_exchange.render_text(out, "  ");
    out.append("\nby ").append(by);
    if (size.rows.rows.size() < size.row_count) {
        out.append(" (largest ").append(std::to_string(size.rows.rows.size()));
        out.append(" of ").append(std::to_string(size.row_count)).append(")");
    }
    out.append("\n");
    size.rows.render_text(out, "  ");
    return out;
}

JsonOutput size_json(const PackageSize& size, std::string_view by) {
    return {{"file_bytes", size.file_bytes},
            {"payload_bytes", size.payload_bytes},
            {"overhead_bytes", size.overhead_bytes},
            {"memory_bytes", size.memory_bytes},
            {"flags", size.flags.json()},
            {"binding_lists", size.binding_lists.json()},
            {"host_exchange", size.host_exchange.json().front()},
            {"by", by},
            {"row_count", size.row_count},
            {"rows", size.rows.json()}};
}

int run_size(const SizeOptions& options, std::string_view by) {
    const auto file = load_package_file(options.package);
    if (!file) {
        return fail(file.error());
    }
    const PackageSize size =
        package_size(file->application, file->file_bytes, options.by, options.limit);
    if (options.csv) {
        print(size.rows.csv());
    } else if (options.json) {
        print(json_text(size_json(size, by), false));
    } else {
        print(size_text(size, input_name(options.package), by));
    }
    return EXIT_OK;
}

}  // namespace

CommandAction declare_size(CLI::App& command) {
    auto options = std::make_shared<SizeOptions>();
    auto by = std::make_shared<std::string>("tile");
    add_input(command, "PACKAGE", options->package, "The package to read");
    command.add_option("--by", *by, "The rows to list")
        ->check(CLI::IsMember({"tile", "segment", "binding"}))
        ->capture_default_str()
        ->type_name("tile|segment|binding");
    command.add_option("-n", options->limit, "List at most N rows, the largest (0: all)")
        ->capture_default_str()
        ->type_name("N");
    CLI::Option* csv = command.add_flag("--csv", options->csv, "The rows as CSV, raw integers");
    command.add_flag("--json", options->json, "Everything as JSON, raw integers")->excludes(csv);
    footer(command,
           "Shows the file size split into segment data and the package's own overhead, the\n"
           "segments grouped by their flags word, the input, output and weight bindings (slices\n"
           "and bytes placed in tile memory) and the host exchange, then one row per tile,\n"
           "segment or binding, the largest first (by data bytes, or binding bytes).\n"
           "CSV columns, in this order:\n"
           "  --by tile     " +
               size_csv_columns(SizeBy::Tile) + "\n  --by segment  " +
               size_csv_columns(SizeBy::Segment) + "\n  --by binding  " +
               size_csv_columns(SizeBy::Binding) +
               "\nExample: vexa-package size app.vxpkg --by segment -n 10");
    return [options, by] {
        options->by = size_by(*by);
        return run_size(*options, *by);
    };
}

}  // namespace vexa_cli
