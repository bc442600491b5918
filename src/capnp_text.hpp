#pragma once

#include <expected>
#include <string>

#include <capnp/blob.h>

#include "utf8.hpp"
#include "vexa_package/error.hpp"

namespace vexa_package::detail {

/// Copies a stored text into an owned string after checking that it is UTF-8 (Cap'n Proto
/// itself only checks the NUL terminator).
[[nodiscard]] inline std::expected<std::string, PackageError> read_text(capnp::Text::Reader text) {
    const std::string_view view(text.begin(), text.size());
    if (auto error = find_utf8_error(view)) {
        return std::unexpected(PackageError(*error));
    }
    return std::string(view);
}

}  // namespace vexa_package::detail
