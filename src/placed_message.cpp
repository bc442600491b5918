#include "placed_message.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <span>
#include <vector>

#include <capnp/serialize.h>
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

void store_table(std::uint8_t* out, std::span<const std::uint32_t> sizes) {
    store_u32(out, static_cast<std::uint32_t>(sizes.size() - 1));
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        store_u32(out + 4 * (i + 1), sizes[i]);
    }
}

std::size_t message_words(std::span<const std::uint32_t> sizes) {
    std::size_t words = table_words(sizes.size());
    for (const std::uint32_t size : sizes) {
        words += size;
    }
    return words;
}

// Thrown out of a build that asks for a segment its plan does not hold.
struct OffPlan {};

/// Hands the builder the planned segments, one after the other, from zeroed memory that
/// holds all of them back to back.
class PlacedMessageBuilder final : public capnp::MessageBuilder {
  public:
    PlacedMessageBuilder(capnp::word* segments, std::span<const std::uint32_t> sizes) noexcept
        : next_segment_(segments), sizes_(sizes) {}

    kj::ArrayPtr<capnp::word> allocateSegment(unsigned minimum_size) override {
        if (handed_out_ == sizes_.size() || minimum_size > sizes_[handed_out_]) [[unlikely]] {
            throw OffPlan{};
        }
        const auto segment = kj::arrayPtr(next_segment_, sizes_[handed_out_]);
        next_segment_ += sizes_[handed_out_];
        ++handed_out_;
        return segment;
    }

    /// Whether the build filled the planned segments exactly. One that left a segment partly
    /// empty or unopened was laid out otherwise than by the default builder.
    [[nodiscard]] bool filled_as_planned() {
        const auto segments = getSegmentsForOutput();
        if (segments.size() != sizes_.size()) {
            return false;
        }
        for (std::size_t i = 0; i < sizes_.size(); ++i) {
            if (segments[i].size() != sizes_[i]) {
                return false;
            }
        }
        return true;
    }

  private:
    capnp::word* next_segment_;
    std::span<const std::uint32_t> sizes_;
    std::size_t handed_out_ = 0;
};

using Build = kj::FunctionParam<void(capnp::MessageBuilder&)>;

/// Builds the framed message into `message`: zeroed, word-aligned and `message_words` long.
/// False, with `message` partly written, when the build strays from the planned segments.
bool build_framed(std::uint8_t* message, std::span<const std::uint32_t> sizes, Build& build) {
    const std::size_t table_bytes = table_words(sizes.size()) * WORD_BYTES;
    PlacedMessageBuilder builder(reinterpret_cast<capnp::word*>(message + table_bytes), sizes);
    try {
        build(builder);
    } catch (const OffPlan&) {
        return false;
    }
    if (!builder.filled_as_planned()) {
        return false;
    }
    store_table(message, sizes);
    return true;
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

/// `words` zeroed words appended to `output`, where the message goes.
std::uint8_t* append_words(Bytes& output, std::size_t words) {
    const std::size_t start = output.size();
    KJ_REQUIRE(words <= (output.max_size() - start) / WORD_BYTES, "Message is too large.", words);
    const std::size_t bytes = words * WORD_BYTES;
    // Grow geometrically: reserving exactly what each message needs would copy the whole
    // buffer again for every message appended to it.
    if (bytes > output.capacity() - start) {
        output.reserve(std::max(start + bytes, 2 * output.capacity()));
    }
    output.resize(start + bytes);
    return output.data() + start;
}

/// Builds the message in the planned segments at the end of `output`; false when the build
/// strays from them, with `output` longer by the planned message's size.
bool build_in_place(Bytes& output, std::span<const std::uint32_t> sizes, Build& build) {
    const std::size_t words = message_words(sizes);
    std::uint8_t* place = append_words(output, words);
    if (reinterpret_cast<std::uintptr_t>(place) % alignof(capnp::word) == 0) {
        return build_framed(place, sizes, build);
    }
    // The builder needs whole words: build beside the buffer and copy.
    const ZeroedWords aligned(words);
    if (!build_framed(aligned.data(), sizes, build)) {
        return false;
    }
    std::memcpy(place, aligned.data(), words * WORD_BYTES);
    return true;
}

/// Builds with Cap'n Proto's default message builder and appends the message in stream
/// framing: the bytes of writing that builder's message out, for a build that strayed from
/// its plan.
void append_default_built(Bytes& output, Build& build) {
    capnp::MallocMessageBuilder message;
    build(message);
    const auto segments = message.getSegmentsForOutput();
    std::vector<std::uint32_t> sizes;
    sizes.reserve(segments.size());
    for (const auto segment : segments) {
        sizes.push_back(static_cast<std::uint32_t>(segment.size()));
    }
    std::uint8_t* place = append_words(output, message_words(sizes));
    store_table(place, sizes);
    place += table_words(sizes.size()) * WORD_BYTES;
    for (const auto segment : segments) {
        std::memcpy(place, segment.begin(), segment.size() * WORD_BYTES);
        place += segment.size() * WORD_BYTES;
    }
}

}  // namespace

void write_placed(Bytes& output, const SegmentPlan& plan, Build build) {
    const std::vector<std::uint32_t> sizes = plan.segment_words();
    const std::size_t start = output.size();
    try {
        if (!build_in_place(output, sizes, build)) {
            output.resize(start);
            append_default_built(output, build);
        }
    } catch (...) {
        output.resize(start);
        throw;
    }
}

void write_placed(kj::OutputStream& output, const SegmentPlan& plan, Build build) {
    const std::vector<std::uint32_t> sizes = plan.segment_words();
    const std::size_t words = message_words(sizes);
    KJ_REQUIRE(words <= std::numeric_limits<std::size_t>::max() / WORD_BYTES,
               "Message is too large.", words);
    {
        const ZeroedWords message(words);
        if (build_framed(message.data(), sizes, build)) {
            output.write(message.data(), words * WORD_BYTES);
            return;
        }
    }
    // The stream still gets the whole message in one write.
    capnp::MallocMessageBuilder message;
    build(message);
    const kj::Array<capnp::word> framed = capnp::messageToFlatArray(message);
    output.write(framed.begin(), framed.size() * WORD_BYTES);
}

}  // namespace vexa_package::detail
