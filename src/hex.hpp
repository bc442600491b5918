#pragma once

#include <charconv>
#include <cstdint>
#include <string>

namespace vexa_package::detail {

/// Lowercase hexadecimal without prefix, leading zeros or minimum width ("4c000").
[[nodiscard]] inline std::string hex(std::uint64_t value) {
    char digits[16];
    const auto result = std::to_chars(digits, digits + sizeof digits, value, 16);
    return std::string(digits, result.ptr);
}

}  // namespace vexa_package::detail
