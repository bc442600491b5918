#include "streamed_output.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "file_io.hpp"

namespace vexa_cli {
namespace {

constexpr std::size_t WRITE_CHUNK = std::size_t{1} << 20;
constexpr int STANDARD_OUTPUT_FD = 1;

std::string reason(std::string_view what) {
    return std::string(what) + ": " + std::strerror(errno);
}

}  // namespace

std::expected<StreamedOutput, std::string> StreamedOutput::open(const std::string& path) {
    if (path == STANDARD_STREAM) {
        std::fflush(stdout);
        return StreamedOutput(path, {}, STANDARD_OUTPUT_FD);
    }
    const std::filesystem::path target(path);
    if (target.filename().empty()) {
        return std::unexpected(std::string("cannot write: Is a directory"));
    }
    const std::filesystem::path directory =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    // Appended piece by piece: GCC 12 at -O3 falsely reports "." + string as overlapping.
    std::string name = ".";
    name.append(target.filename().string()).append(".tmp-XXXXXX");
    std::string temporary = (directory / name).string();
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        return std::unexpected(reason("cannot create a file beside it"));
    }
    // A new file gets the permissions the umask allows, not mkstemp's 0600.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (::fchmod(fd, 0666 & ~mask) != 0) {
        const std::string error = reason("cannot set permissions");
        ::close(fd);
        ::unlink(temporary.c_str());
        return std::unexpected(error);
    }
    return StreamedOutput(path, std::move(temporary), fd);
}

StreamedOutput::StreamedOutput(std::string path, std::string temporary, int fd)
    : path_(std::move(path)), temporary_(std::move(temporary)), fd_(fd) {}

StreamedOutput::StreamedOutput(StreamedOutput&& other) noexcept
    : path_(std::move(other.path_)),
      temporary_(std::move(other.temporary_)),
      fd_(other.fd_),
      buffer_(std::move(other.buffer_)),
      error_(std::move(other.error_)) {
    other.fd_ = -1;
    other.temporary_.clear();
}

StreamedOutput::~StreamedOutput() {
    if (!temporary_.empty()) {
        ::close(fd_);
        ::unlink(temporary_.c_str());
    }
}

void StreamedOutput::write(std::string_view text) {
    buffer_.append(text);
    if (buffer_.size() >= WRITE_CHUNK) {
        drain();
    }
}

void StreamedOutput::drain() {
    std::size_t done = 0;
    while (error_.empty() && done < buffer_.size()) {
        const ssize_t wrote = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
        if (wrote < 0) {
            if (errno != EINTR) {
                error_ = reason("write failed");
            }
            continue;
        }
        done += static_cast<std::size_t>(wrote);
    }
    buffer_.clear();
}

std::expected<void, std::string> StreamedOutput::commit() {
    drain();
    if (temporary_.empty()) {
        return error_.empty() ? std::expected<void, std::string>() : std::unexpected(error_);
    }
    if (error_.empty() && ::fsync(fd_) != 0) {
        error_ = reason("write failed");
    }
    if (::close(fd_) != 0 && error_.empty()) {
        error_ = reason("write failed");
    }
    if (error_.empty() && ::rename(temporary_.c_str(), path_.c_str()) != 0) {
        error_ = reason("cannot replace");
    }
    if (!error_.empty()) {
        ::unlink(temporary_.c_str());
    }
    temporary_.clear();
    return error_.empty() ? std::expected<void, std::string>() : std::unexpected(error_);
}

}  // namespace vexa_cli
