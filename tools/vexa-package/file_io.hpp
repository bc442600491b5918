#pragma once

#include <cstdint>
#include <expected>
#include <span>
#include <string>
#include <string_view>

#include "vexa_package/constants.hpp"

namespace vexa_cli {

/// The path that stands for standard input or standard output.
inline constexpr std::string_view STANDARD_STREAM = "-";

/// How a path is named in messages: "standard input" for `-`, else the path.
[[nodiscard]] std::string input_name(std::string_view path);
/// How an output path is named in messages: "standard output" for `-`, else the path.
[[nodiscard]] std::string output_name(std::string_view path);

/// Reads a whole file, or standard input for `-`. The error says what failed, with the
/// system's reason ("cannot open: No such file or directory").
[[nodiscard]] std::expected<vexa_package::Bytes, std::string> read_input(const std::string& path);

/// Writes `contents` to `path` completely or not at all: into a temporary file in the same
/// directory, which is then renamed over `path` (over the file a link points to), so an
/// existing file is replaced only on success. `-` writes to standard output; a device or a
/// pipe such as /dev/null is written directly.
[[nodiscard]] std::expected<void, std::string> write_output(const std::string& path,
                                                            std::span<const std::uint8_t> contents);
[[nodiscard]] std::expected<void, std::string> write_output(const std::string& path,
                                                            std::string_view contents);

/// Creates a directory and its parents unless it exists already.
[[nodiscard]] std::expected<void, std::string> make_directory(const std::string& path);

}  // namespace vexa_cli
