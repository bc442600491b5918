#include "output/breakdown.hpp"

#include "output/csv.hpp"
#include "output/tables.hpp"
#include "output/text_format.hpp"

namespace vexa_cli {
namespace {

std::string cell_text(const Breakdown::Cell& cell, bool hex) {
    if (const auto* number = std::get_if<std::uint64_t>(&cell)) {
        return hex ? hex_number(*number) : std::to_string(*number);
    }
    return printable(std::get<std::string>(cell));
}

}  // namespace

void Breakdown::render_text(std::string& out, std::string_view indent) const {
    std::vector<Table::Column> header;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const bool numeric = !rows.empty() && std::holds_alternative<std::uint64_t>(rows[0][i]);
        header.push_back({columns[i].name, numeric ? Table::Align::Right : Table::Align::Left});
    }
    Table table(std::move(header));
    for (const auto& row : rows) {
        std::vector<std::string> cells;
        for (std::size_t i = 0; i < columns.size(); ++i) {
            cells.push_back(cell_text(row[i], columns[i].hex_in_text));
        }
        table.add_row(std::move(cells));
    }
    table.render(out, indent);
}

std::string Breakdown::csv() const {
    std::string out;
    std::vector<std::string> fields;
    for (const Column& column : columns) {
        fields.push_back(column.name);
    }
    append_csv_row(out, fields);
    for (const auto& row : rows) {
        fields.clear();
        for (const Cell& cell : row) {
            const auto* number = std::get_if<std::uint64_t>(&cell);
            fields.push_back(number ? std::to_string(*number) : std::get<std::string>(cell));
        }
        append_csv_row(out, fields);
    }
    return out;
}

JsonOutput Breakdown::json() const {
    JsonOutput list = JsonOutput::array();
    for (const auto& row : rows) {
        JsonOutput object = JsonOutput::object();
        for (std::size_t i = 0; i < columns.size(); ++i) {
            std::visit([&](const auto& value) { object[columns[i].name] = value; }, row[i]);
        }
        list.push_back(std::move(object));
    }
    return list;
}

}  // namespace vexa_cli
