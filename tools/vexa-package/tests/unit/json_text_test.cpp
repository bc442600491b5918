// The layout of the tool's JSON: what fits in a line of 100 characters stays on one line,
// anything larger is indented by two spaces per level; compact output is one line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "json/json_text.hpp"

namespace vexa_cli {
namespace {

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line);
    }
    return lines;
}

TEST(JsonText, WritesScalarsAndSmallValuesOnOneLine) {
    const std::pair<JsonOutput, std::string> cases[] = {
        {JsonOutput(42), "42"},
        {JsonOutput(-7), "-7"},
        {JsonOutput(18446744073709551615U), "18446744073709551615"},
        {JsonOutput(-9223372036854775807 - 1), "-9223372036854775808"},
        {JsonOutput(1.5), "1.5"},
        {JsonOutput(true), "true"},
        {JsonOutput(nullptr), "null"},
        {JsonOutput("text"), "\"text\""},
        // Quotes, backslashes and control characters are escaped; other UTF-8 is kept.
        {JsonOutput("a\"b\\c\nd\x01"), "\"a\\\"b\\\\c\\nd\\u0001\""},
        {JsonOutput("t\xc3\xa4st"), "\"t\xc3\xa4st\""},
        {JsonOutput::object(), "{}"},
        {JsonOutput::array(), "[]"},
        {JsonOutput{{"b", 1}, {"a", {1, 2}}, {"c", JsonOutput::object()}},
         "{\"b\": 1, \"a\": [1, 2], \"c\": {}}"},
        {JsonOutput{{"key\n", "value\t"}}, "{\"key\\n\": \"value\\t\"}"},
    };
    for (const auto& [value, line] : cases) {
        EXPECT_EQ(json_text(value, false), line + "\n");
        EXPECT_EQ(json_text(value, true), value.dump() + "\n");
    }
}

TEST(JsonText, BreaksWhatDoesNotFitAndKeepsInnerValuesThatDo) {
    JsonOutput value = JsonOutput::object();
    value["name"] = std::string(40, 'n');
    value["rows"] = JsonOutput::array();
    for (int row = 0; row < 2; ++row) {
        value["rows"].push_back({{"index", row}, {"cells", {1, 2, 3}}});
    }
    value["empty"] = JsonOutput::array();
    value["wide"] = std::vector<int>(40, 7);
    std::string wide_cells;
    for (int i = 0; i < 40; ++i) {
        wide_cells += std::string(i == 0 ? "" : ",\n") + "    7";
    }
    EXPECT_EQ(json_text(value, false),
              "{\n"
              "  \"name\": \"" +
                  std::string(40, 'n') +
                  "\",\n"
                  "  \"rows\": [{\"index\": 0, \"cells\": [1, 2, 3]}, {\"index\": 1, \"cells\": "
                  "[1, 2, 3]}],\n"
                  "  \"empty\": [],\n"
                  "  \"wide\": [\n" +
                  wide_cells +
                  "\n  ]\n"
                  "}\n");
}

TEST(JsonText, AppendsAPieceAsItIsLaidOutAtItsDepth) {
    const JsonOutput large = {{"cells", std::vector<int>(40, 1)}};
    const std::string whole = json_text(JsonOutput{{"outer", large}}, false);
    std::string piece;
    append_json_text(large, 1, piece);
    // The piece is exactly what the whole document holds after "outer": , with no line break
    // at its end.
    EXPECT_EQ(whole, "{\n  \"outer\": " + piece + "\n}\n");
    EXPECT_GT(lines_of(piece).size(), 1U);
    // Deeper levels leave less room: what is one line at the top is broken 40 levels down.
    const JsonOutput small = {{"cells", std::vector<int>(25, 1)}};
    std::string top;
    append_json_text(small, 0, top);
    std::string cells;
    for (int i = 0; i < 25; ++i) {
        cells += i == 0 ? "1" : ", 1";
    }
    EXPECT_EQ(top, "{\"cells\": [" + cells + "]}");
    std::string deep;
    append_json_text(small, 40, deep);
    EXPECT_EQ(lines_of(deep).size(), 29U);
    EXPECT_EQ(JsonOutput::parse(deep), small);
}

// Random documents of small values at many depths: the layout reads back as the same value,
// and a line is longer than 100 characters only when it holds a single scalar too long for it.
TEST(JsonText, ReadsBackAsTheSameValueWithinTheLineWidth) {
    std::mt19937 random(9);
    const auto make = [&random](auto& self, int depth) -> JsonOutput {
        const auto choice = random() % (depth > 4 ? 3 : 6);
        switch (choice) {
            case 0:
                return JsonOutput(random() % 100000);
            case 1:
                return JsonOutput(std::string(random() % 12, 'x'));
            case 2:
                return JsonOutput(random() % 2 == 0);
            case 3:
            case 4: {
                JsonOutput list = JsonOutput::array();
                for (auto i = random() % 8; i > 0; --i) {
                    list.push_back(self(self, depth + 1));
                }
                return list;
            }
            default: {
                JsonOutput object = JsonOutput::object();
                for (auto i = random() % 6; i > 0; --i) {
                    object["k" + std::to_string(random() % 20)] = self(self, depth + 1);
                }
                return object;
            }
        }
    };
    for (int round = 0; round < 300; ++round) {
        const JsonOutput value = make(make, 0);
        const std::string text = json_text(value, false);
        ASSERT_EQ(JsonOutput::parse(text), value) << text;
        for (const std::string& line : lines_of(text)) {
            ASSERT_LE(line.size(), 100U) << text;
        }
        const std::string compact = json_text(value, true);
        EXPECT_EQ(std::ranges::count(compact, '\n'), 1);
        EXPECT_EQ(JsonOutput::parse(compact), value);
    }
}

}  // namespace
}  // namespace vexa_cli
