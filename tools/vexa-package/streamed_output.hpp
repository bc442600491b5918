#pragma once

#include <expected>
#include <string>
#include <string_view>

namespace vexa_cli {

/// An output written piece by piece, so its size never has to fit in memory. A file is
/// written beside its final name and renamed over it by `commit`, so an existing file is
/// replaced only on success; `-` writes to standard output as it goes.
class StreamedOutput {
  public:
    /// Creates the temporary file; the error says why it could not be.
    [[nodiscard]] static std::expected<StreamedOutput, std::string> open(const std::string& path);

    StreamedOutput(StreamedOutput&& other) noexcept;
    StreamedOutput& operator=(StreamedOutput&&) = delete;
    StreamedOutput(const StreamedOutput&) = delete;
    StreamedOutput& operator=(const StreamedOutput&) = delete;
    /// Removes the temporary file unless it was committed.
    ~StreamedOutput();

    /// Buffers the text, writing whenever enough has gathered; the first failure is kept
    /// and reported by `commit`.
    void write(std::string_view text);
    /// Writes what is left and puts the file in place.
    [[nodiscard]] std::expected<void, std::string> commit();

  private:
    StreamedOutput(std::string path, std::string temporary, int fd);
    void drain();

    std::string path_;
    std::string temporary_;
    int fd_ = -1;
    std::string buffer_;
    std::string error_;
};

}  // namespace vexa_cli
