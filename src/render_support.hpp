#pragma once

#include <cstdint>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "vexa_package/record_fields.hpp"

namespace vexa_package::detail {

/// Writes a text in double quotes, escaping quotes, backslashes and control characters so
/// that the rendering stays on one line and shows where a text ends.
void render_text(std::ostream& out, std::string_view text);

inline void render_value(std::ostream& out, const std::string& text) {
    render_text(out, text);
}
// Bytes render as numbers, never as characters.
inline void render_value(std::ostream& out, std::uint8_t value) {
    out << static_cast<unsigned>(value);
}
inline void render_value(std::ostream& out, std::uint32_t value) {
    out << value;
}
inline void render_value(std::ostream& out, std::uint64_t value) {
    out << value;
}
// Records and enumerations render through their own operator<<.
template <typename T>
void render_value(std::ostream& out, const T& value) {
    out << value;
}

template <typename T>
void render_value(std::ostream& out, const std::vector<T>& values) {
    out << '[';
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i != 0) {
            out << ", ";
        }
        render_value(out, values[i]);
    }
    out << ']';
}

/// Renders `Name { field: value, other: value }`: the record name, then each field in the
/// order they are added.
class RecordRenderer {
  public:
    RecordRenderer(std::ostream& out, std::string_view name) : out_(out) { out_ << name << " {"; }

    template <typename T>
    RecordRenderer& field(std::string_view name, const T& value) {
        out_ << (first_ ? " " : ", ") << name << ": ";
        render_value(out_, value);
        first_ = false;
        return *this;
    }

    std::ostream& finish() { return out_ << (first_ ? "}" : " }"); }

  private:
    std::ostream& out_;
    bool first_ = true;
};

/// Renders a record through its field table: its name, then every field in declaration order.
template <ModelRecord Record>
std::ostream& render_record(std::ostream& out, const Record& record) {
    RecordRenderer renderer(out, record_name<Record>);
    for_each_field(
        record, [&](const auto& field, const auto& value) { renderer.field(field.name, value); });
    return renderer.finish();
}

/// `to_string` of anything with an operator<<.
template <typename T>
std::string render_to_string(const T& value) {
    std::ostringstream out;
    out << value;
    return std::move(out).str();
}

}  // namespace vexa_package::detail
