#include "json/json_text.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace vexa_cli {
namespace {

constexpr std::ptrdiff_t LINE_WIDTH = 100;
constexpr std::size_t INDENT = 2;

// Room for the longest 64-bit integer with its sign.
using ScalarChars = std::array<char, 24>;

// The text of an integer, a boolean or null, written into `chars`: nlohmann's own dump sets
// up a serializer and asks for the locale for every value, which made up a fifth of writing
// a large report. Other values (floating-point numbers above all) are left to that dump.
std::optional<std::string_view> plain_scalar(const JsonOutput& value, ScalarChars& chars) {
    const auto written = [&chars](auto number) {
        const auto result = std::to_chars(chars.data(), chars.data() + chars.size(), number);
        return std::string_view(chars.data(), result.ptr);
    };
    switch (value.type()) {
        case JsonOutput::value_t::number_unsigned:
            return written(value.get<std::uint64_t>());
        case JsonOutput::value_t::number_integer:
            return written(value.get<std::int64_t>());
        case JsonOutput::value_t::boolean:
            return value.get<bool>() ? "true" : "false";
        case JsonOutput::value_t::null:
            return "null";
        default:
            return std::nullopt;
    }
}

// Most texts, keys and all base64 data, need no escapes: they are copied once, straight into
// the output, instead of through a dumped copy of their own.
void append_text(const std::string& text, std::string& out) {
    const bool plain = std::ranges::all_of(text, [](char character) {
        return character >= 0x20 && character < 0x7f && character != '"' && character != '\\';
    });
    if (plain) {
        out.append("\"").append(text).append("\"");
    } else {
        out += JsonOutput(text).dump(-1, ' ', false);
    }
}

void append_scalar(const JsonOutput& value, std::string& out) {
    ScalarChars chars;
    if (value.is_string()) {
        append_text(value.get_ref<const std::string&>(), out);
    } else if (const auto text = plain_scalar(value, chars)) {
        out += *text;
    } else {
        out += value.dump(-1, ' ', false);
    }
}

std::ptrdiff_t scalar_size(const JsonOutput& value) {
    ScalarChars chars;
    const auto text = plain_scalar(value, chars);
    return static_cast<std::ptrdiff_t>(text ? text->size() : value.dump(-1, ' ', false).size());
}

// What is left of `budget` after `value` on one line, or a negative number when it does
// not fit. Gives up as soon as the budget is spent, so a large value costs little.
std::ptrdiff_t remaining_after(const JsonOutput& value, std::ptrdiff_t budget) {
    if (value.is_string()) {
        return budget - static_cast<std::ptrdiff_t>(value.get_ref<const std::string&>().size()) - 2;
    }
    if (value.is_array()) {
        budget -= 2;
        for (const JsonOutput& element : value) {
            budget = remaining_after(element, budget - 2);
            if (budget < 0) {
                return budget;
            }
        }
        return budget;
    }
    if (value.is_object()) {
        budget -= 2;
        for (const auto& [key, element] : value.items()) {
            budget -= static_cast<std::ptrdiff_t>(key.size()) + 6;
            budget = budget < 0 ? budget : remaining_after(element, budget);
            if (budget < 0) {
                return budget;
            }
        }
        return budget;
    }
    return budget - scalar_size(value);
}

void write_inline(const JsonOutput& value, std::string& out) {
    if (value.is_array()) {
        out += '[';
        bool first = true;
        for (const JsonOutput& element : value) {
            out += first ? "" : ", ";
            write_inline(element, out);
            first = false;
        }
        out += ']';
    } else if (value.is_object()) {
        out += '{';
        bool first = true;
        for (const auto& [key, element] : value.items()) {
            out.append(first ? "" : ", ");
            append_text(key, out);
            out.append(": ");
            write_inline(element, out);
            first = false;
        }
        out += '}';
    } else {
        append_scalar(value, out);
    }
}

void write_indented(const JsonOutput& value, std::size_t depth, std::string& out) {
    const auto width = LINE_WIDTH - static_cast<std::ptrdiff_t>(depth * INDENT);
    if (!value.is_structured() || value.empty() || remaining_after(value, width) >= 0) {
        write_inline(value, out);
        return;
    }
    const std::string inner(INDENT * (depth + 1), ' ');
    out += value.is_array() ? "[\n" : "{\n";
    bool first = true;
    for (const auto& [key, element] : value.items()) {
        out.append(first ? "" : ",\n").append(inner);
        if (value.is_object()) {
            append_text(key, out);
            out.append(": ");
        }
        write_indented(element, depth + 1, out);
        first = false;
    }
    out.append("\n").append(INDENT * depth, ' ').append(value.is_array() ? "]" : "}");
}

}  // namespace

void append_json_text(const JsonOutput& value, std::size_t depth, std::string& out) {
    write_indented(value, depth, out);
}

std::string json_text(const JsonOutput& value, bool compact) {
    std::string out = compact ? value.dump(-1, ' ', false) : std::string();
    if (!compact) {
        write_indented(value, 0, out);
    }
    out += '\n';
    return out;
}

}  // namespace vexa_cli
