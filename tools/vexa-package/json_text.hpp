#pragma once

#include <string>

#include "json_document.hpp"

namespace vexa_cli {

/// JSON text for people and tools alike: an object or list that fits on one line of 100
/// characters stays on one line, anything larger is indented by two spaces per level.
/// `compact` gives everything on one line instead. Ends with a line break.
[[nodiscard]] std::string json_text(const JsonOutput& value, bool compact);

}  // namespace vexa_cli
