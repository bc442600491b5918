#include <algorithm>

#include "commands.hpp"
#include "diagnostics.hpp"
#include "file_io.hpp"
#include "json_document.hpp"
#include "json_text.hpp"
#include "loading.hpp"
#include "profile_statistics.hpp"
#include "profile_timeline.hpp"
#include "tables.hpp"
#include "text_format.hpp"

namespace vexa_cli {
namespace {

using Align = Table::Align;

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

std::vector<Table::Column> kind_columns(std::vector<Table::Column> columns) {
    for (const auto kind : STEP_KINDS) {
        columns.push_back({std::string(to_string(kind)), Align::Right});
    }
    return columns;
}

void add_kind_shares(std::vector<std::string>& row, const std::array<std::uint64_t, 4>& cycles,
                     std::uint64_t total) {
    for (const std::uint64_t kind_cycles : cycles) {
        row.push_back(percent(kind_cycles, total));
    }
}

void tiles_table(std::string& out, const ProfileStatistics& statistics) {
    out.append("\nshare of cycles by kind, per tile\n");
    Table table(kind_columns({{"tile", Align::Right},
                              {"samples", Align::Right},
                              {"cycles", Align::Right},
                              {"span cycles", Align::Right}}));
    for (const TileStatistics& tile : statistics.tiles) {
        std::vector<std::string> row{std::to_string(tile.physical_tile),
                                     std::to_string(tile.samples), std::to_string(tile.cycles),
                                     std::to_string(tile.span())};
        add_kind_shares(row, tile.kind_cycles, tile.cycles);
        table.add_row(std::move(row));
    }
    std::vector<std::string> all{"all", std::to_string(statistics.samples),
                                 std::to_string(statistics.cycles),
                                 std::to_string(statistics.covered)};
    add_kind_shares(all, statistics.kind_cycles, statistics.cycles);
    table.add_row(std::move(all));
    table.render(out, "  ");
}

void ranking_table(std::string& out, std::string_view what, const std::vector<NamedCycles>& entries,
                   const ProfileStatistics& statistics, std::size_t top) {
    out.append("\n").append(what).append("s with the most cycles");
    if (entries.size() > top) {
        out.append(" (top ").append(std::to_string(top)).append(" of ");
        out.append(std::to_string(entries.size())).append(")");
    }
    out.append("\n");
    Table table({{std::string(what), Align::Left},
                 {"samples", Align::Right},
                 {"cycles", Align::Right},
                 {"share", Align::Right},
                 {"time", Align::Right}});
    for (std::size_t i = 0; i < std::min(top, entries.size()); ++i) {
        const NamedCycles& entry = entries[i];
        table.add_row({entry.name.empty() ? "(none)" : printable(entry.name),
                       std::to_string(entry.samples), std::to_string(entry.cycles),
                       percent(entry.cycles, statistics.cycles),
                       time_text(entry.cycles, statistics.clock_hz)});
    }
    table.render(out, "  ");
}

std::string summary_text(const ProfileStatistics& statistics, std::string_view name,
                         std::size_t top) {
    std::string out;
    Table facts({{"", Align::Left}, {"", Align::Left}});
    facts.add_row({"report", std::string(name)});
    facts.add_row({"clock", clock_text(statistics.clock_hz)});
    facts.add_row({"tiles", std::to_string(statistics.tiles.size())});
    facts.add_row({"samples", std::to_string(statistics.samples)});
    std::string covered = std::to_string(statistics.covered) + " cycles";
    if (statistics.clock_hz != 0) {
        covered += ", " + time_text(statistics.covered, statistics.clock_hz);
    }
    facts.add_row({"covered", covered + " (earliest start to latest end)"});
    facts.add_row({"busy", std::to_string(statistics.cycles) + " cycles in samples"});
    facts.render(out, "", false);
    tiles_table(out, statistics);
    ranking_table(out, "kernel", statistics.kernels, statistics, top);
    ranking_table(out, "operation", statistics.operations, statistics, top);
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

JsonOutput ranking_json(const std::vector<NamedCycles>& entries, std::size_t top,
                        std::uint64_t clock_hz) {
    JsonOutput list = JsonOutput::array();
    for (std::size_t i = 0; i < std::min(top, entries.size()); ++i) {
        list.push_back({{"name", entries[i].name},
                        {"samples", entries[i].samples},
                        {"cycles", entries[i].cycles},
                        {"seconds", seconds_json(entries[i].cycles, clock_hz)}});
    }
    return list;
}

JsonOutput summary_json(const ProfileStatistics& statistics, std::size_t top) {
    JsonOutput tiles = JsonOutput::array();
    for (const TileStatistics& tile : statistics.tiles) {
        tiles.push_back({{"physical_tile", tile.physical_tile},
                         {"samples", tile.samples},
                         {"cycles", tile.cycles},
                         {"span_cycles", tile.span()},
                         {"span_seconds", seconds_json(tile.span(), statistics.clock_hz)},
                         {"cycles_by_kind", kinds_json(tile.kind_cycles)}});
    }
    return {{"clock_hz", statistics.clock_hz},
            {"tile_count", statistics.tiles.size()},
            {"sample_count", statistics.samples},
            {"cycles", statistics.cycles},
            {"cycles_by_kind", kinds_json(statistics.kind_cycles)},
            {"covered_cycles", statistics.covered},
            {"covered_seconds", seconds_json(statistics.covered, statistics.clock_hz)},
            {"tiles", std::move(tiles)},
            {"kernel_count", statistics.kernels.size()},
            {"kernels", ranking_json(statistics.kernels, top, statistics.clock_hz)},
            {"operation_count", statistics.operations.size()},
            {"operations", ranking_json(statistics.operations, top, statistics.clock_hz)}};
}

}  // namespace

int run_profile_summary(const SummaryOptions& options) {
    const auto report = load_profile(options.report);
    if (!report) {
        return fail(report.error());
    }
    const ProfileStatistics statistics = profile_statistics(*report);
    print(options.json ? json_text(summary_json(statistics, options.top), false)
                       : summary_text(statistics, input_name(options.report), options.top));
    return EXIT_OK;
}

}  // namespace vexa_cli
