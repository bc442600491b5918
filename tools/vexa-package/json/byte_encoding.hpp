#pragma once

#include <cstdint>
#include <expected>
#include <span>
#include <string>
#include <string_view>

#include "vexa_package/constants.hpp"

namespace vexa_cli {

/// Standard base64 (RFC 4648, alphabet A-Z a-z 0-9 + /) with `=` padding.
[[nodiscard]] std::string base64_encode(std::span<const std::uint8_t> bytes);
/// Decodes padded standard base64; the error names the first offending character.
[[nodiscard]] std::expected<vexa_package::Bytes, std::string> base64_decode(std::string_view text);

/// Lowercase hexadecimal, two digits per byte.
[[nodiscard]] std::string hex_encode(std::span<const std::uint8_t> bytes);
/// Decodes two hexadecimal digits (either case) per byte.
[[nodiscard]] std::expected<vexa_package::Bytes, std::string> hex_decode(std::string_view text);

}  // namespace vexa_cli
