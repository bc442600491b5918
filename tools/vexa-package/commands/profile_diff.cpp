#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>

#include "cli/command.hpp"
#include "cli/command_options.hpp"
#include "cli/diagnostics.hpp"
#include "cli/filter_options.hpp"
#include "io/file_io.hpp"
#include "io/loading.hpp"
#include "json/json_text.hpp"
#include "output/csv.hpp"
#include "output/tables.hpp"
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
    [[nodiscard]] std::string delta() const {
        return (now.cycles >= base.cycles ? "+" : "-") + std::to_string(magnitude());
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

std::string ratio_text(const DiffRow& row) {
    const auto ratio = row.ratio();
    if (!ratio) {
        return "-";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", *ratio);
    return text;
}

std::string signed_count(std::uint64_t base, std::uint64_t now) {
    return now >= base ? "+" + std::to_string(now - base) : "-" + std::to_string(base - now);
}

std::string diff_text(const std::vector<DiffRow>& rows, std::size_t hidden) {
    Table table({{"group", Table::Align::Left},
                 {"name", Table::Align::Left},
                 {"base cycles", Table::Align::Right},
                 {"new cycles", Table::Align::Right},
                 {"delta", Table::Align::Right},
                 {"ratio", Table::Align::Right},
                 {"base samples", Table::Align::Right},
                 {"new samples", Table::Align::Right},
                 {"delta samples", Table::Align::Right}});
    for (const DiffRow& row : rows) {
        table.add_row({row.key.first, row.key.second.empty() ? "(none)" : row.key.second,
                       std::to_string(row.base.cycles), std::to_string(row.now.cycles), row.delta(),
                       ratio_text(row), std::to_string(row.base.samples),
                       std::to_string(row.now.samples),
                       signed_count(row.base.samples, row.now.samples)});
    }
    std::string out;
    table.render(out, "");
    if (hidden != 0) {
        out.append("(").append(std::to_string(hidden)).append(" smaller changes hidden)\n");
    }
    return out;
}

std::string diff_csv(const std::vector<DiffRow>& rows) {
    std::string out;
    append_csv_row(
        out, std::vector<std::string>{"group", "name", "base_cycles", "new_cycles", "delta_cycles",
                                      "ratio", "base_samples", "new_samples"});
    for (const DiffRow& row : rows) {
        const auto ratio = row.ratio();
        char ratio_text[32] = "";
        if (ratio) {
            std::snprintf(ratio_text, sizeof ratio_text, "%.17g", *ratio);
        }
        const std::string delta = row.delta();
        append_csv_row(out, std::vector<std::string>{
                                row.key.first, row.key.second, std::to_string(row.base.cycles),
                                std::to_string(row.now.cycles),
                                delta[0] == '+' ? delta.substr(1) : delta, ratio_text,
                                std::to_string(row.base.samples), std::to_string(row.now.samples)});
    }
    return out;
}

JsonOutput diff_json(const std::vector<DiffRow>& rows, std::uint64_t base, std::uint64_t now) {
    JsonOutput list = JsonOutput::array();
    for (const DiffRow& row : rows) {
        const auto ratio = row.ratio();
        // Cycle totals stay far below 2^63, so the difference fits a signed integer.
        const auto delta =
            static_cast<std::int64_t>(row.now.cycles) - static_cast<std::int64_t>(row.base.cycles);
        list.push_back({{"group", row.key.first},
                        {"name", row.key.second},
                        {"base_cycles", row.base.cycles},
                        {"new_cycles", row.now.cycles},
                        {"delta_cycles", delta},
                        {"ratio", ratio ? JsonOutput(*ratio) : JsonOutput(nullptr)},
                        {"base_samples", row.base.samples},
                        {"new_samples", row.now.samples}});
    }
    return {{"base_cycles", base}, {"new_cycles", now}, {"rows", std::move(list)}};
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
        merged[key] = {.key = key, .base = totals};
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
        print(diff_csv(rows));
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
    command
        .add_flag("--csv", options->csv,
                  "The rows as CSV: group,name,base_cycles,new_cycles,delta_cycles,ratio,"
                  "base_samples,new_samples")
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
