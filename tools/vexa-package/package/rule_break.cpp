#include "package/rule_break.hpp"

#include <charconv>
#include <limits>
#include <utility>

#include "output/text_format.hpp"

namespace vexa_cli {

RuleBreak located(std::string message, const std::string& path, const std::string& why) {
    return {std::move(message), path + ": " + why};
}

std::string element(std::string_view list, std::size_t position) {
    std::string text(list);
    text.append("[").append(std::to_string(position)).append("]");
    return text;
}

std::string end_text(std::uint64_t start, std::uint64_t length) {
    if (length <= std::numeric_limits<std::uint64_t>::max() - start) {
        return hex_number(start + length);
    }
    // The sum is below 2^65: a carry of 1 above the 64 wrapped bits, which keep their zeros.
    char digits[16];
    const std::uint64_t wrapped = start + length;
    const auto written = std::to_chars(digits, digits + sizeof digits, wrapped, 16);
    const auto width = static_cast<std::size_t>(written.ptr - digits);
    return "0x1" + std::string(sizeof digits - width, '0') + std::string(digits, width);
}

}  // namespace vexa_cli
