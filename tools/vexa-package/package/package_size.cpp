#include "package/package_size.hpp"

#include <algorithm>
#include <map>
#include <numeric>
#include <tuple>
#include <utility>
#include <vector>

#include "package/package_facts.hpp"

namespace vexa_cli {
namespace {

using namespace vexa_package;

// Size tables use the CSV and JSON key as the text heading too.
Column figure(const std::string& name, TextStyle style = TextStyle::Plain) {
    return figure_column(name, name, style);
}

Column text(const std::string& name) {
    return label_column(name, name);
}

std::uint64_t number(const Cell& cell) {
    return std::get<std::uint64_t>(cell);
}

// Largest first by the given columns, then in stored order, so equal rows keep their place.
void sort_rows(Table& table, std::size_t first_key, std::size_t second_key) {
    std::vector<std::size_t> order(table.rows.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    const auto keys = [&](std::size_t row) {
        return std::tuple(number(table.rows[row][first_key]), number(table.rows[row][second_key]));
    };
    std::ranges::sort(order, [&](std::size_t a, std::size_t b) {
        return std::tuple_cat(keys(b), std::tuple(a)) < std::tuple_cat(keys(a), std::tuple(b));
    });
    std::vector<Table::Row> sorted;
    sorted.reserve(order.size());
    for (const std::size_t row : order) {
        sorted.push_back(std::move(table.rows[row]));
    }
    table.rows = std::move(sorted);
}

Table by_tile(const Application& application) {
    Table table{
        .columns = {figure("tile"), figure("segments"), figure("data_bytes"),
                    figure("memory_bytes"), figure("binding_slices"), figure("binding_bytes")},
        .rows = {}};
    std::map<std::uint32_t, std::pair<std::uint64_t, std::uint64_t>> placed;
    for (const auto* list : {&application.inputs, &application.outputs, &application.weights}) {
        for (const Binding& binding : *list) {
            for (const RegionSlice& slice : binding.slices) {
                auto& [slices, bytes] = placed[slice.tile];
                ++slices;
                bytes = saturating_add(bytes, slice.size);
            }
        }
    }
    for (const TileImage& tile : application.tiles) {
        const TileFacts facts = tile_facts(tile);
        const auto [slices, bytes] = placed[tile.physical_tile];
        table.rows.push_back({std::uint64_t{tile.physical_tile}, tile.segments.size(),
                              facts.data_bytes, facts.memory_bytes, slices, bytes});
    }
    sort_rows(table, 2, 3);
    return table;
}

Table by_segment(const Application& application) {
    Table table{
        .columns = {figure("tile"), figure("segment"), figure("address", TextStyle::Hex),
                    figure("flags", TextStyle::Hex), figure("data_bytes"), figure("memory_bytes")},
        .rows = {}};
    for (const TileImage& tile : application.tiles) {
        for (std::size_t i = 0; i < tile.segments.size(); ++i) {
            const Segment& segment = tile.segments[i];
            table.rows.push_back({std::uint64_t{tile.physical_tile}, std::uint64_t{i},
                                  std::uint64_t{segment.address}, std::uint64_t{segment.flags},
                                  segment.data.size(), std::uint64_t{segment.memory_size}});
        }
    }
    sort_rows(table, 4, 5);
    return table;
}

constexpr std::array<std::string_view, 3> LIST_NAMES{"input", "output", "weight"};

std::array<const std::vector<Binding>*, 3> binding_lists(const Application& application) {
    return {&application.inputs, &application.outputs, &application.weights};
}

Table by_binding(const Application& application) {
    Table table{.columns = {text("list"), text("name"), text("dtype"), figure("slices"),
                            figure("bytes"), figure("tiles")},
                .rows = {}};
    const auto lists = binding_lists(application);
    for (std::size_t list = 0; list < lists.size(); ++list) {
        for (const Binding& binding : *lists[list]) {
            const BindingFacts facts = binding_facts(binding);
            table.rows.push_back({std::string(LIST_NAMES[list]), binding.name, binding.dtype,
                                  binding.slices.size(), facts.total_bytes, facts.tiles.size()});
        }
    }
    sort_rows(table, 4, 3);
    return table;
}

Table flags_table(const Application& application) {
    std::map<std::uint32_t, std::array<std::uint64_t, 3>> by_flags;
    for (const TileImage& tile : application.tiles) {
        for (const Segment& segment : tile.segments) {
            auto& [segments, data, memory] = by_flags[segment.flags];
            ++segments;
            data = saturating_add(data, segment.data.size());
            memory = saturating_add(memory, segment.memory_size);
        }
    }
    Table table{.columns = {figure("flags", TextStyle::Hex), figure("segments"),
                            figure("data_bytes"), figure("memory_bytes")},
                .rows = {}};
    for (const auto& [flags, figures] : by_flags) {
        table.rows.push_back({std::uint64_t{flags}, figures[0], figures[1], figures[2]});
    }
    sort_rows(table, 2, 3);
    return table;
}

Table lists_table(const Application& application) {
    Table table{.columns = {text("list"), figure("bindings"), figure("slices"), figure("bytes")},
                .rows = {}};
    const auto lists = binding_lists(application);
    for (std::size_t list = 0; list < lists.size(); ++list) {
        std::uint64_t slices = 0;
        std::uint64_t bytes = 0;
        for (const Binding& binding : *lists[list]) {
            slices += binding.slices.size();
            bytes = saturating_add(bytes, binding_facts(binding).total_bytes);
        }
        table.rows.push_back({std::string(LIST_NAMES[list]), lists[list]->size(), slices, bytes});
    }
    return table;
}

Table exchange_table(const HostExchange& exchange) {
    Table table{
        .columns = {figure("pages"), figure("page_bytes"), figure("calls"), figure("input_slices"),
                    figure("input_bytes"), figure("output_slices"), figure("output_bytes")},
        .rows = {}};
    std::uint64_t page_bytes = 0;
    for (const HostPage& page : exchange.pages) {
        page_bytes = saturating_add(page_bytes, page.size);
    }
    SliceTotals in;
    SliceTotals out;
    for (const HostCall& call : exchange.calls) {
        const SliceTotals call_in = slice_totals(call.inputs, call.input_batch_ends);
        const SliceTotals call_out = slice_totals(call.outputs, call.output_batch_ends);
        in.slices += call_in.slices;
        in.bytes = saturating_add(in.bytes, call_in.bytes);
        out.slices += call_out.slices;
        out.bytes = saturating_add(out.bytes, call_out.bytes);
    }
    table.rows.push_back({exchange.pages.size(), page_bytes, exchange.calls.size(), in.slices,
                          in.bytes, out.slices, out.bytes});
    return table;
}

Table rows_table(const Application& application, SizeBy by) {
    return by == SizeBy::Tile      ? by_tile(application)
           : by == SizeBy::Segment ? by_segment(application)
                                   : by_binding(application);
}

}  // namespace

std::string size_csv_columns(SizeBy by) {
    return rows_table(Application{}, by).csv_names();
}

PackageSize package_size(const Application& application, std::uint64_t file_bytes, SizeBy by,
                         std::size_t limit) {
    PackageSize size{.file_bytes = file_bytes,
                     .flags = {},
                     .binding_lists = {},
                     .host_exchange = {},
                     .rows = {}};
    for (const TileImage& tile : application.tiles) {
        const TileFacts facts = tile_facts(tile);
        size.payload_bytes = saturating_add(size.payload_bytes, facts.data_bytes);
        size.memory_bytes = saturating_add(size.memory_bytes, facts.memory_bytes);
    }
    // The data was read out of the file, so it never exceeds it.
    size.overhead_bytes = file_bytes - std::min(file_bytes, size.payload_bytes);
    size.flags = flags_table(application);
    size.binding_lists = lists_table(application);
    size.host_exchange = exchange_table(application.host_exchange);
    size.rows = rows_table(application, by);
    size.row_count = size.rows.rows.size();
    if (limit != 0 && size.rows.rows.size() > limit) {
        size.rows.rows.resize(limit);
    }
    return size;
}

}  // namespace vexa_cli
