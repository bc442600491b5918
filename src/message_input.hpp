#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include <capnp/common.h>
#include <kj/array.h>

namespace kj {
class InputStream;
}

namespace vexa_package::detail {

/// The words of exactly one message in standard stream framing (segment table, then the
/// segments), taken from the front of the input, ready for `capnp::FlatArrayMessageReader`.
///
/// The segment table is checked against what the input holds before anything is allocated,
/// so a forged table cannot make the reader reserve more memory than the input provides.
/// Failures are thrown as `kj::Exception`, like Cap'n Proto's own framing errors.
class FramedMessage {
  public:
    /// Borrows the message from an 8-byte-aligned buffer and copies it from any other; the
    /// buffer must then outlive the framed message.
    [[nodiscard]] static FramedMessage from_bytes(std::span<const std::uint8_t> input);
    /// Reads exactly the message's bytes from the stream, leaving what follows unread, and
    /// allocates no more than about twice the bytes received so far.
    [[nodiscard]] static FramedMessage from_stream(kj::InputStream& input);

    [[nodiscard]] kj::ArrayPtr<const capnp::word> words() const noexcept { return words_; }

  private:
    std::vector<std::uint64_t> owned_;
    kj::ArrayPtr<const capnp::word> words_;
};

}  // namespace vexa_package::detail
