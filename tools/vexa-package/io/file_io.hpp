#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "vexa_package/constants.hpp"

namespace vexa_cli {

/// The path that stands for standard input or standard output.
inline constexpr std::string_view STANDARD_STREAM = "-";

/// How a path is named in messages: "standard input" for `-`, else the path.
[[nodiscard]] std::string input_name(std::string_view path);
/// How an output path is named in messages: "standard output" for `-` and for an output not
/// given (empty), else the path.
[[nodiscard]] std::string output_name(std::string_view path);

/// What an output must not be. An output path that is empty stands for standard output by
/// default, `-` for standard output asked for by name.
struct OutputRules {
    /// The command's inputs: an output that is the same file as one of them (the same device
    /// and inode, however it is spelt or linked; for `-` whatever standard input or output
    /// is) is refused before anything is written, so an input is never overwritten.
    std::vector<std::string> inputs;
    /// Binary data goes to a terminal only when standard output was asked for by name.
    bool binary = false;
};

/// Why an output was not opened or written; `usage` when the command line asked for
/// something refused (exit status 2) rather than the system failing.
struct OutputFailure {
    std::string what;
    bool usage = false;
};

/// Whether two output paths would write the same file: both standard output, the same
/// existing file, or the same place once links are followed.
[[nodiscard]] bool same_path(const std::string& first, const std::string& second);

/// Checks `path` against `rules` without opening anything.
[[nodiscard]] std::expected<void, OutputFailure> check_output(const std::string& path,
                                                              const OutputRules& rules);

/// Reads a whole file, or standard input for `-`. The error says what failed, with the
/// system's reason ("cannot open: No such file or directory").
[[nodiscard]] std::expected<vexa_package::Bytes, std::string> read_input(const std::string& path);

/// The one way the tool writes an output, piece by piece: a regular file appears under its
/// name, complete, only when `commit` succeeds; until then it is a temporary file beside it,
/// removed if the output is dropped, and it replaces the old file (the file a link points
/// to) with its permissions kept. Standard output, devices and pipes are written in place as
/// the pieces come. Pieces are gathered into large writes.
class OutputFile {
  public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    /// Opens `path` (`-` or empty: standard output) for writing, once `rules` allow it.
    [[nodiscard]] std::expected<void, OutputFailure> open(const std::string& path,
                                                          const OutputRules& rules);
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

/// Writes `contents` to `path` through an `OutputFile`: completely or not at all.
[[nodiscard]] std::expected<void, OutputFailure> write_output(
    const std::string& path, std::span<const std::uint8_t> contents, const OutputRules& rules);
[[nodiscard]] std::expected<void, OutputFailure> write_output(const std::string& path,
                                                              std::string_view contents,
                                                              const OutputRules& rules);

/// Creates a directory and its parents unless it exists already.
[[nodiscard]] std::expected<void, std::string> make_directory(const std::string& path);

}  // namespace vexa_cli
