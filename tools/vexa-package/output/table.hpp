#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "json/json_document.hpp"

namespace vexa_cli {

/// A part of a whole: text shows the percentage ("12.5%", "-" for an empty whole), CSV and
/// JSON the part.
struct Share {
    std::uint64_t part;
    std::uint64_t whole;
};

/// A change from one count to another: text shows "+16" or "-16", CSV "16" or "-16", JSON
/// the signed integer (or the text when the difference does not fit 64 bits with a sign).
/// Both counts are unsigned, so the sign is kept apart.
struct Difference {
    std::uint64_t from;
    std::uint64_t to;
};

/// One value of a table. An empty cell (monostate) reads "-" in text, nothing in CSV and
/// null in JSON.
using Cell =
    std::variant<std::monostate, std::string, std::uint64_t, double, Share, Difference, JsonOutput>;

/// How text shows a column's cells; CSV and JSON always carry the plain value.
enum class TextStyle {
    Plain,
    /// Integers as "0x4c000".
    Hex,
    /// Texts from a file made safe for a terminal line (see `printable`).
    Escaped,
    /// Seconds in the unit that suits them ("12.4 µs").
    Seconds,
};

struct Column {
    /// The key in CSV and JSON.
    std::string name;
    /// The heading in text.
    std::string header;
    enum class Align { Left, Right } align = Align::Right;
    TextStyle style = TextStyle::Plain;
    /// Digits after the point of fractional numbers in text.
    int decimals = 0;
    /// What text shows for an empty text cell, when not the style's own.
    std::string if_empty = {};
    bool in_text = true;
    bool in_csv = true;
    bool in_json = true;
    /// JSON leaves the key out for an empty cell instead of giving null.
    bool omit_empty = false;
};

/// A right-aligned column of figures, in every form.
[[nodiscard]] Column figure_column(std::string name, std::string header,
                                   TextStyle style = TextStyle::Plain);
/// A left-aligned column of texts, in every form.
[[nodiscard]] Column label_column(std::string name, std::string header,
                                  TextStyle style = TextStyle::Escaped);
/// The column in text alone.
[[nodiscard]] Column text_only(Column column);
/// A column in JSON alone.
[[nodiscard]] Column json_only(std::string name);

/// A table of figures described once and rendered as aligned text, CSV or JSON, so the forms
/// never disagree on columns or order. Columns may be left out of some forms: text shows
/// shares where JSON nests raw figures, for instance.
struct Table {
    using Row = std::vector<Cell>;

    std::vector<Column> columns;
    std::vector<Row> rows;
    /// Rows under the others shown in text only, such as the sums over all rows.
    std::vector<Row> totals = {};

    /// The header line (unless `header` is false) and every row, each line starting with
    /// `indent` and ending with a line break, columns as wide as their widest cell and two
    /// spaces apart, no trailing blanks.
    void render_text(std::string& out, std::string_view indent, bool header = true) const;
    /// A header row of the column names, then the rows.
    [[nodiscard]] std::string csv() const;
    /// The CSV column names, comma separated, as the header row has them.
    [[nodiscard]] std::string csv_names() const;
    /// One object per row, keyed by column name.
    [[nodiscard]] JsonOutput json() const;
    /// Sets the columns of each row in the object at the same place of `objects`, so derived
    /// figures join the records they belong to; a key the object has keeps its place.
    void merge_json(JsonOutput& objects) const;
};

/// Labels and their values as two columns of text only, for rendering without a header.
[[nodiscard]] Table fact_list(std::vector<std::pair<std::string, std::string>> facts);

/// The text of one cell of `column`.
[[nodiscard]] std::string cell_text(const Column& column, const Cell& cell);

/// The number of terminal columns a UTF-8 text takes, counted as one per character.
[[nodiscard]] std::size_t display_width(std::string_view text);

}  // namespace vexa_cli
