#pragma once

#include <cstddef>
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

/// An output written piece by piece with the guarantee of `write_output`: a file appears
/// under its name, complete, only when `commit` succeeds; until then it is a temporary file
/// beside it, removed if the output is dropped. Standard output and devices are written as
/// the pieces come. Pieces are gathered into large writes.
class OutputFile {
  public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    /// Opens `path` (`-`: standard output) for writing.
    [[nodiscard]] std::expected<void, std::string> open(const std::string& path);
    /// Appends bytes; the first failure is kept and reported by `commit`.
    void write(std::string_view bytes);
    /// Writes what is left and puts the file in place.
    [[nodiscard]] std::expected<void, std::string> commit();
    /// How many bytes were handed to `write`.
    [[nodiscard]] std::size_t size() const { return size_; }

  private:
    void flush();

    int fd_ = -1;
    bool owns_fd_ = false;
    // Empty when the output is written in place.
    std::string temporary_;
    std::string target_;
    std::string buffer_;
    std::string error_;
    std::size_t size_ = 0;
};

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
