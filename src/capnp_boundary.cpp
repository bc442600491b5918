#include "capnp_boundary.hpp"

#include <kj/debug.h>

namespace vexa_package::detail {

std::uint32_t checked_list_length(std::size_t length) {
    KJ_REQUIRE(length <= MAX_LIST_ELEMENTS, "List is too long for a Cap'n Proto message.", length,
               MAX_LIST_ELEMENTS);
    return static_cast<std::uint32_t>(length);
}

capnp::Text::Reader checked_text(std::string_view text) {
    KJ_REQUIRE(text.size() < MAX_LIST_ELEMENTS, "Text is too long for a Cap'n Proto message.",
               text.size(), MAX_LIST_ELEMENTS - 1);
    // A text that is not UTF-8 would give a message that every reader refuses: refuse it
    // here instead of reporting success.
    if (auto error = find_utf8_error(text)) {
        throw Refusal{PackageError(*error)};
    }
    return capnp::Text::Reader(text.data(), text.size());
}

}  // namespace vexa_package::detail
