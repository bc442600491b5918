#include "message_output.hpp"

#include <algorithm>

#include <kj/debug.h>

#include "capnp_boundary.hpp"
#include "utf8.hpp"

namespace vexa_package::detail {
namespace {

// Cap'n Proto list lengths, and blob sizes including a text's NUL terminator, have 29 bits.
constexpr std::size_t MAX_LIST_ELEMENTS = (std::size_t{1} << 29) - 1;

}  // namespace

void AppendingStream::write(const void* buffer, std::size_t size) {
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    output_.insert(output_.end(), bytes, bytes + size);
}

void AppendingStream::write(kj::ArrayPtr<const kj::ArrayPtr<const kj::byte>> pieces) {
    std::size_t total = 0;
    for (const auto& piece : pieces) {
        total += piece.size();
    }
    // Grow geometrically: reserving exactly what each message needs would copy the whole
    // buffer again for every message appended to it.
    if (total > output_.capacity() - output_.size()) {
        output_.reserve(std::max(output_.size() + total, 2 * output_.capacity()));
    }
    for (const auto& piece : pieces) {
        output_.insert(output_.end(), piece.begin(), piece.end());
    }
}

std::uint32_t list_length(std::size_t length) {
    KJ_REQUIRE(length <= MAX_LIST_ELEMENTS, "List is too long for a Cap'n Proto message.", length,
               MAX_LIST_ELEMENTS);
    return static_cast<std::uint32_t>(length);
}

capnp::Text::Reader as_text(std::string_view text) {
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
