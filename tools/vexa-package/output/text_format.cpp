#include "output/text_format.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace vexa_cli {
namespace {

// Three significant digits are enough to compare durations at a glance.
std::string significant(double value, std::string_view unit) {
    char text[64];
    const int decimals = value >= 100 ? 0 : value >= 10 ? 1 : 2;
    std::snprintf(text, sizeof text, "%.*f %.*s", decimals, value, static_cast<int>(unit.size()),
                  unit.data());
    return text;
}

}  // namespace

std::string hex_number(std::uint64_t value) {
    char digits[2 + 16] = {'0', 'x'};
    const auto result = std::to_chars(digits + 2, digits + sizeof digits, value, 16);
    return std::string(digits, result.ptr);
}

std::string printable(std::string_view text) {
    if (text.empty()) {
        return "-";
    }
    std::string out;
    out.reserve(text.size());
    for (const char character : text) {
        const auto byte = static_cast<unsigned char>(character);
        if (byte == '\n') {
            out += "\\n";
        } else if (byte == '\t') {
            out += "\\t";
        } else if (byte < 0x20 || byte == 0x7f) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", byte);
            out += escape;
        } else {
            out += character;
        }
    }
    return out;
}

std::string number_ranges(std::span<const std::uint32_t> sorted_numbers) {
    if (sorted_numbers.empty()) {
        return "-";
    }
    std::string out;
    std::size_t start = 0;
    for (std::size_t i = 1; i <= sorted_numbers.size(); ++i) {
        const bool run_ends = i == sorted_numbers.size() ||
                              sorted_numbers[i] != sorted_numbers[i - 1] + std::uint64_t{1};
        if (!run_ends) {
            continue;
        }
        out.append(out.empty() ? "" : ", ").append(std::to_string(sorted_numbers[start]));
        if (i - 1 != start) {
            out.append("-").append(std::to_string(sorted_numbers[i - 1]));
        }
        start = i;
    }
    return out;
}

std::string number_list(std::span<const std::uint32_t> numbers) {
    if (numbers.empty()) {
        return "-";
    }
    std::string out;
    for (const std::uint32_t number : numbers) {
        out.append(out.empty() ? "" : ", ").append(std::to_string(number));
    }
    return out;
}

std::string counted(std::size_t count, std::string_view noun) {
    std::string text = std::to_string(count);
    text.append(" ").append(noun).append(count == 1 ? "" : "s");
    return text;
}

std::string percent(std::uint64_t part, std::uint64_t whole) {
    if (whole == 0) {
        return "-";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f%%",
                  100.0 * static_cast<double>(part) / static_cast<double>(whole));
    return text;
}

std::string seconds_text(double seconds) {
    const double magnitude = std::fabs(seconds);
    if (magnitude == 0) {
        return "0 s";
    }
    if (magnitude < 1e-6) {
        return significant(seconds * 1e9, "ns");
    }
    if (magnitude < 1e-3) {
        return significant(seconds * 1e6, "µs");
    }
    if (magnitude < 1) {
        return significant(seconds * 1e3, "ms");
    }
    return significant(seconds, "s");
}

std::string frequency_text(std::uint64_t hertz) {
    const auto value = static_cast<double>(hertz);
    if (hertz >= 1'000'000'000) {
        return significant(value / 1e9, "GHz");
    }
    if (hertz >= 1'000'000) {
        return significant(value / 1e6, "MHz");
    }
    if (hertz >= 1'000) {
        return significant(value / 1e3, "kHz");
    }
    return std::to_string(hertz) + " Hz";
}

}  // namespace vexa_cli
