#pragma once

#include <optional>
#include <string_view>

#include "vexa_package/error.hpp"

namespace vexa_package::detail {

/// The first UTF-8 fault of `text`, or nothing when it is all valid UTF-8. Surrogates,
/// overlong forms and code points above U+10FFFF are faults, as in RFC 3629.
[[nodiscard]] std::optional<Utf8Error> find_utf8_error(std::string_view text) noexcept;

}  // namespace vexa_package::detail
