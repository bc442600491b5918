#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "json/json_document.hpp"
#include "vexa_package/constants.hpp"

namespace vexa_cli {

/// The place of a value in a JSON document, as a chain of fields and list indices that lives
/// on the stack of the conversion; it is spelled out ("tiles[2].segments[0].address") only
/// when something is wrong.
class JsonPath {
  public:
    /// The document itself.
    JsonPath() = default;

    [[nodiscard]] JsonPath field(std::string_view name) const { return {this, name, 0}; }
    [[nodiscard]] JsonPath index(std::size_t position) const { return {this, {}, position}; }

    /// "tiles[2].segments[0].address", or "top level" for the document itself.
    [[nodiscard]] std::string text() const;

  private:
    JsonPath(const JsonPath* parent, std::string_view name, std::size_t position)
        : parent_(parent), name_(name), index_(position) {}
    void append_to(std::string& out) const;

    const JsonPath* parent_ = nullptr;
    std::string_view name_;
    std::size_t index_ = 0;
};

/// The first problem met while converting a JSON document into records. Once one is
/// recorded every later read returns a default and records nothing, so a conversion runs
/// to its end and reports the earliest problem, "PATH: what is wrong".
class JsonProblems {
  public:
    void report(const JsonPath& path, std::string_view what);
    [[nodiscard]] bool any() const { return first_.has_value(); }
    [[nodiscard]] const std::string& first() const { return *first_; }

  private:
    std::optional<std::string> first_;
};

/// Reads the fields of one JSON object strictly: the object must have exactly the given
/// fields, each of the type asked for. Integers are JSON numbers or "0x" hexadecimal
/// strings; byte lists are base64 strings or {"hex": "..."} objects.
class JsonObject {
  public:
    JsonObject(const JsonValue& value, const JsonPath& path, JsonProblems& problems,
               std::span<const std::string_view> fields);

    [[nodiscard]] std::uint32_t u32(std::string_view name);
    [[nodiscard]] std::uint64_t u64(std::string_view name);
    [[nodiscard]] std::string text(std::string_view name);
    [[nodiscard]] vexa_package::Bytes bytes(std::string_view name);
    [[nodiscard]] std::vector<std::uint32_t> u32_list(std::string_view name);

    /// A nested record, converted by `convert(value, path, problems)`.
    template <typename Convert>
    [[nodiscard]] auto record(std::string_view name, Convert convert) {
        using Record =
            std::invoke_result_t<Convert, const JsonValue&, const JsonPath&, JsonProblems&>;
        const JsonPath path = path_.field(name);
        const JsonValue* value = find(name, path);
        return value == nullptr ? Record{} : convert(*value, path, problems_);
    }

    /// A list of records, each converted by `convert(value, path, problems)`.
    template <typename Convert>
    [[nodiscard]] auto list(std::string_view name, Convert convert) {
        using Record =
            std::invoke_result_t<Convert, const JsonValue&, const JsonPath&, JsonProblems&>;
        std::vector<Record> records;
        const JsonPath path = path_.field(name);
        const JsonValue* value = find_array(name, path);
        if (value != nullptr) {
            records.reserve(value->size());
            for (std::size_t i = 0; i < value->size() && !problems_.any(); ++i) {
                records.push_back(convert((*value)[i], path.index(i), problems_));
            }
        }
        return records;
    }

  private:
    // The field's value, or null (with the problem recorded) when it is missing.
    const JsonValue* find(std::string_view name, const JsonPath& path);
    const JsonValue* find_array(std::string_view name, const JsonPath& path);

    const JsonValue* object_;
    const JsonPath& path_;
    JsonProblems& problems_;
};

/// A short description of a value that is not what was asked for: a number or a short
/// string as written, else its type ("an object").
[[nodiscard]] std::string describe_value(const JsonValue& value);

/// Reads an unsigned integer of at most `bits` bits (32 or 64) from a JSON number or a "0x"
/// hexadecimal string, recording a problem for anything else.
[[nodiscard]] std::uint64_t read_unsigned(const JsonValue& value, const JsonPath& path,
                                          JsonProblems& problems, unsigned bits);

}  // namespace vexa_cli
