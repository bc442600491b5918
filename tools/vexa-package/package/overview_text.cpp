#include <algorithm>

#include "output/tables.hpp"
#include "output/text_format.hpp"
#include "package/overview.hpp"
#include "package/package_facts.hpp"

namespace vexa_cli {
namespace {

using namespace vexa_package;
using Align = Table::Align;

void heading(std::string& out, std::string_view title, std::size_t count,
             std::string_view prefix = "\n") {
    out.append(prefix).append(title).append(": ");
    out.append(count == 0 ? "none" : std::to_string(count)).append("\n");
}

std::string shape_text(const std::vector<std::uint32_t>& shape) {
    std::string text = "[";
    for (std::size_t i = 0; i < shape.size(); ++i) {
        text.append(i == 0 ? "" : ", ").append(std::to_string(shape[i]));
    }
    return text + "]";
}

void tiles_section(std::string& out, const std::vector<TileImage>& tiles) {
    heading(out, "tiles", tiles.size());
    Table table({{"tile", Align::Right},
                 {"entry", Align::Right},
                 {"command", Align::Right},
                 {"diagnostic", Align::Right},
                 {"segments", Align::Right},
                 {"data bytes", Align::Right},
                 {"memory bytes", Align::Right},
                 {"load base", Align::Right},
                 {"image size", Align::Right}});
    for (const TileImage& tile : tiles) {
        const TileFacts facts = tile_facts(tile);
        table.add_row({std::to_string(tile.physical_tile), hex_number(tile.entry_point),
                       hex_number(tile.command_address), hex_number(tile.diagnostic_address),
                       std::to_string(tile.segments.size()), std::to_string(facts.data_bytes),
                       std::to_string(facts.memory_bytes),
                       facts.load_base ? hex_number(*facts.load_base) : "-",
                       facts.load_base ? std::to_string(facts.image_size) : "-"});
    }
    if (!table.empty()) {
        table.render(out, "  ");
    }
}

void bindings_section(std::string& out, std::string_view title,
                      const std::vector<Binding>& bindings) {
    heading(out, title, bindings.size());
    Table table({{"name", Align::Left},
                 {"dtype", Align::Left},
                 {"shape", Align::Left},
                 {"slices", Align::Right},
                 {"bytes", Align::Right},
                 {"tiles", Align::Left}});
    for (const Binding& binding : bindings) {
        const BindingFacts facts = binding_facts(binding);
        table.add_row({printable(binding.name), printable(binding.dtype), shape_text(binding.shape),
                       std::to_string(binding.slices.size()), std::to_string(facts.total_bytes),
                       number_ranges(facts.tiles)});
    }
    if (!table.empty()) {
        table.render(out, "  ");
    }
}

std::string command_word_text(const HostExchange& exchange) {
    const auto page = std::ranges::find(exchange.pages, exchange.command_page, &HostPage::index);
    std::string text = "page " + std::to_string(exchange.command_page) + ", bytes " +
                       hex_number(exchange.command_offset) + ".." +
                       hex_number(saturating_add(exchange.command_offset, 4));
    text += page == exchange.pages.end() ? ", no such page"
                                         : " of " + std::to_string(page->size) + " bytes";
    if (exchange.calls.empty()) {
        text += ", unused without host calls";
    }
    return text;
}

void host_exchange_section(std::string& out, const HostExchange& exchange) {
    out.append("\nhost exchange\n");
    Table facts({{"", Align::Left}, {"", Align::Left}});
    facts.add_row({"startup mark", hex_number(exchange.startup_mark)});
    facts.add_row({"command word", command_word_text(exchange)});
    facts.add_row({"attach order", number_list(exchange.attach_order)});
    facts.render(out, "  ", false);

    heading(out, "pages", exchange.pages.size(), "  ");
    Table pages({{"index", Align::Right}, {"size", Align::Right}});
    for (const HostPage& page : exchange.pages) {
        pages.add_row({std::to_string(page.index), std::to_string(page.size)});
    }
    if (!pages.empty()) {
        pages.render(out, "    ");
    }

    heading(out, "calls", exchange.calls.size(), "  ");
    Table calls({{"name", Align::Left},
                 {"command", Align::Right},
                 {"phases", Align::Right},
                 {"invocations", Align::Right},
                 {"in slices", Align::Right},
                 {"in batches", Align::Right},
                 {"in bytes", Align::Right},
                 {"out slices", Align::Right},
                 {"out batches", Align::Right},
                 {"out bytes", Align::Right}});
    for (const HostCall& call : exchange.calls) {
        const SliceTotals in = slice_totals(call.inputs, call.input_batch_ends);
        const SliceTotals outs = slice_totals(call.outputs, call.output_batch_ends);
        calls.add_row({printable(call.name), hex_number(call.command), std::to_string(call.phases),
                       std::to_string(call.invocations), std::to_string(in.slices),
                       std::to_string(in.batches), std::to_string(in.bytes),
                       std::to_string(outs.slices), std::to_string(outs.batches),
                       std::to_string(outs.bytes)});
    }
    if (!calls.empty()) {
        calls.render(out, "    ");
    }
}

void entry_points_section(std::string& out, const std::vector<EntryPoint>& entry_points) {
    heading(out, "entry points", entry_points.size());
    Table table(
        {{"name", Align::Left}, {"command", Align::Right}, {"external syncs", Align::Right}});
    for (const EntryPoint& entry : entry_points) {
        table.add_row({printable(entry.name), hex_number(entry.command),
                       std::to_string(entry.external_syncs)});
    }
    if (!table.empty()) {
        table.render(out, "  ");
    }
}

void config_writes_section(std::string& out, const std::vector<DeviceConfigWrite>& writes) {
    heading(out, "device configuration writes", writes.size());
    Table table({{"offset", Align::Right}, {"value", Align::Right}});
    for (const DeviceConfigWrite& write : writes) {
        table.add_row({hex_number(write.offset), hex_number(write.value)});
    }
    if (!table.empty()) {
        table.render(out, "  ");
    }
}

}  // namespace

std::string inspect_text(const Application& application, std::string_view name) {
    std::string out;
    out.append("compiler version  ").append(printable(application.compiler_version)).append("\n");
    out.append("package           ").append(name).append("\n");
    tiles_section(out, application.tiles);
    bindings_section(out, "inputs", application.inputs);
    bindings_section(out, "outputs", application.outputs);
    bindings_section(out, "weights", application.weights);
    host_exchange_section(out, application.host_exchange);
    entry_points_section(out, application.entry_points);
    config_writes_section(out, application.device_config_writes);
    return out;
}

}  // namespace vexa_cli
