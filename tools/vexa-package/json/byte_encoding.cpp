#include "json/byte_encoding.hpp"

#include <array>

namespace vexa_cli {
namespace {

constexpr std::string_view BASE64_ALPHABET =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::string_view HEX_DIGITS = "0123456789abcdef";
constexpr std::uint8_t NOT_A_DIGIT = 0xff;

constexpr std::array<std::uint8_t, 256> base64_values() {
    std::array<std::uint8_t, 256> values{};
    values.fill(NOT_A_DIGIT);
    for (std::size_t i = 0; i < BASE64_ALPHABET.size(); ++i) {
        values[static_cast<unsigned char>(BASE64_ALPHABET[i])] = static_cast<std::uint8_t>(i);
    }
    return values;
}

constexpr std::array<std::uint8_t, 256> BASE64_VALUES = base64_values();

std::uint8_t hex_value(char digit) {
    if (digit >= '0' && digit <= '9') {
        return static_cast<std::uint8_t>(digit - '0');
    }
    if (digit >= 'a' && digit <= 'f') {
        return static_cast<std::uint8_t>(digit - 'a' + 10);
    }
    if (digit >= 'A' && digit <= 'F') {
        return static_cast<std::uint8_t>(digit - 'A' + 10);
    }
    return NOT_A_DIGIT;
}

std::string at_character(std::string_view what, std::size_t index) {
    return std::string(what) + " at character " + std::to_string(index + 1);
}

}  // namespace

std::string base64_encode(std::span<const std::uint8_t> bytes) {
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const std::uint32_t group =
            std::uint32_t{bytes[i]} << 16 | std::uint32_t{bytes[i + 1]} << 8 | bytes[i + 2];
        text.push_back(BASE64_ALPHABET[group >> 18 & 63]);
        text.push_back(BASE64_ALPHABET[group >> 12 & 63]);
        text.push_back(BASE64_ALPHABET[group >> 6 & 63]);
        text.push_back(BASE64_ALPHABET[group & 63]);
    }
    const std::size_t rest = bytes.size() - i;
    if (rest != 0) {
        std::uint32_t group = std::uint32_t{bytes[i]} << 16;
        if (rest == 2) {
            group |= std::uint32_t{bytes[i + 1]} << 8;
        }
        text.push_back(BASE64_ALPHABET[group >> 18 & 63]);
        text.push_back(BASE64_ALPHABET[group >> 12 & 63]);
        text.push_back(rest == 2 ? BASE64_ALPHABET[group >> 6 & 63] : '=');
        text.push_back('=');
    }
    return text;
}

std::expected<vexa_package::Bytes, std::string> base64_decode(std::string_view text) {
    if (text.size() % 4 != 0) {
        return std::unexpected("invalid base64: length " + std::to_string(text.size()) +
                               " is not a multiple of 4");
    }
    std::size_t padding = 0;
    if (!text.empty() && text.back() == '=') {
        padding = text[text.size() - 2] == '=' ? 2 : 1;
    }
    vexa_package::Bytes bytes;
    bytes.reserve(text.size() / 4 * 3);
    const std::size_t digits = text.size() - padding;
    std::uint32_t group = 0;
    for (std::size_t i = 0; i < digits; ++i) {
        const std::uint8_t value = BASE64_VALUES[static_cast<unsigned char>(text[i])];
        if (value == NOT_A_DIGIT) {
            return std::unexpected(at_character("invalid base64", i));
        }
        group = group << 6 | value;
        if (i % 4 == 3) {
            bytes.push_back(static_cast<std::uint8_t>(group >> 16));
            bytes.push_back(static_cast<std::uint8_t>(group >> 8));
            bytes.push_back(static_cast<std::uint8_t>(group));
            group = 0;
        }
    }
    // The bits below the last whole byte must be zero, so every byte string has exactly one
    // encoding and what is read back is what was meant.
    if (padding == 1) {
        if ((group & 0x3) != 0) {
            return std::unexpected(at_character("invalid base64", digits - 1));
        }
        bytes.push_back(static_cast<std::uint8_t>(group >> 10));
        bytes.push_back(static_cast<std::uint8_t>(group >> 2));
    } else if (padding == 2) {
        if ((group & 0xf) != 0) {
            return std::unexpected(at_character("invalid base64", digits - 1));
        }
        bytes.push_back(static_cast<std::uint8_t>(group >> 4));
    }
    return bytes;
}

std::string hex_encode(std::span<const std::uint8_t> bytes) {
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const std::uint8_t byte : bytes) {
        text.push_back(HEX_DIGITS[byte >> 4]);
        text.push_back(HEX_DIGITS[byte & 0xf]);
    }
    return text;
}

std::expected<vexa_package::Bytes, std::string> hex_decode(std::string_view text) {
    if (text.size() % 2 != 0) {
        return std::unexpected("invalid hex: odd number of digits");
    }
    vexa_package::Bytes bytes;
    bytes.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const std::uint8_t high = hex_value(text[i]);
        const std::uint8_t low = hex_value(text[i + 1]);
        if (high == NOT_A_DIGIT || low == NOT_A_DIGIT) {
            return std::unexpected(at_character("invalid hex", high == NOT_A_DIGIT ? i : i + 1));
        }
        bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
    }
    return bytes;
}

}  // namespace vexa_cli
