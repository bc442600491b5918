#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include <capnp/blob.h>

namespace vexa_package::detail {

/// Cap'n Proto list lengths, and blob sizes including a text's NUL terminator, have 29 bits.
inline constexpr std::size_t MAX_LIST_ELEMENTS = (std::size_t{1} << 29) - 1;

/// The full checks of `list_length` and `as_text`, for the values their quick tests do not
/// pass at once.
[[nodiscard]] std::uint32_t checked_list_length(std::size_t length);
[[nodiscard]] capnp::Text::Reader checked_text(std::string_view text);

/// A model list length as the 32-bit element count the builders take. Fails (with a
/// `kj::Exception`) for lengths above the 2^29 - 1 elements a Cap'n Proto list can hold,
/// instead of silently cutting the count to 32 bits.
[[nodiscard]] inline std::uint32_t list_length(std::size_t length) {
    if (length <= MAX_LIST_ELEMENTS) [[likely]] {
        return static_cast<std::uint32_t>(length);
    }
    return checked_list_length(length);
}

/// Whether every byte of `text` is below 0x80, as nearly every stored name is.
[[nodiscard]] inline bool is_ascii(std::string_view text) noexcept {
    std::uint64_t high_bits = 0;
    std::size_t index = 0;
    for (; index + 8 <= text.size(); index += 8) {
        std::uint64_t chunk;
        std::memcpy(&chunk, text.data() + index, sizeof chunk);
        high_bits |= chunk;
    }
    for (; index < text.size(); ++index) {
        high_bits |= static_cast<std::uint8_t>(text[index]);
    }
    return (high_bits & 0x8080808080808080ULL) == 0;
}

/// A model text as a Cap'n Proto text, failing like `list_length` for texts too long to
/// store, and throwing a `Refusal` carrying a `Utf8` error for text that is not UTF-8. The
/// string must stay alive while the builder copies it.
[[nodiscard]] inline capnp::Text::Reader as_text(std::string_view text) {
    if (text.size() < MAX_LIST_ELEMENTS && is_ascii(text)) [[likely]] {
        return capnp::Text::Reader(text.data(), text.size());
    }
    return checked_text(text);
}

}  // namespace vexa_package::detail
