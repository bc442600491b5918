#pragma once

#include <string>
#include <string_view>

namespace vexa_cli {

/// A text made safe for XML content and attribute values: markup characters escaped, and
/// characters XML does not allow (most control characters) replaced by U+FFFD.
[[nodiscard]] std::string xml_text(std::string_view text);

/// A coordinate with at most two decimals and no trailing zeros ("12.5", "40").
[[nodiscard]] std::string coordinate(double value);

}  // namespace vexa_cli
