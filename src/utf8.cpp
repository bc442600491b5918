#include "utf8.hpp"

#include <cstdint>
#include <cstring>

namespace vexa_package::detail {
namespace {

bool is_continuation(std::uint8_t byte) noexcept {
    return (byte & 0xc0) == 0x80;
}

// The second byte of a multi-byte sequence has a narrower range than 0x80..0xbf for some
// lead bytes: that is what excludes overlong forms, surrogates and values above U+10FFFF.
bool second_byte_fits(std::uint8_t lead, std::uint8_t second) noexcept {
    switch (lead) {
        case 0xe0:
            return second >= 0xa0 && second <= 0xbf;
        case 0xed:
            return second >= 0x80 && second <= 0x9f;
        case 0xf0:
            return second >= 0x90 && second <= 0xbf;
        case 0xf4:
            return second >= 0x80 && second <= 0x8f;
        default:
            return is_continuation(second);
    }
}

// Number of bytes of the sequence a lead byte starts; 0 for a byte that cannot lead.
std::size_t sequence_length(std::uint8_t lead) noexcept {
    if (lead >= 0xc2 && lead <= 0xdf) {
        return 2;
    }
    if (lead >= 0xe0 && lead <= 0xef) {
        return 3;
    }
    if (lead >= 0xf0 && lead <= 0xf4) {
        return 4;
    }
    return 0;
}

}  // namespace

std::optional<Utf8Error> walk_utf8(std::string_view text) noexcept {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    const std::size_t size = text.size();
    std::size_t index = 0;
    while (index < size) {
        // Names and versions are nearly always ASCII: skip eight such bytes at a time.
        while (index + 8 <= size) {
            std::uint64_t chunk;
            std::memcpy(&chunk, bytes + index, sizeof chunk);
            if ((chunk & 0x8080808080808080ULL) != 0) {
                break;
            }
            index += 8;
        }
        if (index >= size) {
            break;
        }
        const std::uint8_t lead = bytes[index];
        if (lead < 0x80) {
            ++index;
            continue;
        }
        const std::size_t length = sequence_length(lead);
        if (length == 0) {
            return Utf8Error{.valid_up_to = index, .error_len = 1};
        }
        // Walk the continuation bytes: a wrong byte ends the invalid sequence just before it,
        // the end of the text inside the sequence leaves its length open.
        for (std::size_t offset = 1; offset < length; ++offset) {
            if (index + offset >= size) {
                return Utf8Error{.valid_up_to = index, .error_len = std::nullopt};
            }
            const std::uint8_t byte = bytes[index + offset];
            const bool fits = offset == 1 ? second_byte_fits(lead, byte) : is_continuation(byte);
            if (!fits) {
                return Utf8Error{.valid_up_to = index, .error_len = offset};
            }
        }
        index += length;
    }
    return std::nullopt;
}

}  // namespace vexa_package::detail
