#include <algorithm>
#include <cstdio>
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
#include "output/text_format.hpp"
#include "profile/profile_statistics.hpp"
#include "profile/timeline_report.hpp"

namespace vexa_cli {
namespace {

using Align = Table::Align;

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

std::string mean_text(double mean) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", mean);
    return text;
}

// Busy cycles over the covered time of the report, so tiles compare on one timeline.
std::optional<double> busy_fraction(const TileStatistics& tile, std::uint64_t covered) {
    if (covered == 0) {
        return std::nullopt;
    }
    return static_cast<double>(tile.busy_cycles()) / static_cast<double>(covered);
}

void tiles_table(std::string& out, const ProfileStatistics& statistics) {
    out.append(
        "\nshare of cycles by kind, per tile; busy: cycles not Idle over the covered time\n");
    std::vector<Table::Column> columns{{"tile", Align::Right},
                                       {"samples", Align::Right},
                                       {"cycles", Align::Right},
                                       {"span cycles", Align::Right}};
    for (const auto kind : STEP_KINDS) {
        columns.push_back({std::string(to_string(kind)), Align::Right});
    }
    columns.push_back({"busy", Align::Right});
    Table table(std::move(columns));
    const auto add_shares = [](std::vector<std::string>& row,
                               const std::array<std::uint64_t, 4>& cycles, std::uint64_t total) {
        for (const std::uint64_t kind_cycles : cycles) {
            row.push_back(percent(kind_cycles, total));
        }
    };
    for (const TileStatistics& tile : statistics.tiles) {
        std::vector<std::string> row{std::to_string(tile.physical_tile),
                                     std::to_string(tile.samples), std::to_string(tile.cycles),
                                     std::to_string(tile.span())};
        add_shares(row, tile.kind_cycles, tile.cycles);
        row.push_back(percent(tile.busy_cycles(), statistics.covered));
        table.add_row(std::move(row));
    }
    std::vector<std::string> all{"all", std::to_string(statistics.samples),
                                 std::to_string(statistics.cycles),
                                 std::to_string(statistics.covered)};
    add_shares(all, statistics.kind_cycles, statistics.cycles);
    all.push_back("");
    table.add_row(std::move(all));
    table.render(out, "  ");
}

void ranking_table(std::string& out, std::string_view what,
                   const std::vector<DurationStatistics>& entries,
                   const ProfileStatistics& statistics, std::size_t shown) {
    out.append("\n").append(what).append("s with the most cycles");
    if (entries.size() > shown) {
        out.append(" (top ").append(std::to_string(shown)).append(" of ");
        out.append(std::to_string(entries.size())).append(")");
    }
    out.append("\n");
    Table table({{std::string(what), Align::Left},
                 {"samples", Align::Right},
                 {"cycles", Align::Right},
                 {"share", Align::Right},
                 {"time", Align::Right},
                 {"mean", Align::Right},
                 {"min", Align::Right},
                 {"p50", Align::Right},
                 {"p90", Align::Right},
                 {"p99", Align::Right},
                 {"max", Align::Right}});
    for (std::size_t i = 0; i < shown; ++i) {
        const DurationStatistics& entry = entries[i];
        table.add_row(
            {entry.name.empty() ? "(none)" : printable(entry.name), std::to_string(entry.samples),
             std::to_string(entry.cycles), percent(entry.cycles, statistics.cycles),
             time_text(entry.cycles, statistics.clock_hz), mean_text(entry.mean()),
             std::to_string(entry.min), std::to_string(entry.p50), std::to_string(entry.p90),
             std::to_string(entry.p99), std::to_string(entry.max)});
    }
    table.render(out, "  ");
}

std::size_t shown(const std::vector<DurationStatistics>& entries, std::size_t top) {
    return top == 0 ? entries.size() : std::min(top, entries.size());
}

std::string summary_text(const ProfileStatistics& statistics, std::string_view name,
                         std::size_t top) {
    std::string out;
    Table facts({{"", Align::Left}, {"", Align::Left}});
    facts.add_row({"report", std::string(name)});
    facts.add_row({"clock", clock_text(statistics.clock_hz)});
    facts.add_row({"tiles", std::to_string(statistics.tiles.size())});
    facts.add_row({"samples", std::to_string(statistics.samples)});
    if (statistics.span) {
        facts.add_row({"start", "cycle " + std::to_string(statistics.span->first_start) +
                                    " on the device timeline"});
    }
    std::string covered = std::to_string(statistics.covered) + " cycles";
    if (statistics.clock_hz != 0) {
        covered += ", " + time_text(statistics.covered, statistics.clock_hz);
    }
    facts.add_row({"covered", covered + " (earliest start to latest end)"});
    facts.add_row({"busy", std::to_string(statistics.cycles) + " cycles in samples"});
    facts.render(out, "", false);
    tiles_table(out, statistics);
    ranking_table(out, "kernel", statistics.kernels, statistics, shown(statistics.kernels, top));
    ranking_table(out, "operation", statistics.operations, statistics,
                  shown(statistics.operations, top));
    return out;
}

JsonOutput seconds_json(std::uint64_t cycles, std::uint64_t clock_hz) {
    const auto seconds = cycles_to_seconds(cycles, clock_hz);
    return seconds ? JsonOutput(*seconds) : JsonOutput(nullptr);
}

JsonOutput kinds_json(const std::array<std::uint64_t, 4>& cycles) {
    JsonOutput kinds = JsonOutput::object();
    for (const auto kind : STEP_KINDS) {
        kinds[std::string(to_string(kind))] = cycles[kind_index(kind)];
    }
    return kinds;
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

JsonOutput ranking_json(const std::vector<DurationStatistics>& entries, std::size_t count,
                        std::uint64_t clock_hz) {
    JsonOutput list = JsonOutput::array();
    for (std::size_t i = 0; i < count; ++i) {
        const DurationStatistics& entry = entries[i];
        list.push_back({{"name", entry.name},
                        {"samples", entry.samples},
                        {"cycles", entry.cycles},
                        {"seconds", seconds_json(entry.cycles, clock_hz)},
                        {"mean", entry.mean()},
                        {"min", entry.min},
                        {"p50", entry.p50},
                        {"p90", entry.p90},
                        {"p99", entry.p99},
                        {"max", entry.max}});
    }
    return list;
}

JsonOutput summary_json(const ProfileStatistics& statistics, std::size_t top) {
    JsonOutput tiles = JsonOutput::array();
    for (const TileStatistics& tile : statistics.tiles) {
        const auto busy = busy_fraction(tile, statistics.covered);
        tiles.push_back(
            {{"physical_tile", tile.physical_tile},
             {"samples", tile.samples},
             {"cycles", tile.cycles},
             {"first_start", optional_json(tile.first_start)},
             {"last_end", tile.first_start ? JsonOutput(tile.last_end) : JsonOutput(nullptr)},
             {"span_cycles", tile.span()},
             {"span_seconds", seconds_json(tile.span(), statistics.clock_hz)},
             {"cycles_by_kind", kinds_json(tile.kind_cycles)},
             {"busy_cycles", tile.busy_cycles()},
             {"busy_fraction", busy ? JsonOutput(*busy) : JsonOutput(nullptr)}});
    }
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
        {"tiles", std::move(tiles)},
        {"kernel_count", statistics.kernels.size()},
        {"kernels",
         ranking_json(statistics.kernels, shown(statistics.kernels, top), statistics.clock_hz)},
        {"operation_count", statistics.operations.size()},
        {"operations", ranking_json(statistics.operations, shown(statistics.operations, top),
                                    statistics.clock_hz)}};
}

std::string summary_csv(const ProfileStatistics& statistics, std::size_t top) {
    std::string out;
    append_csv_row(out, std::vector<std::string>{"group", "name", "samples", "cycles", "mean",
                                                 "min", "p50", "p90", "p99", "max"});
    const auto rows = [&](std::string_view group, const std::vector<DurationStatistics>& entries) {
        for (std::size_t i = 0; i < shown(entries, top); ++i) {
            const DurationStatistics& entry = entries[i];
            char mean[32];
            std::snprintf(mean, sizeof mean, "%.17g", entry.mean());
            append_csv_row(out, std::vector<std::string>{
                                    std::string(group), entry.name, std::to_string(entry.samples),
                                    std::to_string(entry.cycles), mean, std::to_string(entry.min),
                                    std::to_string(entry.p50), std::to_string(entry.p90),
                                    std::to_string(entry.p99), std::to_string(entry.max)});
        }
    };
    rows("kernel", statistics.kernels);
    rows("operation", statistics.operations);
    return out;
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
                  "The kernel and operation figures as CSV: group,name,samples,cycles,mean,min,"
                  "p50,p90,p99,max")
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
