// CSV fields and rows: quoted only when a comma, quote, CR or LF would otherwise break them.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "output/csv.hpp"

namespace vexa_cli {
namespace {

std::string field(std::string_view text) {
    std::string out = "before|";
    append_csv_field(out, text);
    return out;
}

TEST(CsvField, IsQuotedOnlyWhenItHoldsASeparatorAQuoteOrALineBreak) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"", ""},
        {"plain", "plain"},
        // Spaces, tabs, semicolons and non-ASCII text are data as they are.
        {" padded\t", " padded\t"},
        {"a;b", "a;b"},
        {"t\xc3\xa4st", "t\xc3\xa4st"},
        {"a,b", "\"a,b\""},
        {",", "\",\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"\"", "\"\"\"\""},
        {"\"\"", "\"\"\"\"\"\""},
        {"line\nbreak", "\"line\nbreak\""},
        {"cr\r", "\"cr\r\""},
        {"\r\n", "\"\r\n\""},
        {"all, \"of\"\r\nthem", "\"all, \"\"of\"\"\r\nthem\""},
    };
    for (const auto& [text, written] : cases) {
        EXPECT_EQ(field(text), "before|" + std::string(written)) << text;
    }
}

TEST(CsvRow, SeparatesFieldsByCommasAndEndsWithCrLf) {
    const auto row = [](std::vector<std::string> fields) {
        std::string out;
        append_csv_row(out, fields);
        return out;
    };
    EXPECT_EQ(row({}), "\r\n");
    EXPECT_EQ(row({""}), "\r\n");
    EXPECT_EQ(row({"", ""}), ",\r\n");
    EXPECT_EQ(row({"tile", "kernel", "cycles"}), "tile,kernel,cycles\r\n");
    EXPECT_EQ(row({"0", "a,b", "", "x\"y"}), "0,\"a,b\",,\"x\"\"y\"\r\n");
    // Rows append to what is there.
    std::string out = "head\r\n";
    append_csv_row(out, std::vector<std::string>{"1"});
    EXPECT_EQ(out, "head\r\n1\r\n");
}

}  // namespace
}  // namespace vexa_cli
