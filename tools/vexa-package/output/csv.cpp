#include "output/csv.hpp"

namespace vexa_cli {

void append_csv_field(std::string& out, std::string_view field) {
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
        out.append(field);
        return;
    }
    out.push_back('"');
    for (const char character : field) {
        if (character == '"') {
            out.push_back('"');
        }
        out.push_back(character);
    }
    out.push_back('"');
}

void append_csv_row(std::string& out, std::span<const std::string> fields) {
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i != 0) {
            out.push_back(',');
        }
        append_csv_field(out, fields[i]);
    }
    out.append("\r\n");
}

}  // namespace vexa_cli
