#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "capnp_boundary.hpp"

namespace vexa_package::detail {

/// Where Cap'n Proto's default message builder (a first segment of 1024 words, each later one
/// as large as all before it together) puts each object of a message, worked out from object
/// sizes alone. Fed the objects in the order a build allocates them, it yields the exact
/// segments that build fills, so the message can be built once, straight into memory of its
/// final size, with the bytes the default builder gives.
///
/// Each placing call takes the segment that holds the pointer to the new object and returns
/// the segment the object lands in, which then holds the pointers inside that object. An
/// object the build refuses (a list or text too long for the format) ends the plan: the
/// build stops there with its own error, so nothing after it is placed.
class SegmentPlan {
  public:
    using SegmentId = std::uint32_t;

    /// A plan holding only the root pointer, in segment 0.
    SegmentPlan();

    /// The root struct, of `words` words.
    SegmentId place_root(std::uint64_t words) { return place(0, words); }
    /// A struct of `words` words.
    SegmentId place_struct(SegmentId pointer, std::uint64_t words) { return place(pointer, words); }
    /// A list of `count` structs of `words_per_element` words each, behind its tag word.
    SegmentId place_struct_list(SegmentId pointer, std::size_t count,
                                std::uint64_t words_per_element) {
        // The builder refuses a list whose elements outgrow a segment before placing it.
        if (count > MAX_LIST_ELEMENTS || count * words_per_element > MAX_SEGMENT_WORDS - 1)
            [[unlikely]] {
            refuse();
            return pointer;
        }
        return place(pointer, count * words_per_element + 1);
    }
    /// A list of `count` 32-bit values.
    void place_u32_list(SegmentId pointer, std::size_t count) {
        if (count > MAX_LIST_ELEMENTS) [[unlikely]] {
            refuse();
            return;
        }
        place(pointer, (count + 1) / 2);
    }
    /// A text of `size` bytes, with its NUL terminator.
    void place_text(SegmentId pointer, std::size_t size) {
        if (size >= MAX_LIST_ELEMENTS) [[unlikely]] {
            refuse();
            return;
        }
        place(pointer, text_words(size));
    }
    /// The words of a text of `size` bytes, with its NUL terminator.
    static constexpr std::uint64_t text_words(std::size_t size) {
        return (size + BYTES_PER_WORD) / BYTES_PER_WORD;
    }

    /// Objects of `words` words in all, none of them one that the build refuses, each with
    /// its pointer in the segment `pointer` names or in one of the others. When they fit into
    /// that segment together, each lands there, as when placed one by one: places them all and
    /// returns true. Otherwise places nothing and returns false.
    bool place_together(SegmentId pointer, std::uint64_t words) {
        Segment& segment = segments_[pointer];
        if (words <= segment.capacity - segment.used) [[likely]] {
            segment.used += words;
            return true;
        }
        return false;
    }
    /// A byte list of `size` bytes.
    void place_data(SegmentId pointer, std::size_t size) {
        if (size > MAX_LIST_ELEMENTS) [[unlikely]] {
            refuse();
            return;
        }
        place(pointer, (size + BYTES_PER_WORD - 1) / BYTES_PER_WORD);
    }

    /// The words each segment holds, in segment order.
    [[nodiscard]] std::vector<std::uint32_t> segment_words() const;

  private:
    // Cap'n Proto's segments hold at most 2^29 - 1 words.
    static constexpr std::uint64_t MAX_SEGMENT_WORDS = (std::uint64_t{1} << 29) - 1;
    static constexpr std::uint64_t BYTES_PER_WORD = 8;

    struct Segment {
        std::uint64_t capacity;
        std::uint64_t used;
    };

    // The builder first tries the segment holding the pointer.
    SegmentId place(SegmentId pointer, std::uint64_t words) {
        Segment& segment = segments_[pointer];
        if (words <= segment.capacity - segment.used) [[likely]] {
            segment.used += words;
            return pointer;
        }
        return place_elsewhere(words);
    }
    SegmentId place_elsewhere(std::uint64_t words);
    void refuse();

    std::vector<Segment> segments_;
    SegmentId with_space_ = 0;
    std::uint64_t next_capacity_;
    bool refused_ = false;
};

}  // namespace vexa_package::detail
