#pragma once

#include <CLI/CLI.hpp>

#include <cstddef>
#include <string>
#include <string_view>

namespace vexa_cli {

/// How the JSON of dump and pack spells a package.
inline constexpr std::string_view JSON_FORM =
    "The JSON holds every field under its model name (compiler_version, tiles, physical_tile,\n"
    "segments, address, memory_size, data, flags, ...). Integers are JSON numbers, exact up\n"
    "to 2^64-1; pack also takes them as \"0x...\" hexadecimal strings. Segment data is a\n"
    "base64 string, or {\"hex\": \"...\"}. pack is strict: every field is required and no\n"
    "other field is allowed, and an error names the line and column of a syntax error or\n"
    "the path of the wrong field (tiles[2].segments[0].address: ...).";

/// How the profile commands place samples in time.
inline constexpr std::string_view DEVICE_TIMELINE =
    "Times are cycles on one device timeline that all tiles share. Each 32-bit start is put\n"
    "at the 64-bit cycle nearest the start before it on its tile (a tile's first sample:\n"
    "nearest the report's first start), so samples may be listed out of order and counters\n"
    "may wrap; this is exact while those distances stay below 2^31 cycles, and a warning\n"
    "names the first sample where it may not be. The report's first sample starts at cycle\n"
    "2^32 + its stored start_cycle, so no sample lies below 0. Durations are end_cycle -\n"
    "start_cycle modulo 2^32.";

/// Width of the help texts' paragraphs.
inline constexpr std::size_t HELP_WIDTH = 88;

/// `text` broken into lines of at most `width` columns at its spaces, for help paragraphs
/// that are made up rather than written out (a word longer than the width stays whole).
[[nodiscard]] std::string wrapped(std::string_view text, std::size_t width = HELP_WIDTH);

/// Sets the text shown after the options; help ends with a line break after it too.
void footer(CLI::App& command, const std::string& text);

/// A required positional input file.
CLI::Option* add_input(CLI::App& command, const std::string& name, std::string& path,
                       const std::string& what);

/// `-o,--output FILE`.
CLI::Option* add_output(CLI::App& command, std::string& path, const std::string& what);

/// `-o,--output FILE` for binary data: standard output when not given, but never a terminal
/// unless asked for with `-o -`.
CLI::Option* add_binary_output(CLI::App& command, std::string& path, const std::string& what);

}  // namespace vexa_cli
