#pragma once

#include <cstddef>
#include <string>

#include "json/json_document.hpp"

namespace vexa_cli {

/// JSON text for people and tools alike: an object or list that fits on one line of 100
/// characters stays on one line, anything larger is indented by two spaces per level.
/// `compact` gives everything on one line instead. Ends with a line break.
[[nodiscard]] std::string json_text(const JsonOutput& value, bool compact);

/// Appends `value` as `json_text` lays it out where it stands `depth` levels deep in a larger
/// document (without a line break at the end), so that a large document can be written piece
/// by piece.
void append_json_text(const JsonOutput& value, std::size_t depth, std::string& out);

}  // namespace vexa_cli
