#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vexa_cli {

/// A text table whose columns are as wide as their widest cell, so it stays readable for a
/// few rows and for thousands alike. Text is aligned left, numbers right.
class Table {
  public:
    enum class Align { Left, Right };
    struct Column {
        std::string header;
        Align align = Align::Left;
    };

    explicit Table(std::vector<Column> columns);

    /// Adds one row; it must have one cell per column.
    void add_row(std::vector<std::string> cells);
    [[nodiscard]] bool empty() const { return rows_.empty(); }

    /// The header line (unless `header` is false) and every row, each line starting with
    /// `indent` and ending with a line break, columns two spaces apart, no trailing blanks.
    void render(std::string& out, std::string_view indent, bool header = true) const;

  private:
    std::vector<Column> columns_;
    std::vector<std::vector<std::string>> rows_;
};

/// The number of terminal columns a UTF-8 text takes, counted as one per character.
[[nodiscard]] std::size_t display_width(std::string_view text);

}  // namespace vexa_cli
