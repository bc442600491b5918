#pragma once

#include <expected>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace vexa_cli {

/// A parsed JSON input. Objects are kept in sorted maps, so looking up a field stays cheap
/// however many fields an object has.
using JsonValue = nlohmann::json;
/// JSON built for output, with fields in the order they were added.
using JsonOutput = nlohmann::ordered_json;

/// Sets the text `value` holds to `text`, keeping its storage: a document filled in place for
/// each of millions of rows then allocates only where a text outgrows the one before it.
inline void assign_text(JsonOutput& value, std::string_view text) {
    if (value.is_string()) {
        value.get_ref<std::string&>().assign(text);
    } else {
        value = text;
    }
}

/// Parses one JSON document strictly: nothing may follow it, and no object may give a field
/// twice (a repeated field would otherwise silently replace the first). A syntax error says
/// where it is ("line 3, column 14: syntax error while parsing value - invalid literal"), a
/// repeated field names its path ("tiles[0].segments[1].data: field given twice").
[[nodiscard]] std::expected<JsonValue, std::string> parse_json_document(std::string_view text);

}  // namespace vexa_cli
