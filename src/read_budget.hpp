#pragma once

#include <cstddef>
#include <cstdint>

namespace vexa_package::detail {

/// What one read may allocate for what it makes of a message: the records its lists become,
/// the copies of its texts and byte lists, and the working memory of validation. It allows
/// 12 bytes per byte of the message plus 768 KiB. What a read takes besides stays below 4
/// bytes per byte plus 256 KiB: Cap'n Proto's tables of up to 512 segments, the package
/// header's target, copied and let go before anything else is made, and an error text that
/// names a stored text, which takes up to three times that text while it is put together. So
/// a read never takes more than 16 times its message plus 1 MiB beyond the message and its
/// one aligning copy.
///
/// Each list is charged when it is fetched, before its records are made, at the size of the
/// records its elements become. Cap'n Proto's traversal limit charges an element that takes
/// no words in the message only one word, yet it becomes a record of up to 144 bytes; a
/// message of 128 KiB could claim 15 MiB of records, a 64 MiB one gigabytes. Messages that
/// the library's writers produce take at most about 7 bytes per byte (a configuration write
/// is 8 bytes in a message and 56 with its record and validation's slot for it), so none is
/// refused.
///
/// A read that would go over fails with the error of Cap'n Proto's traversal limit, which
/// this is: the same limit on reading a message, counted in what reading it costs.
class ReadBudget {
  public:
    explicit ReadBudget(std::size_t message_words) noexcept;

    /// Charges `count` items of `bytes` each, or fails when they do not fit what is left.
    void charge(std::uint64_t count, std::uint64_t bytes);
    /// Charges a copy of a text or byte list of `size` bytes, with room for a terminator.
    void charge_copy(std::uint64_t size) { charge(1, size + 1); }

  private:
    std::uint64_t left_;
};

}  // namespace vexa_package::detail
