#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include <capnp/blob.h>

namespace vexa_package::detail {

/// A model list length as the 32-bit element count the builders take. Fails (with a
/// `kj::Exception`) for lengths above the 2^29 - 1 elements a Cap'n Proto list can hold,
/// instead of silently cutting the count to 32 bits.
[[nodiscard]] std::uint32_t list_length(std::size_t length);

/// A model text as a Cap'n Proto text, failing like `list_length` for texts too long to
/// store, and throwing a `Refusal` carrying a `Utf8` error for text that is not UTF-8. The
/// string must stay alive while the builder copies it.
[[nodiscard]] capnp::Text::Reader as_text(std::string_view text);

}  // namespace vexa_package::detail
