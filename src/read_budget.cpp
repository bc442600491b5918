#include "read_budget.hpp"

#include <kj/debug.h>

namespace vexa_package::detail {
namespace {

constexpr std::uint64_t BYTES_PER_MESSAGE_BYTE = 12;
constexpr std::uint64_t ALLOWANCE_BYTES = std::uint64_t{768} << 10;
constexpr std::uint64_t WORD_BYTES = 8;

}  // namespace

// A message has at most 512 segments of fewer than 2^32 words, so this cannot overflow.
ReadBudget::ReadBudget(std::size_t message_words) noexcept
    : left_(std::uint64_t{message_words} * WORD_BYTES * BYTES_PER_MESSAGE_BYTE + ALLOWANCE_BYTES) {}

void ReadBudget::charge(std::uint64_t count, std::uint64_t bytes) {
    if (bytes != 0 && count > left_ / bytes) {
        KJ_FAIL_REQUIRE("Exceeded message traversal limit.  See capnp::ReaderOptions.");
    }
    left_ -= count * bytes;
}

}  // namespace vexa_package::detail
