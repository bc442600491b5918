#include "reader_options.hpp"

#include <cstdint>
#include <limits>

namespace vexa_package::detail {
namespace {

// A reader visits each word of a well-formed message about once; four times leaves room for
// messages whose objects are shared between several pointers.
constexpr std::uint64_t TRAVERSAL_FACTOR = 4;
// Small messages may still hold this many empty list elements.
constexpr std::uint64_t TRAVERSAL_ALLOWANCE_WORDS = 1 << 16;

}  // namespace

capnp::ReaderOptions capnp_reader_options() noexcept {
    capnp::ReaderOptions options;
    options.traversalLimitInWords = std::numeric_limits<std::uint64_t>::max();
    options.nestingLimit = 64;
    return options;
}

capnp::ReaderOptions bounded_reader_options(std::size_t message_words) noexcept {
    capnp::ReaderOptions options = capnp_reader_options();
    options.traversalLimitInWords =
        static_cast<std::uint64_t>(message_words) * TRAVERSAL_FACTOR + TRAVERSAL_ALLOWANCE_WORDS;
    return options;
}

}  // namespace vexa_package::detail
