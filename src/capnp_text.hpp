#pragma once

#include <expected>
#include <string>
#include <string_view>
#include <utility>

#include <capnp/blob.h>

#include "utf8.hpp"
#include "vexa_package/error.hpp"

namespace vexa_package::detail {

/// A stored text, checked to be UTF-8 (Cap'n Proto itself only checks the NUL terminator).
[[nodiscard]] inline std::expected<std::string_view, PackageError> utf8_view(
    capnp::Text::Reader text) {
    const std::string_view view(text.begin(), text.size());
    if (auto error = find_utf8_error(view)) {
        return std::unexpected(PackageError(*error));
    }
    return view;
}

/// Copies a stored text into an owned string after checking that it is UTF-8.
[[nodiscard]] inline std::expected<std::string, PackageError> read_text(capnp::Text::Reader text) {
    auto view = utf8_view(text);
    if (!view) {
        return std::unexpected(std::move(view.error()));
    }
    return std::string(*view);
}

}  // namespace vexa_package::detail
