#include <memory>

#include "cli/command.hpp"
#include "cli/command_options.hpp"
#include "cli/diagnostics.hpp"
#include "io/file_io.hpp"
#include "io/loading.hpp"
#include "json/json_text.hpp"
#include "output/table.hpp"
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

// Columns of a change; those past `change` are empty for added and removed records.
enum ChangeColumn : std::size_t { WHERE, CHANGE, FIELD, OLD, NEW, DELTA };

// An address or a word is an integer shown in hexadecimal; any other value as its JSON.
Cell value_cell(const PackageChange& change, const JsonOutput& value) {
    return change.hex ? Cell(value.get<std::uint64_t>()) : Cell(value);
}

Table changes_table(const std::vector<PackageChange>& changes) {
    const auto optional = [](Column column) {
        column.omit_empty = true;
        return column;
    };
    Table table{.columns = {{.name = "where",
                             .header = "where",
                             .align = Column::Align::Left,
                             .if_empty = "package"},
                            label_column("change", "change", TextStyle::Plain),
                            optional(label_column("field", "field", TextStyle::Plain)),
                            optional(figure_column("old", "old", TextStyle::Hex)),
                            optional(figure_column("new", "new", TextStyle::Hex)),
                            optional(figure_column("delta", "delta"))},
                .rows = {}};
    for (const PackageChange& change : changes) {
        Table::Row& row = table.rows.emplace_back(Table::Row{
            change.where, std::string(kind_name(change.kind)), Cell(), Cell(), Cell(), Cell()});
        if (change.kind == PackageChange::Kind::Changed) {
            row[FIELD] = change.field;
            row[OLD] = value_cell(change, change.old_value);
            row[NEW] = value_cell(change, change.new_value);
            if (change.has_delta) {
                row[DELTA] = Difference{.from = change.old_value.get<std::uint64_t>(),
                                        .to = change.new_value.get<std::uint64_t>()};
            }
        }
    }
    return table;
}

// One line per change: "where: added", or "where: field old -> new (delta)".
std::string diff_text(const Table& table) {
    std::string out;
    for (const Table::Row& row : table.rows) {
        const auto text = [&](ChangeColumn column) {
            return cell_text(table.columns[column], row[column]);
        };
        out.append(text(WHERE)).append(": ");
        if (std::holds_alternative<std::monostate>(row[FIELD])) {
            out.append(text(CHANGE)).append("\n");
            continue;
        }
        out.append(text(FIELD)).append(" ").append(text(OLD));
        out.append(" -> ").append(text(NEW));
        if (!std::holds_alternative<std::monostate>(row[DELTA])) {
            out.append(" (").append(text(DELTA)).append(")");
        }
        out.append("\n");
    }
    return out;
}

JsonOutput diff_json(const Table& table) {
    return {{"equal", table.rows.empty()}, {"changes", table.json()}};
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
    const Table table = changes_table(changes);
    print(options.json ? json_text(diff_json(table), false) : diff_text(table));
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
