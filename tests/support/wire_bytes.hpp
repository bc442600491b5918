#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "vexa_package/constants.hpp"

// Helpers for building and picking apart Cap'n Proto messages word by word, so tests can
// check the stored layout itself rather than only what the library reads back.
namespace vexa_package::testing::wire_bytes {

enum ElementSize : std::uint64_t {
    Void = 0,
    Bit = 1,
    Byte = 2,
    TwoBytes = 3,
    FourBytes = 4,
    EightBytes = 5,
    Pointer = 6,
    Composite = 7
};

/// A struct pointer `offset` words after the pointer's own end.
constexpr std::uint64_t struct_pointer(std::int32_t offset, std::uint16_t data_words,
                                       std::uint16_t pointers) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(offset) << 2)) |
           (std::uint64_t{data_words} << 32) | (std::uint64_t{pointers} << 48);
}

/// A list pointer; for composite lists `count` is the number of words after the tag.
constexpr std::uint64_t list_pointer(std::int32_t offset, ElementSize size, std::uint32_t count) {
    return 1 | (static_cast<std::uint64_t>(static_cast<std::uint32_t>(offset) << 2)) |
           (std::uint64_t{size} << 32) | (std::uint64_t{count} << 35);
}

/// The tag word in front of a composite list's elements.
constexpr std::uint64_t composite_tag(std::uint32_t elements, std::uint16_t data_words,
                                      std::uint16_t pointers) {
    return (std::uint64_t{elements} << 2) | (std::uint64_t{data_words} << 32) |
           (std::uint64_t{pointers} << 48);
}

/// Two 32-bit values in one data word, the first in the low half.
constexpr std::uint64_t pack32(std::uint32_t low, std::uint32_t high) {
    return std::uint64_t{low} | (std::uint64_t{high} << 32);
}

/// Text bytes with their NUL terminator, padded to whole words.
inline std::vector<std::uint64_t> text_words(std::string_view text) {
    std::vector<std::uint64_t> words((text.size() + 1 + 7) / 8, 0);
    std::memcpy(words.data(), text.data(), text.size());
    return words;
}

/// A single-segment message in stream framing.
inline Bytes frame(const std::vector<std::uint64_t>& segment) {
    Bytes bytes(8 + segment.size() * 8, 0);
    const auto words = static_cast<std::uint32_t>(segment.size());
    std::memcpy(bytes.data() + 4, &words, 4);
    std::memcpy(bytes.data() + 8, segment.data(), segment.size() * 8);
    return bytes;
}

/// The little-endian word at `index` of a message's first segment, for a single-segment
/// message in stream framing.
inline std::uint64_t segment_word(const Bytes& message, std::size_t index) {
    std::uint64_t word = 0;
    std::memcpy(&word, message.data() + 8 + index * 8, 8);
    return word;
}

/// Index of the word a struct or list pointer at `index` points to.
inline std::size_t pointer_target(std::size_t index, std::uint64_t pointer) {
    const auto offset = static_cast<std::int32_t>(static_cast<std::uint32_t>(pointer) & ~3u) >> 2;
    return static_cast<std::size_t>(static_cast<std::int64_t>(index) + 1 + offset);
}

}  // namespace vexa_package::testing::wire_bytes
