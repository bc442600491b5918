#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace vexa_cli {

/// "0x4c000": lowercase hexadecimal with the prefix, no leading zeros.
[[nodiscard]] std::string hex_number(std::uint64_t value);

/// A text from a file made safe for one line of a terminal: control characters appear as
/// escapes ("\n", "\x1b"), everything else as it is; an empty text appears as "-".
[[nodiscard]] std::string printable(std::string_view text);

/// Sorted, distinct numbers as ranges: "0-3, 7, 9-10"; "-" when there are none.
[[nodiscard]] std::string number_ranges(std::span<const std::uint32_t> sorted_numbers);

/// A list of numbers as "1, 2, 3"; "-" when empty.
[[nodiscard]] std::string number_list(std::span<const std::uint32_t> numbers);

/// A count with its noun, plural unless the count is 1: "1 tile", "6 tiles".
[[nodiscard]] std::string counted(std::size_t count, std::string_view noun);

/// A share as a percentage with one decimal ("12.5%"); "-" when `whole` is 0.
[[nodiscard]] std::string percent(std::uint64_t part, std::uint64_t whole);

/// A duration or a point in time given in seconds, in the unit that suits it: "850 ns",
/// "12.4 µs", "3.21 ms", "1.50 s".
[[nodiscard]] std::string seconds_text(double seconds);

/// A clock frequency: "1.2 GHz", "800 MHz".
[[nodiscard]] std::string frequency_text(std::uint64_t hertz);

}  // namespace vexa_cli
