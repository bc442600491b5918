#pragma once

#include <string>
#include <vector>

#include "json/json_document.hpp"
#include "vexa_package/application.hpp"

namespace vexa_cli {

/// One difference between two packages.
struct PackageChange {
    enum class Kind { Added, Removed, Changed };
    /// The record: "tile 3", "tile 0 segment 0x4c000", "weight w", "host call fetch", ...;
    /// empty for the package itself.
    std::string where;
    Kind kind = Kind::Changed;
    /// For `Changed`: the field and its two values.
    std::string field = {};
    JsonOutput old_value = {};
    JsonOutput new_value = {};
    /// Sizes and counts also show new minus old.
    bool has_delta = false;
    /// An address or a word: text shows it in hexadecimal, JSON as the integer.
    bool hex = false;
};

/// What changed from `old` to `now`, record by record: tiles by physical tile, segments by
/// address (content by a hash of the data), bindings by list and name, host pages by index,
/// host calls and entry points by name, configuration writes by offset. A key given twice is
/// matched occurrence by occurrence. Empty when the packages are equal.
[[nodiscard]] std::vector<PackageChange> package_diff(const vexa_package::Application& old,
                                                      const vexa_package::Application& now);

/// 64-bit FNV-1a of the bytes, as 16 hexadecimal digits.
[[nodiscard]] std::string content_hash(std::span<const std::uint8_t> bytes);

}  // namespace vexa_cli
