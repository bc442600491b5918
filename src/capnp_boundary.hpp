#pragma once

// Where the library meets Cap'n Proto. Whatever Cap'n Proto throws inside a read or a build
// becomes one of the library's errors, and texts and lists cross in both directions held to
// the rules Cap'n Proto does not check itself: texts are UTF-8, lists and texts fit the
// format's 29-bit lengths.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <expected>
#include <string>
#include <string_view>
#include <utility>

#include <capnp/blob.h>
#include <kj/exception.h>

#include "utf8.hpp"
#include "vexa_package/error.hpp"

namespace vexa_package::detail {

/// Thrown from inside a message build to end the operation with one of the library's own
/// errors, which `at_capnp_boundary` then returns unchanged.
struct Refusal {
    PackageError error;
};

/// Runs `body` and turns whatever Cap'n Proto throws into a `Capnp` error, so that no
/// exception leaves a public operation. Anything else thrown on the way (out of memory while
/// copying a huge but well-formed message) is reported the same way rather than escaping.
template <typename Body>
auto at_capnp_boundary(Body&& body) noexcept -> decltype(std::forward<Body>(body)()) {
    try {
        return std::forward<Body>(body)();
    } catch (Refusal& refusal) {
        return std::unexpected(std::move(refusal.error));
    } catch (kj::Exception& exception) {
        return std::unexpected(PackageError(std::move(exception)));
    } catch (const std::exception& exception) {
        return std::unexpected(PackageError(kj::Exception(
            kj::Exception::Type::FAILED, __FILE__, __LINE__, kj::heapString(exception.what()))));
    }
}

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
