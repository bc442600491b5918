#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "json/json_document.hpp"

namespace vexa_cli {

/// A table of figures that renders as aligned text, CSV or JSON from one description, so the
/// three never disagree on columns or order. Machine forms carry raw integers.
struct Breakdown {
    using Cell = std::variant<std::string, std::uint64_t>;
    struct Column {
        std::string name;
        /// Text shows the number as "0x4c000"; CSV and JSON keep the integer.
        bool hex_in_text = false;
    };

    std::vector<Column> columns;
    std::vector<std::vector<Cell>> rows;

    /// The header and the rows, each line starting with `indent`.
    void render_text(std::string& out, std::string_view indent) const;
    /// A header row of the column names, then the rows.
    [[nodiscard]] std::string csv() const;
    /// One object per row, keyed by column name.
    [[nodiscard]] JsonOutput json() const;
};

}  // namespace vexa_cli
