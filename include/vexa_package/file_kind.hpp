#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace vexa_package {

/// Which of the library's two formats some bytes look like.
enum class FileKind : std::uint8_t {
    /// Neither format, or too little of the message to tell.
    Unknown,
    /// An application package, as `Application::write` stores it.
    ApplicationPackage,
    /// A profile report, as `ProfileReport::write` stores it.
    ProfileReport
};

/// "unknown", "application package" or "profile report".
[[nodiscard]] std::string_view to_string(FileKind kind) noexcept;

/// What the first bytes of an input say about it.
struct FileIdentity {
    /// The format the root of the first message has the shape of.
    FileKind kind = FileKind::Unknown;
    /// Bytes of the first message as its segment table announces them, table included; none
    /// when the input does not begin with a whole segment table of at most 512 segments. An
    /// input shorter than this is truncated; one longer holds bytes after the message.
    std::optional<std::uint64_t> message_bytes;

    /// Field-by-field equality.
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

/// Tells, from the stream framing and the shape of the root struct alone, whether `bytes`
/// hold an application package, a profile report or neither. Neither format carries a magic
/// number and both roots begin with a 32-bit version, so this is a heuristic: a package's
/// root has two data words and nine pointers, a report's two data words and one pointer;
/// versions and contents are not looked at, nor is anything read past the root pointer.
/// `Application::read` and `ProfileReport::read` do not use it and decide for themselves.
/// Never fails and allocates nothing.
[[nodiscard]] FileIdentity identify_file(std::span<const std::uint8_t> bytes) noexcept;

}  // namespace vexa_package
