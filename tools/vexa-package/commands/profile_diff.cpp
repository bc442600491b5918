#include <algorithm>
#include <map>
#include <memory>

#include "cli/command.hpp"
#include "cli/command_options.hpp"
#include "cli/diagnostics.hpp"
#include "cli/filter_options.hpp"
#include "io/file_io.hpp"
#include "io/loading.hpp"
#include "json/json_text.hpp"
#include "output/table.hpp"
#include "profile/sample_filter.hpp"
#include "profile/timeline_report.hpp"

namespace vexa_cli {
namespace {

struct ProfileDiffOptions {
    std::string base;
    std::string now;
    double threshold = 0;
    bool json = false;
    bool csv = false;
    SampleFilterOptions filter;
};

struct Totals {
    std::uint64_t samples = 0;
    std::uint64_t cycles = 0;
};

// Group ("kernel", "operation", "kind", "tile") and name.
using Key = std::pair<std::string, std::string>;

// Samples and cycles per kernel, operation, kind and tile; only the distinct names are held.
class Aggregates final : public FilteredVisitor {
  public:
    using FilteredVisitor::FilteredVisitor;

    std::map<Key, Totals> totals;
    std::uint64_t cycles = 0;

  private:
    void add(std::string_view group, std::string_view name, std::uint32_t sample_cycles) {
        Totals& entry = totals[Key(group, name)];
        ++entry.samples;
        entry.cycles += sample_cycles;
    }
    void on_sample(const KeptSample& kept) override {
        add("kernel", kept.sample.kernel, kept.cycles);
        add("operation", kept.sample.operation, kept.cycles);
        add("kind", to_string(kept.sample.kind), kept.cycles);
        add("tile", std::to_string(kept.physical_tile), kept.cycles);
        cycles += kept.cycles;
    }
};

struct DiffRow {
    Key key;
    Totals base;
    Totals now;
    [[nodiscard]] std::uint64_t magnitude() const {
        return now.cycles >= base.cycles ? now.cycles - base.cycles : base.cycles - now.cycles;
    }
    [[nodiscard]] std::optional<double> ratio() const {
        if (base.cycles == 0) {
            return std::nullopt;
        }
        return static_cast<double>(now.cycles) / static_cast<double>(base.cycles);
    }
};

std::expected<Aggregates, Failure> aggregate(const std::string& path, SampleFilter& filter) {
    Aggregates aggregates(filter);
    if (const auto visited = visit_profile_file(path, aggregates); !visited) {
        return std::unexpected(visited.error());
    }
    report_timeline(input_name(path), aggregates, false);
    return aggregates;
}

// The rows with the change (new - base) and the ratio new / base, none when base is 0.
Table diff_table(const std::vector<DiffRow>& rows) {
    Table table{.columns = {label_column("group", "group", TextStyle::Plain),
                            {.name = "name",
                             .header = "name",
                             .align = Column::Align::Left,
                             .if_empty = "(none)"},
                            figure_column("base_cycles", "base cycles"),
                            figure_column("new_cycles", "new cycles"),
                            figure_column("delta_cycles", "delta"),
                            {.name = "ratio", .header = "ratio", .decimals = 3},
                            figure_column("base_samples", "base samples"),
                            figure_column("new_samples", "new samples"),
                            text_only(figure_column("delta_samples", "delta samples"))},
                .rows = {}};
    for (const DiffRow& row : rows) {
        const auto ratio = row.ratio();
        table.rows.push_back({row.key.first, row.key.second, row.base.cycles, row.now.cycles,
                              Difference{.from = row.base.cycles, .to = row.now.cycles},
                              ratio ? Cell(*ratio) : Cell(), row.base.samples, row.now.samples,
                              Difference{.from = row.base.samples, .to = row.now.samples}});
    }
    return table;
}

std::string diff_text(const std::vector<DiffRow>& rows, std::size_t hidden) {
    std::string out;
    diff_table(rows).render_text(out, "");
    if (hidden != 0) {
        out.append("(").append(std::to_string(hidden)).append(" smaller changes hidden)\n");
    }
    return out;
}

JsonOutput diff_json(const std::vector<DiffRow>& rows, std::uint64_t base, std::uint64_t now) {
    return {{"base_cycles", base}, {"new_cycles", now}, {"rows", diff_table(rows).json()}};
}

int run_profile_diff(const ProfileDiffOptions& options) {
    // One report is read at a time; only its aggregates are kept.
    SampleFilter base_filter(options.filter);
    const auto base = aggregate(options.base, base_filter);
    if (!base) {
        return fail(base.error());
    }
    SampleFilter new_filter(options.filter);
    const auto now = aggregate(options.now, new_filter);
    if (!now) {
        return fail(now.error());
    }
    std::map<Key, DiffRow> merged;
    for (const auto& [key, totals] : base->totals) {
        merged[key] = {.key = key, .base = totals, .now = {}};
    }
    for (const auto& [key, totals] : now->totals) {
        DiffRow& row = merged[key];
        row.key = key;
        row.now = totals;
    }
    const double floor =
        options.threshold / 100.0 * static_cast<double>(std::max(base->cycles, now->cycles));
    std::vector<DiffRow> rows;
    std::size_t hidden = 0;
    for (const auto& [key, row] : merged) {
        if (static_cast<double>(row.magnitude()) < floor) {
            ++hidden;
        } else {
            rows.push_back(row);
        }
    }
    // Largest change first; equal changes in key order, as the map gave them.
    std::ranges::sort(rows, [](const DiffRow& a, const DiffRow& b) {
        if (a.magnitude() != b.magnitude()) {
            return a.magnitude() > b.magnitude();
        }
        return a.key < b.key;
    });
    if (options.csv) {
        print(diff_table(rows).csv());
    } else if (options.json) {
        print(json_text(diff_json(rows, base->cycles, now->cycles), false));
    } else {
        print(diff_text(rows, hidden));
    }
    return EXIT_OK;
}

}  // namespace

CommandAction declare_profile_diff(CLI::App& command) {
    auto options = std::make_shared<ProfileDiffOptions>();
    add_input(command, "BASE", options->base, "The report to compare against");
    add_input(command, "NEW", options->now, "The report to compare");
    command
        .add_option("--threshold", options->threshold,
                    "Hide changes smaller than PERCENT of the larger report's cycles")
        ->check(CLI::Range(0.0, 100.0))
        ->capture_default_str()
        ->type_name("PERCENT");
    CLI::Option* json = command.add_flag("--json", options->json, "The rows as JSON");
    command.add_flag("--csv", options->csv, "The rows as CSV: " + diff_table({}).csv_names())
        ->excludes(json);
    add_filter_options(command, options->filter);
    footer(command,
           "Cycles and samples per kernel, operation, kind and tile in both reports, with the\n"
           "change (new - base) and the ratio new / base ('-' or empty when base is 0), the\n"
           "largest absolute change first; ties keep group and name order. The filters apply\n"
           "to both reports alike.\n" +
               std::string(FILTER_HELP) +
               "\nExample: vexa-package profile diff before.vxprof after.vxprof --threshold 1");
    return [options] { return run_profile_diff(*options); };
}

}  // namespace vexa_cli
