#pragma once

#include <CLI/CLI.hpp>

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
inline constexpr std::string_view UNWRAPPING =
    "Each tile's 32-bit cycle counter is unwrapped in sample order: a start below the one\n"
    "before it is taken as a counter wrap, which assumes the samples of a tile are listed in\n"
    "the order they started and that consecutive starts lie less than 2^32 cycles apart.\n"
    "Durations are end - start modulo 2^32.";

/// Sets the text shown after the options; help ends with a line break after it too.
void footer(CLI::App& command, const std::string& text);

/// A required positional input file.
CLI::Option* add_input(CLI::App& command, const std::string& name, std::string& path,
                       const std::string& what);

/// `-o,--output FILE`.
CLI::Option* add_output(CLI::App& command, std::string& path, const std::string& what);

}  // namespace vexa_cli
