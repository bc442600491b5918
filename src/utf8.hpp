#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

#include "vexa_package/error.hpp"

namespace vexa_package::detail {

/// `find_utf8_error` past its ASCII test: walks the text byte by byte.
[[nodiscard]] std::optional<Utf8Error> walk_utf8(std::string_view text) noexcept;

/// Whether a text is all ASCII, without branching on its bytes. Eight bytes or more are read
/// as words, the last overlapping the one before it rather than leaving a tail to walk;
/// shorter texts are gathered into one zero-padded word.
[[nodiscard]] inline bool is_ascii(std::string_view text) noexcept {
    constexpr std::uint64_t HIGH_BITS = 0x8080808080808080ULL;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    const std::size_t size = text.size();
    std::uint64_t seen = 0;
    if (size >= 8) {
        std::memcpy(&seen, bytes + size - 8, sizeof seen);
        for (std::size_t index = 0; index + 8 <= size; index += 8) {
            std::uint64_t word;
            std::memcpy(&word, bytes + index, sizeof word);
            seen |= word;
        }
    } else {
        for (std::size_t index = 0; index < size; ++index) {
            seen |= std::uint64_t{bytes[index]} << (8 * index);
        }
    }
    return (seen & HIGH_BITS) == 0;
}

/// The first UTF-8 fault of `text`, or nothing when it is all valid UTF-8. Surrogates,
/// overlong forms and code points above U+10FFFF are faults, as in RFC 3629. Readers check
/// millions of short names, nearly all ASCII: those are settled here, inline.
[[nodiscard]] inline std::optional<Utf8Error> find_utf8_error(std::string_view text) noexcept {
    if (is_ascii(text)) {
        return std::nullopt;
    }
    return walk_utf8(text);
}

}  // namespace vexa_package::detail
