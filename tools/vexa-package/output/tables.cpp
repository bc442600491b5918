#include "output/tables.hpp"

#include <algorithm>
#include <stdexcept>

namespace vexa_cli {

Table::Table(std::vector<Column> columns) : columns_(std::move(columns)) {}

void Table::add_row(std::vector<std::string> cells) {
    if (cells.size() != columns_.size()) {
        throw std::logic_error("table row with the wrong number of cells");
    }
    rows_.push_back(std::move(cells));
}

void Table::render(std::string& out, std::string_view indent, bool header) const {
    std::vector<std::size_t> widths(columns_.size());
    for (std::size_t column = 0; column < columns_.size(); ++column) {
        widths[column] = header ? display_width(columns_[column].header) : 0;
        for (const auto& row : rows_) {
            widths[column] = std::max(widths[column], display_width(row[column]));
        }
    }
    const auto line = [&](const auto& cell_of) {
        std::string text(indent);
        for (std::size_t column = 0; column < columns_.size(); ++column) {
            const std::string& cell = cell_of(column);
            const std::size_t padding = widths[column] - display_width(cell);
            if (column != 0) {
                text += "  ";
            }
            if (columns_[column].align == Align::Right) {
                text.append(padding, ' ').append(cell);
            } else {
                text.append(cell).append(padding, ' ');
            }
        }
        text.erase(text.find_last_not_of(' ') + 1);
        out.append(text).append("\n");
    };
    if (header) {
        line([&](std::size_t column) -> const std::string& { return columns_[column].header; });
    }
    for (const auto& row : rows_) {
        line([&](std::size_t column) -> const std::string& { return row[column]; });
    }
}

std::size_t display_width(std::string_view text) {
    // Continuation bytes (10xxxxxx) do not start a character.
    return static_cast<std::size_t>(std::ranges::count_if(
        text, [](char byte) { return (static_cast<unsigned char>(byte) & 0xc0) != 0x80; }));
}

}  // namespace vexa_cli
