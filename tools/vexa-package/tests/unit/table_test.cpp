// The table every command prints: one description, three forms that must agree.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "output/table.hpp"

namespace vexa_cli {
namespace {

constexpr std::uint64_t LARGEST = std::numeric_limits<std::uint64_t>::max();

Table sample_table() {
    return {
        .columns = {label_column("name", "name"), figure_column("address", "addr", TextStyle::Hex),
                    figure_column("delta", "delta"), text_only(figure_column("share", "share")),
                    json_only("extra")},
        .rows = {{std::string("é\tü"), std::uint64_t{0x4c000}, Difference{.from = 10, .to = 4},
                  Share{.part = 1, .whole = 8}, Cell()},
                 {std::string(), std::uint64_t{0}, Difference{.from = 4, .to = 10},
                  Share{.part = 3, .whole = 0}, JsonOutput::array({1, 2})}}};
}

TEST(Table, TextAlignsByCharactersNotBytesAndTrimsTrailingBlanks) {
    Table table = sample_table();
    table.totals.push_back(
        {std::string("all"), Cell(), Difference{.from = 0, .to = 0}, std::string(""), Cell()});
    std::string out;
    table.render_text(out, "  ");
    // "é\\tü" is four characters in six bytes; empty texts read "-", empty cells "-", and
    // the JSON-only column is left out.
    EXPECT_EQ(out,
              "  name     addr  delta  share\n"
              "  é\\tü  0x4c000     -6  12.5%\n"
              "  -         0x0     +6      -\n"
              "  all         -     +0\n");
    std::string bare;
    fact_list({{"ä", "x"}, {"long label", "y"}}).render_text(bare, "", false);
    EXPECT_EQ(bare, "ä           x\nlong label  y\n");
}

TEST(Table, TextUsesTheColumnsStyleForFractionsSecondsAndEmptyTexts) {
    const Table table{.columns = {{.name = "ratio", .header = "r", .decimals = 3},
                                  {.name = "time", .header = "t", .style = TextStyle::Seconds},
                                  {.name = "who", .header = "w", .if_empty = "(none)"},
                                  {.name = "raw", .header = "raw"}},
                      .rows = {{2.0 / 3.0, 12.4e-6, std::string(), std::string("a\nb")}}};
    std::string out;
    table.render_text(out, "");
    EXPECT_EQ(out,
              "    r        t       w  raw\n"
              "0.667  12.4 µs  (none)  a\nb\n");
}

TEST(Table, CsvQuotesFieldsAndCarriesRawValues) {
    Table table{.columns = {label_column("na,me", "name"),
                            figure_column("address", "a", TextStyle::Hex),
                            figure_column("delta", "d"),
                            text_only(figure_column("t", "t")),
                            figure_column("part", "p"),
                            {.name = "x", .header = "", .in_json = false}},
                .rows = {{std::string("a,b"), std::uint64_t{255}, Difference{.from = 3, .to = 1},
                          std::string("text only"), Share{.part = 7, .whole = 9}, 0.1},
                         {std::string("say \"hi\"\r\nbye"), LARGEST,
                          Difference{.from = 0, .to = LARGEST}, Cell(), Cell(), Cell()}}};
    EXPECT_EQ(table.csv_names(), "\"na,me\",address,delta,part,x");
    EXPECT_EQ(table.csv(),
              "\"na,me\",address,delta,part,x\r\n"
              "\"a,b\",255,-2,7,0.10000000000000001\r\n"
              "\"say \"\"hi\"\"\r\nbye\",18446744073709551615,18446744073709551615,,\r\n");
    table.rows.clear();
    EXPECT_EQ(table.csv(), "\"na,me\",address,delta,part,x\r\n");
}

TEST(Table, JsonKeysRowsByNameWithIntegersAndSignedDifferences) {
    const JsonOutput json = sample_table().json();
    EXPECT_EQ(json.dump(), R"([{"name":"é\tü","address":311296,"delta":-6,"extra":null},)"
                           R"({"name":"","address":0,"delta":6,"extra":[1,2]}])");
    // A difference beyond the signed range stays exact as text.
    const Table wide{.columns = {figure_column("up", "up"),
                                 figure_column("down", "down"),
                                 {.name = "gone", .header = "", .omit_empty = true}},
                     .rows = {{Difference{.from = 0, .to = LARGEST},
                               Difference{.from = LARGEST, .to = 1}, Cell()},
                              {Difference{.from = 0, .to = LARGEST / 2},
                               Difference{.from = LARGEST / 2, .to = 0}, std::uint64_t{1}}}};
    EXPECT_EQ(wide.json().dump(),
              R"([{"up":"+18446744073709551615","down":"-18446744073709551614"},)"
              R"({"up":9223372036854775807,"down":-9223372036854775807,"gone":1}])");
    EXPECT_EQ(Table{}.json().dump(), "[]");
}

TEST(Table, MergeKeepsTheRecordsKeysInPlaceAndAppendsTheRest) {
    const Table table{.columns = {figure_column("b", "b"), figure_column("c", "c"),
                                  text_only(figure_column("t", "t"))},
                      .rows = {{std::uint64_t{2}, std::uint64_t{3}, std::uint64_t{9}}}};
    JsonOutput records = JsonOutput::array({{{"a", 1}, {"b", 0}, {"z", true}}});
    table.merge_json(records);
    EXPECT_EQ(records.dump(), R"([{"a":1,"b":2,"z":true,"c":3}])");
    JsonOutput too_few = JsonOutput::array();
    EXPECT_ANY_THROW(table.merge_json(too_few));
}

}  // namespace
}  // namespace vexa_cli
