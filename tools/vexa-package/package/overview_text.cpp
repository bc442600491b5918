#include <algorithm>

#include "output/table.hpp"
#include "output/text_format.hpp"
#include "package/overview.hpp"
#include "package/overview_tables.hpp"
#include "package/package_facts.hpp"

namespace vexa_cli {
namespace {

using namespace vexa_package;

void heading(std::string& out, std::string_view title, std::size_t count,
             std::string_view prefix = "\n") {
    out.append(prefix).append(title).append(": ");
    out.append(count == 0 ? "none" : std::to_string(count)).append("\n");
}

// A titled table with its row count; only the count when there are no rows.
void section(std::string& out, std::string_view title, const Table& table,
             std::string_view indent = "  ", std::string_view prefix = "\n") {
    heading(out, title, table.rows.size(), prefix);
    if (!table.rows.empty()) {
        table.render_text(out, indent);
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
    fact_list({{"startup mark", hex_number(exchange.startup_mark)},
               {"command word", command_word_text(exchange)},
               {"attach order", number_list(exchange.attach_order)}})
        .render_text(out, "  ", false);
    section(out, "pages", host_pages_table(exchange.pages), "    ", "  ");
    section(out, "calls", host_calls_table(exchange.calls), "    ", "  ");
}

}  // namespace

std::string inspect_text(const Application& application, std::string_view name) {
    std::string out;
    out.append("compiler version  ").append(printable(application.compiler_version)).append("\n");
    out.append("package           ").append(name).append("\n");
    section(out, "tiles", tiles_table(application.tiles));
    section(out, "inputs", bindings_table(application.inputs));
    section(out, "outputs", bindings_table(application.outputs));
    section(out, "weights", bindings_table(application.weights));
    host_exchange_section(out, application.host_exchange);
    section(out, "entry points", entry_points_table(application.entry_points));
    section(out, "device configuration writes",
            config_writes_table(application.device_config_writes));
    return out;
}

}  // namespace vexa_cli
