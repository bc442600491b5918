#include <cstddef>
#include <ostream>
#include <type_traits>
#include <variant>

#include "render_support.hpp"
#include "vexa_package/error.hpp"

namespace vexa_package {
namespace {

// Whether alternative number `kind` of `Variant` is `T`.
template <typename Variant, PackageError::Kind kind, typename T>
constexpr bool alternative_is =
    std::is_same_v<std::variant_alternative_t<static_cast<std::size_t>(kind), Variant>, T>;

std::string describe_utf8(const Utf8Error& error) {
    if (error.error_len) {
        return "invalid utf-8 sequence of " + std::to_string(*error.error_len) +
               " bytes from index " + std::to_string(error.valid_up_to);
    }
    return "incomplete utf-8 byte sequence from index " + std::to_string(error.valid_up_to);
}

}  // namespace

PackageError::PackageError(kj::Exception exception) : value_(std::move(exception)) {}
PackageError::PackageError(std::error_code error) : value_(error) {}
PackageError::PackageError(Utf8Error error) : value_(error) {}
PackageError::PackageError(NotInSchema value) : value_(value.value) {}
PackageError::PackageError(InvalidText text) : value_(std::move(text)) {}

PackageError PackageError::invalid(std::string message) {
    return PackageError(InvalidText{std::move(message)});
}

PackageError::Kind PackageError::kind() const noexcept {
    // The kind is the index of the held alternative, so the alternatives follow Kind's order.
    using Value = decltype(value_);
    static_assert(std::variant_size_v<Value> == static_cast<std::size_t>(Kind::Invalid) + 1);
    static_assert(alternative_is<Value, Kind::Capnp, kj::Exception> &&
                  alternative_is<Value, Kind::Io, std::error_code> &&
                  alternative_is<Value, Kind::Utf8, Utf8Error> &&
                  alternative_is<Value, Kind::SchemaEnum, std::uint16_t> &&
                  alternative_is<Value, Kind::Invalid, InvalidText>);
    return static_cast<Kind>(value_.index());
}

const kj::Exception* PackageError::capnp() const noexcept {
    return std::get_if<kj::Exception>(&value_);
}
const std::error_code* PackageError::io() const noexcept {
    return std::get_if<std::error_code>(&value_);
}
const Utf8Error* PackageError::utf8() const noexcept {
    return std::get_if<Utf8Error>(&value_);
}
const std::uint16_t* PackageError::schema_enum() const noexcept {
    return std::get_if<std::uint16_t>(&value_);
}

std::string PackageError::message() const {
    switch (kind()) {
        case Kind::Capnp:
            return std::string(capnp()->getDescription().cStr());
        case Kind::Io:
            return io()->message();
        case Kind::Utf8:
            return describe_utf8(*utf8());
        case Kind::SchemaEnum:
            return "enum value not in schema: " + std::to_string(*schema_enum());
        case Kind::Invalid:
            return std::get<InvalidText>(value_).text;
    }
    return {};
}

std::string_view kind_name(PackageError::Kind kind) noexcept {
    switch (kind) {
        case PackageError::Kind::Capnp:
            return "Capnp";
        case PackageError::Kind::Io:
            return "Io";
        case PackageError::Kind::Utf8:
            return "Utf8";
        case PackageError::Kind::SchemaEnum:
            return "SchemaEnum";
        case PackageError::Kind::Invalid:
            return "Invalid";
    }
    return "Unknown";
}

std::ostream& operator<<(std::ostream& out, const PackageError& error) {
    out << kind_name(error.kind()) << '(';
    switch (error.kind()) {
        case PackageError::Kind::Invalid:
            detail::render_text(out, error.message());
            break;
        case PackageError::Kind::SchemaEnum:
            out << *error.schema_enum();
            break;
        default:
            out << error.message();
    }
    return out << ')';
}

std::string to_string(const PackageError& error) {
    return detail::render_to_string(error);
}

}  // namespace vexa_package
