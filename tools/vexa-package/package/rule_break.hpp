#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vexa_cli {

/// The first rule a model breaks, as the library words it and as the tool locates it.
struct RuleBreak {
    /// The library's message for this break, exactly.
    std::string message;
    /// "PATH: what is wrong, with the values and the bound".
    std::string location;
};

/// The break with `message`, located as "PATH: WHY".
[[nodiscard]] RuleBreak located(std::string message, const std::string& path,
                                const std::string& why);

/// "tiles[2]": one element of a list named by its path.
[[nodiscard]] std::string element(std::string_view list, std::size_t position);

/// The exclusive end of `length` bytes from `start` in hexadecimal, exact even when the sum
/// does not fit in 64 bits ("0x10000000000000003").
[[nodiscard]] std::string end_text(std::uint64_t start, std::uint64_t length);

}  // namespace vexa_cli
