#pragma once

#include <cstddef>

#include <capnp/message.h>

namespace vexa_package::detail {

/// The reader options both readers start from: no traversal limit, so messages of any
/// size are read, and Cap'n Proto's default nesting limit of 64.
[[nodiscard]] capnp::ReaderOptions capnp_reader_options() noexcept;

/// `capnp_reader_options` with the traversal limit set from the size of the message being
/// read. Cap'n Proto charges every list element against this limit, at least one word even
/// for elements that occupy none, so a tiny message can no longer claim hundreds of millions
/// of elements and make the reader allocate their records; real messages, which are read
/// about once each, stay far below it at any size.
[[nodiscard]] capnp::ReaderOptions bounded_reader_options(std::size_t message_words) noexcept;

}  // namespace vexa_package::detail
