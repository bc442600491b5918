#include "package/overview_tables.hpp"

#include "output/text_format.hpp"
#include "package/package_facts.hpp"

namespace vexa_cli {
namespace {

using namespace vexa_package;

std::string shape_text(const std::vector<std::uint32_t>& shape) {
    std::string text = "[";
    for (std::size_t i = 0; i < shape.size(); ++i) {
        text.append(i == 0 ? "" : ", ").append(std::to_string(shape[i]));
    }
    return text + "]";
}

}  // namespace

Table tiles_table(const std::vector<TileImage>& tiles) {
    Table table{
        .columns = {figure_column("physical_tile", "tile"),
                    figure_column("entry_point", "entry", TextStyle::Hex),
                    figure_column("command_address", "command", TextStyle::Hex),
                    figure_column("diagnostic_address", "diagnostic", TextStyle::Hex),
                    figure_column("segment_count", "segments"),
                    figure_column("data_bytes", "data bytes"),
                    figure_column("memory_bytes", "memory bytes"),
                    figure_column("load_base", "load base", TextStyle::Hex),
                    // Text shows no size for a tile without segments; JSON gives 0.
                    text_only(figure_column("image_size", "image size")), json_only("image_size")},
        .rows = {}};
    for (const TileImage& tile : tiles) {
        const TileFacts facts = tile_facts(tile);
        const bool loads = facts.load_base.has_value();
        table.rows.push_back({std::uint64_t{tile.physical_tile}, std::uint64_t{tile.entry_point},
                              std::uint64_t{tile.command_address},
                              std::uint64_t{tile.diagnostic_address}, tile.segments.size(),
                              facts.data_bytes, facts.memory_bytes,
                              loads ? Cell(std::uint64_t{*facts.load_base}) : Cell(),
                              loads ? Cell(facts.image_size) : Cell(), facts.image_size});
    }
    return table;
}

Table bindings_table(const std::vector<Binding>& bindings) {
    Table table{
        .columns = {label_column("name", "name"), label_column("dtype", "dtype"),
                    text_only(label_column("shape", "shape", TextStyle::Plain)),
                    figure_column("slice_count", "slices"), figure_column("total_bytes", "bytes"),
                    text_only(label_column("tiles", "tiles", TextStyle::Plain)),
                    json_only("tiles")},
        .rows = {}};
    for (const Binding& binding : bindings) {
        const BindingFacts facts = binding_facts(binding);
        table.rows.push_back({binding.name, binding.dtype, shape_text(binding.shape),
                              binding.slices.size(), facts.total_bytes, number_ranges(facts.tiles),
                              JsonOutput(facts.tiles)});
    }
    return table;
}

Table host_pages_table(const std::vector<HostPage>& pages) {
    Table table{.columns = {figure_column("index", "index"), figure_column("size", "size")},
                .rows = {}};
    for (const HostPage& page : pages) {
        table.rows.push_back({std::uint64_t{page.index}, page.size});
    }
    return table;
}

Table host_calls_table(const std::vector<HostCall>& calls) {
    Table table{
        .columns = {label_column("name", "name"),
                    figure_column("command", "command", TextStyle::Hex),
                    figure_column("phases", "phases"), figure_column("invocations", "invocations"),
                    figure_column("input_slices", "in slices"),
                    figure_column("input_batches", "in batches"),
                    figure_column("input_bytes", "in bytes"),
                    figure_column("output_slices", "out slices"),
                    figure_column("output_batches", "out batches"),
                    figure_column("output_bytes", "out bytes")},
        .rows = {}};
    for (const HostCall& call : calls) {
        const SliceTotals in = slice_totals(call.inputs, call.input_batch_ends);
        const SliceTotals out = slice_totals(call.outputs, call.output_batch_ends);
        table.rows.push_back({call.name, std::uint64_t{call.command}, std::uint64_t{call.phases},
                              std::uint64_t{call.invocations}, in.slices, in.batches, in.bytes,
                              out.slices, out.batches, out.bytes});
    }
    return table;
}

Table entry_points_table(const std::vector<EntryPoint>& entry_points) {
    Table table{.columns = {label_column("name", "name"),
                            figure_column("command", "command", TextStyle::Hex),
                            figure_column("external_syncs", "external syncs")},
                .rows = {}};
    for (const EntryPoint& entry : entry_points) {
        table.rows.push_back(
            {entry.name, std::uint64_t{entry.command}, std::uint64_t{entry.external_syncs}});
    }
    return table;
}

Table config_writes_table(const std::vector<DeviceConfigWrite>& writes) {
    Table table{.columns = {figure_column("offset", "offset", TextStyle::Hex),
                            figure_column("value", "value", TextStyle::Hex)},
                .rows = {}};
    for (const DeviceConfigWrite& write : writes) {
        table.rows.push_back({std::uint64_t{write.offset}, std::uint64_t{write.value}});
    }
    return table;
}

}  // namespace vexa_cli
