#include "placed_message.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <span>
#include <vector>

#include <kj/debug.h>

namespace vexa_package::detail {
namespace {

constexpr std::size_t WORD_BYTES = sizeof(capnp::word);

// Stream framing: the segment count minus one and each segment's size in words, as 32-bit
// little-endian values, padded to whole words.
std::size_t table_words(std::size_t segment_count) {
    return (segment_count + 2) / 2;
}

void store_u32(std::uint8_t* out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

/// Hands the builder the planned segments, one after the other, from zeroed memory that
/// holds all of them back to back.
class PlacedMessageBuilder final : public capnp::MessageBuilder {
  public:
    PlacedMessageBuilder(capnp::word* segments, std::span<const std::uint32_t> sizes) noexcept
        : next_segment_(segments), sizes_(sizes) {}

    kj::ArrayPtr<capnp::word> allocateSegment(unsigned minimum_size) override {
        KJ_REQUIRE(handed_out_ < sizes_.size() && minimum_size <= sizes_[handed_out_],
                   "Message outgrows its planned segments.", handed_out_, minimum_size);
        const auto segment = kj::arrayPtr(next_segment_, sizes_[handed_out_]);
        next_segment_ += sizes_[handed_out_];
        ++handed_out_;
        return segment;
    }

    /// A build that left a planned segment partly empty or unopened would give other bytes
    /// than the default builder; fail rather than write them.
    void check_filled() {
        const auto segments = getSegmentsForOutput();
        KJ_ASSERT(segments.size() == sizes_.size(), "Message has other segments than planned.");
        for (std::size_t i = 0; i < sizes_.size(); ++i) {
            KJ_ASSERT(segments[i].size() == sizes_[i], "Message segment differs from its plan.", i,
                      segments[i].size(), sizes_[i]);
        }
    }

  private:
    capnp::word* next_segment_;
    std::span<const std::uint32_t> sizes_;
    std::size_t handed_out_ = 0;
};

std::size_t message_words(std::span<const std::uint32_t> sizes) {
    std::size_t words = table_words(sizes.size());
    for (const std::uint32_t size : sizes) {
        words += size;
    }
    return words;
}

/// Builds the framed message into `message`: zeroed, word-aligned and `message_words` long.
void build_framed(std::uint8_t* message, std::span<const std::uint32_t> sizes,
                  kj::FunctionParam<void(capnp::MessageBuilder&)>& build) {
    const std::size_t table_bytes = table_words(sizes.size()) * WORD_BYTES;
    PlacedMessageBuilder builder(reinterpret_cast<capnp::word*>(message + table_bytes), sizes);
    build(builder);
    builder.check_filled();
    store_u32(message, static_cast<std::uint32_t>(sizes.size() - 1));
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        store_u32(message + 4 * (i + 1), sizes[i]);
    }
}

/// Zeroed words of its own, for a message whose final place is not word-aligned or not ours.
class ZeroedWords {
  public:
    explicit ZeroedWords(std::size_t words)
        : words_(static_cast<std::uint8_t*>(std::calloc(words, WORD_BYTES))) {
        KJ_REQUIRE(words_ != nullptr, "Out of memory for a message.", words);
    }

    [[nodiscard]] std::uint8_t* data() const noexcept { return words_.get(); }

  private:
    struct Free {
        void operator()(std::uint8_t* words) const noexcept { std::free(words); }
    };
    std::unique_ptr<std::uint8_t[], Free> words_;
};

}  // namespace

void write_placed(Bytes& output, const SegmentPlan& plan,
                  kj::FunctionParam<void(capnp::MessageBuilder&)> build) {
    const std::vector<std::uint32_t> sizes = plan.segment_words();
    const std::size_t words = message_words(sizes);
    const std::size_t start = output.size();
    KJ_REQUIRE(words <= (output.max_size() - start) / WORD_BYTES, "Message is too large.", words);
    const std::size_t bytes = words * WORD_BYTES;
    // Grow geometrically: reserving exactly what each message needs would copy the whole
    // buffer again for every message appended to it.
    if (bytes > output.capacity() - start) {
        output.reserve(std::max(start + bytes, 2 * output.capacity()));
    }
    output.resize(start + bytes);
    try {
        std::uint8_t* place = output.data() + start;
        if (reinterpret_cast<std::uintptr_t>(place) % alignof(capnp::word) == 0) {
            build_framed(place, sizes, build);
        } else {
            // The builder needs whole words: build beside the buffer and copy.
            const ZeroedWords aligned(words);
            build_framed(aligned.data(), sizes, build);
            std::memcpy(place, aligned.data(), bytes);
        }
    } catch (...) {
        output.resize(start);
        throw;
    }
}

void write_placed(kj::OutputStream& output, const SegmentPlan& plan,
                  kj::FunctionParam<void(capnp::MessageBuilder&)> build) {
    const std::vector<std::uint32_t> sizes = plan.segment_words();
    const std::size_t words = message_words(sizes);
    KJ_REQUIRE(words <= std::numeric_limits<std::size_t>::max() / WORD_BYTES,
               "Message is too large.", words);
    const ZeroedWords message(words);
    build_framed(message.data(), sizes, build);
    output.write(message.data(), words * WORD_BYTES);
}

}  // namespace vexa_package::detail
