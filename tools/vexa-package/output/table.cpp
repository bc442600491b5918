#include "output/table.hpp"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "output/csv.hpp"
#include "output/text_format.hpp"

namespace vexa_cli {
namespace {

template <typename... Visitors>
struct Overloaded : Visitors... {
    using Visitors::operator()...;
};

std::uint64_t magnitude(const Difference& difference) {
    return difference.to >= difference.from ? difference.to - difference.from
                                            : difference.from - difference.to;
}

std::string signed_text(const Difference& difference, std::string_view plus) {
    return std::string(difference.to >= difference.from ? plus : "-") +
           std::to_string(magnitude(difference));
}

std::string csv_text(const Cell& cell) {
    return std::visit(
        Overloaded{[](std::monostate) { return std::string(); },
                   [](const std::string& text) { return text; },
                   [](std::uint64_t number) { return std::to_string(number); },
                   [](double number) {
                       // Enough digits to read the same double back.
                       char text[32];
                       std::snprintf(text, sizeof text, "%.17g", number);
                       return std::string(text);
                   },
                   [](const Share& share) { return std::to_string(share.part); },
                   [](const Difference& difference) { return signed_text(difference, ""); },
                   [](const JsonOutput& value) { return value.dump(); }},
        cell);
}

JsonOutput json_value(const Cell& cell) {
    return std::visit(
        Overloaded{[](std::monostate) { return JsonOutput(nullptr); },
                   [](const std::string& text) { return JsonOutput(text); },
                   [](std::uint64_t number) { return JsonOutput(number); },
                   [](double number) { return JsonOutput(number); },
                   [](const Share& share) { return JsonOutput(share.part); },
                   [](const Difference& difference) {
                       constexpr auto LARGEST =
                           static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
                       if (magnitude(difference) > LARGEST) {
                           return JsonOutput(signed_text(difference, "+"));
                       }
                       const auto value = static_cast<std::int64_t>(magnitude(difference));
                       return JsonOutput(difference.to >= difference.from ? value : -value);
                   },
                   [](const JsonOutput& value) { return value; }},
        cell);
}

void set_json_row(JsonOutput& object, const std::vector<Column>& columns, const Table::Row& row) {
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const Column& column = columns[i];
        const Cell& cell = row.at(i);
        if (column.in_json &&
            !(column.omit_empty && std::holds_alternative<std::monostate>(cell))) {
            object[column.name] = json_value(cell);
        }
    }
}

}  // namespace

Column figure_column(std::string name, std::string header, TextStyle style) {
    return {.name = std::move(name), .header = std::move(header), .style = style};
}

Column label_column(std::string name, std::string header, TextStyle style) {
    return {.name = std::move(name),
            .header = std::move(header),
            .align = Column::Align::Left,
            .style = style};
}

Column text_only(Column column) {
    column.in_csv = false;
    column.in_json = false;
    return column;
}

Column json_only(std::string name) {
    return {.name = std::move(name), .header = "", .in_text = false, .in_csv = false};
}

std::string cell_text(const Column& column, const Cell& cell) {
    return std::visit(
        Overloaded{[](std::monostate) { return std::string("-"); },
                   [&](const std::string& text) {
                       if (text.empty() && !column.if_empty.empty()) {
                           return column.if_empty;
                       }
                       return column.style == TextStyle::Escaped ? printable(text) : text;
                   },
                   [&](std::uint64_t number) {
                       return column.style == TextStyle::Hex ? hex_number(number)
                                                             : std::to_string(number);
                   },
                   [&](double number) {
                       if (column.style == TextStyle::Seconds) {
                           return seconds_text(number);
                       }
                       char text[64];
                       std::snprintf(text, sizeof text, "%.*f", column.decimals, number);
                       return std::string(text);
                   },
                   [](const Share& share) { return percent(share.part, share.whole); },
                   [](const Difference& difference) { return signed_text(difference, "+"); },
                   [](const JsonOutput& value) { return value.dump(); }},
        cell);
}

void Table::render_text(std::string& out, std::string_view indent, bool header) const {
    std::vector<const Column*> shown;
    std::vector<std::size_t> places;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].in_text) {
            shown.push_back(&columns[i]);
            places.push_back(i);
        }
    }
    std::vector<std::vector<std::string>> lines;
    if (header) {
        std::vector<std::string>& line = lines.emplace_back();
        for (const Column* column : shown) {
            line.push_back(column->header);
        }
    }
    for (const auto* list : {&rows, &totals}) {
        for (const Row& row : *list) {
            std::vector<std::string>& line = lines.emplace_back();
            for (std::size_t i = 0; i < shown.size(); ++i) {
                line.push_back(cell_text(*shown[i], row.at(places[i])));
            }
        }
    }
    std::vector<std::size_t> widths(shown.size(), 0);
    for (const auto& line : lines) {
        for (std::size_t i = 0; i < shown.size(); ++i) {
            widths[i] = std::max(widths[i], display_width(line[i]));
        }
    }
    for (const auto& line : lines) {
        std::string text(indent);
        for (std::size_t i = 0; i < shown.size(); ++i) {
            const std::size_t padding = widths[i] - display_width(line[i]);
            if (i != 0) {
                text += "  ";
            }
            if (shown[i]->align == Column::Align::Right) {
                text.append(padding, ' ').append(line[i]);
            } else {
                text.append(line[i]).append(padding, ' ');
            }
        }
        text.erase(text.find_last_not_of(' ') + 1);
        out.append(text).append("\n");
    }
}

std::string Table::csv() const {
    std::string out = csv_names();
    out.append("\r\n");
    std::vector<std::string> fields;
    for (const Row& row : rows) {
        fields.clear();
        for (std::size_t i = 0; i < columns.size(); ++i) {
            if (columns[i].in_csv) {
                fields.push_back(csv_text(row.at(i)));
            }
        }
        append_csv_row(out, fields);
    }
    return out;
}

std::string Table::csv_names() const {
    std::string out;
    bool first = true;
    for (const Column& column : columns) {
        if (column.in_csv) {
            out.append(first ? "" : ",");
            append_csv_field(out, column.name);
            first = false;
        }
    }
    return out;
}

JsonOutput Table::json() const {
    JsonOutput list = JsonOutput::array();
    for (const Row& row : rows) {
        JsonOutput object = JsonOutput::object();
        set_json_row(object, columns, row);
        list.push_back(std::move(object));
    }
    return list;
}

void Table::merge_json(JsonOutput& objects) const {
    for (std::size_t i = 0; i < rows.size(); ++i) {
        set_json_row(objects.at(i), columns, rows[i]);
    }
}

Table fact_list(std::vector<std::pair<std::string, std::string>> facts) {
    const Column label{.name = "", .header = "", .align = Column::Align::Left};
    Table table{.columns = {label, label}, .rows = {}};
    for (auto& [name, value] : facts) {
        table.rows.push_back({std::move(name), std::move(value)});
    }
    return table;
}

std::size_t display_width(std::string_view text) {
    // Continuation bytes (10xxxxxx) do not start a character.
    return static_cast<std::size_t>(std::ranges::count_if(
        text, [](char byte) { return (static_cast<unsigned char>(byte) & 0xc0) != 0x80; }));
}

}  // namespace vexa_cli
