#include "message_input.hpp"

#include <algorithm>
#include <compare>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <utility>

#include <kj/debug.h>
#include <kj/io.h>

namespace vexa_package::detail {
namespace {

// Cap'n Proto's stream reader refuses messages with more segments than this.
constexpr std::uint64_t MAX_SEGMENTS = 512;
// A stream's buffer grows by at most this much beyond the bytes received so far.
constexpr std::size_t STREAM_CHUNK_WORDS = std::size_t{1} << 17;

std::uint32_t load_le32(const std::uint8_t* bytes) noexcept {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// Segment count from the first word of the table; fails for a count above the limit.
std::uint64_t segment_count(const std::uint8_t* first_word) {
    const std::uint64_t count = std::uint64_t{load_le32(first_word)} + 1;
    KJ_REQUIRE(count <= MAX_SEGMENTS, "Message has too many segments.", count);
    return count;
}

// The segment table occupies one 32-bit count plus one 32-bit size per segment, padded to
// whole words.
std::uint64_t table_words(std::uint64_t count) noexcept {
    return count / 2 + 1;
}

// Sum of the segment sizes in words; cannot overflow with at most 512 32-bit sizes.
std::uint64_t segment_words(const std::uint8_t* table, std::uint64_t count) noexcept {
    std::uint64_t total = 0;
    for (std::uint64_t i = 0; i < count; ++i) {
        total += load_le32(table + 4 * (i + 1));
    }
    return total;
}

// The 64-bit words of a byte range at any address, as a random-access iterator: a vector of
// words assigned from it is filled in the one pass that copies the message, where resizing
// the vector first would zero-fill all of it only to overwrite it.
class UnalignedWords {
  public:
    using iterator_category = std::random_access_iterator_tag;
    using value_type = std::uint64_t;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = std::uint64_t;

    UnalignedWords() noexcept = default;
    explicit UnalignedWords(const std::uint8_t* bytes) noexcept : bytes_(bytes) {}

    std::uint64_t operator*() const noexcept {
        std::uint64_t word;
        std::memcpy(&word, bytes_, sizeof word);
        return word;
    }
    std::uint64_t operator[](difference_type offset) const noexcept { return *(*this + offset); }

    UnalignedWords& operator+=(difference_type offset) noexcept {
        bytes_ += offset * static_cast<difference_type>(sizeof(std::uint64_t));
        return *this;
    }
    UnalignedWords& operator-=(difference_type offset) noexcept { return *this += -offset; }
    UnalignedWords& operator++() noexcept { return *this += 1; }
    UnalignedWords& operator--() noexcept { return *this -= 1; }
    UnalignedWords operator++(int) noexcept { return std::exchange(*this, *this + 1); }
    UnalignedWords operator--(int) noexcept { return std::exchange(*this, *this - 1); }
    friend UnalignedWords operator+(UnalignedWords at, difference_type offset) noexcept {
        return at += offset;
    }
    // This one and <=> only complete the iterator's concept; the copy itself does not call them.
    [[maybe_unused]] friend UnalignedWords operator+(difference_type offset,
                                                     UnalignedWords at) noexcept {
        return at += offset;
    }
    friend UnalignedWords operator-(UnalignedWords at, difference_type offset) noexcept {
        return at -= offset;
    }
    friend difference_type operator-(UnalignedWords end, UnalignedWords begin) noexcept {
        return (end.bytes_ - begin.bytes_) / static_cast<difference_type>(sizeof(std::uint64_t));
    }
    [[maybe_unused]] friend auto operator<=>(UnalignedWords, UnalignedWords) = default;

  private:
    const std::uint8_t* bytes_ = nullptr;
};
// The standard library may pick its algorithms by the iterator's concept.
static_assert(std::random_access_iterator<UnalignedWords>);

std::uint8_t* as_bytes(std::vector<std::uint64_t>& words) noexcept {
    return reinterpret_cast<std::uint8_t*>(words.data());
}

// Reads exactly `size` bytes or fails; Cap'n Proto's own stream reader fails the same way.
void read_exactly(kj::InputStream& input, std::uint8_t* buffer, std::size_t size) {
    const std::size_t received = input.tryRead(buffer, size, size);
    KJ_REQUIRE(received == size, "Premature EOF.", size, received);
}

}  // namespace

FramedMessage FramedMessage::from_bytes(std::span<const std::uint8_t> input) {
    const std::uint64_t available_words = input.size() / sizeof(capnp::word);
    KJ_REQUIRE(available_words >= 1, "Message ends prematurely in first word.", input.size());
    const std::uint64_t count = segment_count(input.data());
    const std::uint64_t table = table_words(count);
    KJ_REQUIRE(available_words >= table, "Message ends prematurely in segment table.",
               input.size());
    const std::uint64_t total = table + segment_words(input.data(), count);
    KJ_REQUIRE(available_words >= total, "Message ends prematurely.", input.size(),
               total * sizeof(capnp::word));

    FramedMessage message;
    const auto size = static_cast<std::size_t>(total);
    if (reinterpret_cast<std::uintptr_t>(input.data()) % alignof(capnp::word) == 0) {
        message.words_ = {reinterpret_cast<const capnp::word*>(input.data()), size};
    } else {
        const UnalignedWords first(input.data());
        message.owned_.assign(first, first + static_cast<std::ptrdiff_t>(size));
        message.words_ = {reinterpret_cast<const capnp::word*>(message.owned_.data()), size};
    }
    return message;
}

FramedMessage FramedMessage::from_stream(kj::InputStream& input) {
    FramedMessage message;
    std::vector<std::uint64_t>& words = message.owned_;

    words.resize(1);
    {
        const std::size_t received = input.tryRead(as_bytes(words), 8, 8);
        KJ_REQUIRE(received == 8, "Message ends prematurely in first word.", received);
    }
    const std::uint64_t count = segment_count(as_bytes(words));
    const auto table = static_cast<std::size_t>(table_words(count));
    words.resize(table);
    read_exactly(input, as_bytes(words) + 8, (table - 1) * sizeof(capnp::word));
    const auto total = static_cast<std::size_t>(table + segment_words(as_bytes(words), count));

    // The table may claim far more than the stream will deliver: grow the buffer only as
    // bytes actually arrive.
    std::size_t filled = table;
    while (filled < total) {
        const std::size_t target = std::min(total, filled + std::max(filled, STREAM_CHUNK_WORDS));
        // Exactly: left to itself the vector may double, and hold twice the message at the end.
        words.reserve(target);
        words.resize(target);
        read_exactly(input, as_bytes(words) + filled * sizeof(capnp::word),
                     (target - filled) * sizeof(capnp::word));
        filled = target;
    }
    message.words_ = {reinterpret_cast<const capnp::word*>(words.data()), words.size()};
    return message;
}

}  // namespace vexa_package::detail
