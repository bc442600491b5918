#include "json_text.hpp"

#include <algorithm>
#include <cstddef>

namespace vexa_cli {
namespace {

constexpr std::ptrdiff_t LINE_WIDTH = 100;
constexpr std::size_t INDENT = 2;

std::string scalar_text(const JsonOutput& value) {
    return value.dump(-1, ' ', false);
}

// Most texts, and all base64 data, need no escapes: they are copied once, straight into the
// output, instead of through a dumped copy of their own.
void append_scalar(const JsonOutput& value, std::string& out) {
    if (value.is_string()) {
        const auto& text = value.get_ref<const std::string&>();
        const bool plain = std::ranges::all_of(text, [](char character) {
            return character >= 0x20 && character < 0x7f && character != '"' && character != '\\';
        });
        if (plain) {
            out.append("\"").append(text).append("\"");
            return;
        }
    }
    out += scalar_text(value);
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
    return budget - static_cast<std::ptrdiff_t>(scalar_text(value).size());
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
            out.append(first ? "" : ", ").append(JsonOutput(key).dump(-1, ' ', false)).append(": ");
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
            out.append(JsonOutput(key).dump(-1, ' ', false)).append(": ");
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
