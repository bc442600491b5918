#include <algorithm>
#include <memory>

#include "cli/command.hpp"
#include "cli/command_options.hpp"
#include "cli/diagnostics.hpp"
#include "cli/filter_options.hpp"
#include "io/file_io.hpp"
#include "io/loading.hpp"
#include "json/json_text.hpp"
#include "output/table.hpp"
#include "output/text_format.hpp"
#include "profile/profile_statistics.hpp"
#include "profile/timeline_report.hpp"

namespace vexa_cli {
namespace {

struct SummaryOptions {
    std::string report;
    bool json = false;
    bool csv = false;
    std::size_t top = 10;
    SampleFilterOptions filter;
};

std::string time_text(std::uint64_t cycles, std::uint64_t clock_hz) {
    const auto seconds = cycles_to_seconds(cycles, clock_hz);
    return seconds ? seconds_text(*seconds) : "-";
}

std::string clock_text(std::uint64_t clock_hz) {
    if (clock_hz == 0) {
        return "0 Hz (unknown: times are not shown)";
    }
    return frequency_text(clock_hz) + " (" + std::to_string(clock_hz) + " Hz)";
}

// Busy cycles over the covered time of the report, so tiles compare on one timeline.
std::optional<double> busy_fraction(const TileStatistics& tile, std::uint64_t covered) {
    if (covered == 0) {
        return std::nullopt;
    }
    return static_cast<double>(tile.busy_cycles()) / static_cast<double>(covered);
}

Cell optional_cell(const std::optional<std::uint64_t>& value) {
    return value ? Cell(*value) : Cell();
}

Cell seconds_cell(std::uint64_t cycles, std::uint64_t clock_hz) {
    const auto seconds = cycles_to_seconds(cycles, clock_hz);
    return seconds ? Cell(*seconds) : Cell();
}

JsonOutput kinds_json(const std::array<std::uint64_t, 4>& cycles) {
    JsonOutput kinds = JsonOutput::object();
    for (const auto kind : STEP_KINDS) {
        kinds[std::string(to_string(kind))] = cycles[kind_index(kind)];
    }
    return kinds;
}

// Text shows each kind's share of the cycles, JSON the cycles by kind.
Table tiles_table(const ProfileStatistics& statistics) {
    Table table{.columns = {figure_column("physical_tile", "tile"),
                            figure_column("samples", "samples"), figure_column("cycles", "cycles"),
                            json_only("first_start"), json_only("last_end"),
                            figure_column("span_cycles", "span cycles"), json_only("span_seconds")},
                .rows = {}};
    for (const auto kind : STEP_KINDS) {
        const std::string name(to_string(kind));
        table.columns.push_back(text_only(figure_column(name, name)));
    }
    table.columns.push_back(json_only("cycles_by_kind"));
    table.columns.push_back(figure_column("busy_cycles", "busy"));
    table.columns.push_back(json_only("busy_fraction"));
    const auto add_shares = [](Table::Row& row, const std::array<std::uint64_t, 4>& cycles,
                               std::uint64_t total) {
        for (const std::uint64_t kind_cycles : cycles) {
            row.emplace_back(Share{.part = kind_cycles, .whole = total});
        }
    };
    for (const TileStatistics& tile : statistics.tiles) {
        const auto busy = busy_fraction(tile, statistics.covered);
        Table::Row row{std::uint64_t{tile.physical_tile},
                       tile.samples,
                       tile.cycles,
                       optional_cell(tile.first_start),
                       tile.first_start ? Cell(tile.last_end) : Cell(),
                       tile.span(),
                       seconds_cell(tile.span(), statistics.clock_hz)};
        add_shares(row, tile.kind_cycles, tile.cycles);
        row.emplace_back(kinds_json(tile.kind_cycles));
        row.emplace_back(Share{.part = tile.busy_cycles(), .whole = statistics.covered});
        row.push_back(busy ? Cell(*busy) : Cell());
        table.rows.push_back(std::move(row));
    }
    Table::Row all{std::string("all"),
                   statistics.samples,
                   statistics.cycles,
                   Cell(),
                   Cell(),
                   statistics.covered,
                   Cell()};
    add_shares(all, statistics.kind_cycles, statistics.cycles);
    all.insert(all.end(), {Cell(), Cell(std::string()), Cell()});
    table.totals.push_back(std::move(all));
    return table;
}

// `group` names the rows in CSV, where kernels and operations share one table, and heads the
// name column in text.
Table ranking_table(const std::string& group, const std::vector<DurationStatistics>& entries,
                    const ProfileStatistics& statistics, std::size_t shown) {
    Table table{.columns = {{.name = "group", .header = "", .in_text = false, .in_json = false},
                            {.name = "name",
                             .header = group,
                             .align = Column::Align::Left,
                             .style = TextStyle::Escaped,
                             .if_empty = "(none)"},
                            figure_column("samples", "samples"),
                            figure_column("cycles", "cycles"),
                            text_only(figure_column("share", "share")),
                            {.name = "seconds",
                             .header = "time",
                             .style = TextStyle::Seconds,
                             .in_csv = false},
                            {.name = "mean", .header = "mean", .decimals = 1},
                            figure_column("min", "min"),
                            figure_column("p50", "p50"),
                            figure_column("p90", "p90"),
                            figure_column("p99", "p99"),
                            figure_column("max", "max")},
                .rows = {}};
    for (std::size_t i = 0; i < shown; ++i) {
        const DurationStatistics& entry = entries[i];
        table.rows.push_back({group, entry.name, entry.samples, entry.cycles,
                              Share{.part = entry.cycles, .whole = statistics.cycles},
                              seconds_cell(entry.cycles, statistics.clock_hz), entry.mean(),
                              std::uint64_t{entry.min}, std::uint64_t{entry.p50},
                              std::uint64_t{entry.p90}, std::uint64_t{entry.p99},
                              std::uint64_t{entry.max}});
    }
    return table;
}

std::size_t shown(const std::vector<DurationStatistics>& entries, std::size_t top) {
    return top == 0 ? entries.size() : std::min(top, entries.size());
}

void ranking_section(std::string& out, const std::string& what,
                     const std::vector<DurationStatistics>& entries,
                     const ProfileStatistics& statistics, std::size_t top) {
    const std::size_t count = shown(entries, top);
    out.append("\n").append(what).append("s with the most cycles");
    if (entries.size() > count) {
        out.append(" (top ").append(std::to_string(count)).append(" of ");
        out.append(std::to_string(entries.size())).append(")");
    }
    out.append("\n");
    ranking_table(what, entries, statistics, count).render_text(out, "  ");
}

std::string summary_text(const ProfileStatistics& statistics, std::string_view name,
                         std::size_t top) {
    std::vector<std::pair<std::string, std::string>> facts{
        {"report", std::string(name)},
        {"clock", clock_text(statistics.clock_hz)},
        {"tiles", std::to_string(statistics.tiles.size())},
        {"samples", std::to_string(statistics.samples)}};
    if (statistics.span) {
        facts.emplace_back("start", "cycle " + std::to_string(statistics.span->first_start) +
                                        " on the device timeline");
    }
    std::string covered = std::to_string(statistics.covered) + " cycles";
    if (statistics.clock_hz != 0) {
        covered += ", " + time_text(statistics.covered, statistics.clock_hz);
    }
    facts.emplace_back("covered", covered + " (earliest start to latest end)");
    facts.emplace_back("busy", std::to_string(statistics.cycles) + " cycles in samples");
    std::string out;
    fact_list(std::move(facts)).render_text(out, "", false);
    out.append(
        "\nshare of cycles by kind, per tile; busy: cycles not Idle over the covered time\n");
    tiles_table(statistics).render_text(out, "  ");
    ranking_section(out, "kernel", statistics.kernels, statistics, top);
    ranking_section(out, "operation", statistics.operations, statistics, top);
    return out;
}

JsonOutput seconds_json(std::uint64_t cycles, std::uint64_t clock_hz) {
    const auto seconds = cycles_to_seconds(cycles, clock_hz);
    return seconds ? JsonOutput(*seconds) : JsonOutput(nullptr);
}

JsonOutput optional_json(const std::optional<std::uint64_t>& value) {
    return value ? JsonOutput(*value) : JsonOutput(nullptr);
}

JsonOutput anomaly_json(const vexa_package::TimelineAnomaly& anomaly) {
    JsonOutput out{{"count", anomaly.count}};
    if (anomaly.count != 0) {
        out["physical_tile"] = anomaly.physical_tile;
        out["tile_index"] = anomaly.tile_index;
        out["sample_index"] = anomaly.sample_index;
    }
    return out;
}

JsonOutput summary_json(const ProfileStatistics& statistics, std::size_t top) {
    const auto ranking = [&](const std::string& group,
                             const std::vector<DurationStatistics>& entries) {
        return ranking_table(group, entries, statistics, shown(entries, top)).json();
    };
    return {
        {"clock_hz", statistics.clock_hz},
        {"tile_count", statistics.tiles.size()},
        {"sample_count", statistics.samples},
        {"cycles", statistics.cycles},
        {"cycles_by_kind", kinds_json(statistics.kind_cycles)},
        {"first_start", optional_json(statistics.span ? std::optional(statistics.span->first_start)
                                                      : std::nullopt)},
        {"last_end",
         optional_json(statistics.span ? std::optional(statistics.span->last_end) : std::nullopt)},
        {"covered_cycles", statistics.covered},
        {"covered_seconds", seconds_json(statistics.covered, statistics.clock_hz)},
        {"timeline_anomalies",
         {{"backwards", anomaly_json(statistics.anomalies.backwards)},
          {"ambiguous", anomaly_json(statistics.anomalies.ambiguous)},
          {"out_of_range", anomaly_json(statistics.anomalies.out_of_range)}}},
        {"tiles", tiles_table(statistics).json()},
        {"kernel_count", statistics.kernels.size()},
        {"kernels", ranking("kernel", statistics.kernels)},
        {"operation_count", statistics.operations.size()},
        {"operations", ranking("operation", statistics.operations)}};
}

// Kernels and operations in one table, told apart by the group column.
std::string summary_csv(const ProfileStatistics& statistics, std::size_t top) {
    Table table =
        ranking_table("kernel", statistics.kernels, statistics, shown(statistics.kernels, top));
    Table operations = ranking_table("operation", statistics.operations, statistics,
                                     shown(statistics.operations, top));
    std::ranges::move(operations.rows, std::back_inserter(table.rows));
    return table.csv();
}

int run_profile_summary(const SummaryOptions& options) {
    SampleFilter filter(options.filter);
    StatisticsCollector collector(filter);
    if (const auto visited = visit_profile_file(options.report, collector); !visited) {
        return fail(visited.error());
    }
    report_timeline(input_name(options.report), collector, true);
    const ProfileStatistics statistics = collector.finish();
    if (options.csv) {
        print(summary_csv(statistics, options.top));
    } else if (options.json) {
        print(json_text(summary_json(statistics, options.top), false));
    } else {
        print(summary_text(statistics, input_name(options.report), options.top));
    }
    return EXIT_OK;
}

}  // namespace

CommandAction declare_profile_summary(CLI::App& command) {
    auto options = std::make_shared<SummaryOptions>();
    add_input(command, "REPORT", options->report, "The profile report to read");
    CLI::Option* json = command.add_flag("--json", options->json, "The same figures as JSON");
    command
        .add_flag("--csv", options->csv,
                  "The kernel and operation figures as CSV: " +
                      ranking_table("kernel", {}, ProfileStatistics{}, 0).csv_names())
        ->excludes(json);
    command.add_option("--top", options->top, "How many kernels and operations to list (0: all)")
        ->check(CLI::Range(std::size_t{0}, std::size_t{1000000}))
        ->capture_default_str()
        ->type_name("N");
    add_filter_options(command, options->filter);
    footer(command,
           "Shows the clock, tiles, samples and covered time; per tile the share of cycles by\n"
           "kind (exchange, compute, synchronization, idle) and the busy fraction (cycles not\n"
           "Idle over the covered time); and for the kernels and operations that took the most\n"
           "cycles the samples, cycles, mean, min, p50, p90, p99 and max cycles per sample.\n"
           "Percentiles are nearest-rank: pN is the smallest duration such that at least N% of\n"
           "the samples took at most that long (exact, from every duration).\n" +
               std::string(FILTER_HELP) + "\n" + std::string(DEVICE_TIMELINE) +
               "\nExample: vexa-package profile summary run.vxprof --kind Compute --top 5");
    return [options] { return run_profile_summary(*options); };
}

}  // namespace vexa_cli
