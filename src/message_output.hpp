#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include <capnp/blob.h>

#include "utf8.hpp"

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
