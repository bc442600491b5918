#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "vexa_package/file_kind.hpp"

namespace vexa_cli {

/// What is wrong with a whole input file that the library could not read as `expected`, in
/// plain words: empty, text or JSON where a binary file was expected (naming the command that
/// reads it), the other format, or fewer bytes than its header announces. None when nothing
/// at the file level explains the failure; the library's own error then says it best.
[[nodiscard]] std::optional<std::string> file_problem(std::span<const std::uint8_t> bytes,
                                                      vexa_package::FileKind expected);

/// Bytes after the first message, which readers leave unread; 0 when there are none or the
/// framing cannot be read.
[[nodiscard]] std::uint64_t trailing_bytes(std::span<const std::uint8_t> bytes);

}  // namespace vexa_cli
