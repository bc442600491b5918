#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <variant>

#include <kj/exception.h>

namespace vexa_package {

/// A text that is not valid UTF-8.
///
/// `valid_up_to` is the number of leading bytes that form valid UTF-8. `error_len` is the
/// length (1 to 3) of the invalid byte sequence that starts there, or empty when the text
/// ended in the middle of an otherwise valid sequence.
struct Utf8Error {
    /// Number of leading bytes that are valid UTF-8.
    std::size_t valid_up_to = 0;
    /// Length of the invalid sequence at `valid_up_to`; empty when the text ended early.
    std::optional<std::size_t> error_len;

    /// Field-by-field equality; texts byte for byte, lists element by element in order.

    friend bool operator==(const Utf8Error&, const Utf8Error&) = default;
};

/// A stored enumeration code that the schema does not define.
struct NotInSchema {
    /// The stored code.
    std::uint16_t value = 0;

    /// Field-by-field equality; texts byte for byte, lists element by element in order.

    friend bool operator==(const NotInSchema&, const NotInSchema&) = default;
};

/// The one error type of the library.
///
/// Holds exactly one of five kinds: a Cap'n Proto error (`Capnp`), an operating-system
/// input/output error (`Io`, produced by no library operation), a UTF-8 decoding failure
/// (`Utf8`), an undefined enumeration code (`SchemaEnum`) or a broken package rule
/// (`Invalid`, a fixed English message).
class PackageError {
  public:
    /// The kinds, in declaration order.
    enum class Kind { Capnp, Io, Utf8, SchemaEnum, Invalid };

    /// A Cap'n Proto error, carried unchanged.
    PackageError(kj::Exception exception);  // NOLINT(google-explicit-constructor)
    /// An operating-system input/output error.
    PackageError(std::error_code error);  // NOLINT(google-explicit-constructor)
    /// A UTF-8 decoding failure.
    PackageError(Utf8Error error);  // NOLINT(google-explicit-constructor)
    /// An enumeration code the schema does not define.
    PackageError(NotInSchema value);  // NOLINT(google-explicit-constructor)

    /// A broken package rule with its fixed message text.
    [[nodiscard]] static PackageError invalid(std::string message);

    /// Which of the five kinds this error is.
    [[nodiscard]] Kind kind() const noexcept;

    /// The Cap'n Proto error of a `Capnp` error, else null.
    [[nodiscard]] const kj::Exception* capnp() const noexcept;
    /// The operating-system error of an `Io` error, else null.
    [[nodiscard]] const std::error_code* io() const noexcept;
    /// The decoding failure of a `Utf8` error, else null.
    [[nodiscard]] const Utf8Error* utf8() const noexcept;
    /// The undefined code of a `SchemaEnum` error, else null.
    [[nodiscard]] const std::uint16_t* schema_enum() const noexcept;

    /// The exact rule text for `Invalid`; a readable description for the other kinds.
    [[nodiscard]] std::string message() const;

  private:
    struct InvalidText {
        std::string text;
    };
    explicit PackageError(InvalidText text);

    std::variant<kj::Exception, std::error_code, Utf8Error, std::uint16_t, InvalidText> value_;
};

/// The name of a kind: "Capnp", "Io", "Utf8", "SchemaEnum" or "Invalid".
[[nodiscard]] std::string_view kind_name(PackageError::Kind kind) noexcept;

/// Renders the kind name and the carried value in parentheses, the text of `Invalid` in
/// double quotes: `Invalid("application has no tiles")`.
std::ostream& operator<<(std::ostream& out, const PackageError& error);
[[nodiscard]] std::string to_string(const PackageError& error);

}  // namespace vexa_package
