#include "file_io.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace vexa_cli {
namespace {

constexpr int STANDARD_INPUT_FD = 0;
constexpr int STANDARD_OUTPUT_FD = 1;
constexpr std::size_t READ_CHUNK = std::size_t{1} << 20;
constexpr std::size_t WRITE_CHUNK = std::size_t{1} << 20;

std::string reason(std::string_view what, int error) {
    return std::string(what) + ": " + std::strerror(error);
}

// Closes a descriptor when the scope ends, whatever path leaves it.
class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    [[nodiscard]] int get() const { return fd_; }

  private:
    int fd_;
};

std::expected<vexa_package::Bytes, std::string> read_all(int fd, std::size_t size_hint) {
    vexa_package::Bytes contents;
    // One byte beyond the expected size lets the end of the file show without regrowing.
    contents.resize(size_hint + 1);
    std::size_t used = 0;
    for (;;) {
        if (used == contents.size()) {
            contents.resize(contents.size() + std::max(READ_CHUNK, contents.size() / 2));
        }
        const ssize_t got = ::read(fd, contents.data() + used, contents.size() - used);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::unexpected(reason("cannot read", errno));
        }
        if (got == 0) {
            break;
        }
        used += static_cast<std::size_t>(got);
    }
    contents.resize(used);
    return contents;
}

std::expected<void, std::string> write_all(int fd, std::span<const std::uint8_t> contents) {
    std::size_t done = 0;
    while (done < contents.size()) {
        const ssize_t wrote = ::write(fd, contents.data() + done, contents.size() - done);
        if (wrote < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::unexpected(reason("write failed", errno));
        }
        done += static_cast<std::size_t>(wrote);
    }
    return {};
}

std::span<const std::uint8_t> as_bytes(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// A link stays a link: the file it points to, even one not yet there, is the one replaced.
std::expected<std::filesystem::path, std::string> follow_links(const std::string& path) {
    constexpr int MOST_LINKS = 40;
    std::filesystem::path target(path);
    std::error_code error;
    for (int hops = 0; std::filesystem::is_symlink(target, error); ++hops) {
        const std::filesystem::path next = std::filesystem::read_symlink(target, error);
        if (error || hops == MOST_LINKS) {
            return std::unexpected(reason("cannot follow link", error ? error.value() : ELOOP));
        }
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    return target;
}

// A new file gets the permissions the user's umask allows; a replaced one keeps its own.
mode_t mode_for(const std::string& path) {
    struct stat existing{};
    if (::stat(path.c_str(), &existing) == 0) {
        return existing.st_mode & 07777;
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

std::string input_name(std::string_view path) {
    return path == STANDARD_STREAM ? "standard input" : std::string(path);
}

std::string output_name(std::string_view path) {
    return path == STANDARD_STREAM ? "standard output" : std::string(path);
}

std::expected<vexa_package::Bytes, std::string> read_input(const std::string& path) {
    if (path == STANDARD_STREAM) {
        return read_all(STANDARD_INPUT_FD, 0);
    }
    Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) {
        return std::unexpected(reason("cannot open", errno));
    }
    struct stat status{};
    if (::fstat(file.get(), &status) != 0) {
        return std::unexpected(reason("cannot read", errno));
    }
    if (S_ISDIR(status.st_mode)) {
        return std::unexpected(reason("cannot read", EISDIR));
    }
    const auto size = S_ISREG(status.st_mode) ? static_cast<std::size_t>(status.st_size) : 0;
    return read_all(file.get(), size);
}

OutputFile::~OutputFile() {
    if (owns_fd_) {
        ::close(fd_);
    }
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
    }
}

std::expected<void, std::string> OutputFile::open(const std::string& path) {
    buffer_.reserve(WRITE_CHUNK);
    if (path == STANDARD_STREAM) {
        // Text printed through stdio so far must come first.
        std::fflush(stdout);
        fd_ = STANDARD_OUTPUT_FD;
        return {};
    }
    // A device, pipe or socket (/dev/null, a named pipe) cannot be replaced and must not be:
    // it is written directly.
    struct stat existing{};
    if (::stat(path.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode) &&
        !S_ISDIR(existing.st_mode)) {
        fd_ = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd_ < 0) {
            return std::unexpected(reason("cannot open", errno));
        }
        owns_fd_ = true;
        return {};
    }
    const auto target = follow_links(path);
    if (!target) {
        return std::unexpected(target.error());
    }
    if (target->filename().empty()) {
        return std::unexpected(reason("cannot write", EISDIR));
    }
    const std::filesystem::path directory =
        target->has_parent_path() ? target->parent_path() : std::filesystem::path(".");
    std::string name(".");
    name.append(target->filename().string()).append(".tmp-XXXXXX");
    std::string temporary = (directory / name).string();
    fd_ = ::mkstemp(temporary.data());
    if (fd_ < 0) {
        return std::unexpected(reason("cannot create a file beside it", errno));
    }
    owns_fd_ = true;
    temporary_ = std::move(temporary);
    target_ = target->string();
    return {};
}

void OutputFile::write(std::string_view bytes) {
    size_ += bytes.size();
    if (buffer_.size() + bytes.size() > WRITE_CHUNK) {
        flush();
        if (bytes.size() >= WRITE_CHUNK) {
            if (error_.empty()) {
                if (auto written = write_all(fd_, as_bytes(bytes)); !written) {
                    error_ = written.error();
                }
            }
            return;
        }
    }
    buffer_.append(bytes);
}

void OutputFile::flush() {
    if (error_.empty() && !buffer_.empty()) {
        if (auto written = write_all(fd_, as_bytes(buffer_)); !written) {
            error_ = written.error();
        }
    }
    buffer_.clear();
}

std::expected<void, std::string> OutputFile::commit() {
    flush();
    const auto failed = [&](std::string what) -> std::expected<void, std::string> {
        error_ = std::move(what);
        return std::unexpected(error_);
    };
    if (!error_.empty()) {
        return std::unexpected(error_);
    }
    if (!temporary_.empty()) {
        if (::fchmod(fd_, mode_for(target_)) != 0) {
            return failed(reason("cannot set permissions", errno));
        }
        if (::fsync(fd_) != 0) {
            return failed(reason("write failed", errno));
        }
    }
    if (owns_fd_) {
        owns_fd_ = false;
        // Closing reports the error a deferred write may surface only here.
        if (::close(fd_) != 0) {
            return failed(reason("write failed", errno));
        }
    }
    if (!temporary_.empty()) {
        if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
            return failed(reason("cannot replace", errno));
        }
        temporary_.clear();
    }
    return {};
}

std::expected<void, std::string> write_output(const std::string& path,
                                              std::span<const std::uint8_t> contents) {
    OutputFile output;
    if (auto opened = output.open(path); !opened) {
        return opened;
    }
    output.write(std::string_view(reinterpret_cast<const char*>(contents.data()), contents.size()));
    return output.commit();
}

std::expected<void, std::string> write_output(const std::string& path, std::string_view contents) {
    return write_output(
        path, std::span(reinterpret_cast<const std::uint8_t*>(contents.data()), contents.size()));
}

std::expected<void, std::string> make_directory(const std::string& path) {
    std::error_code error;
    std::filesystem::create_directories(path, error);
    if (error) {
        return std::unexpected("cannot create directory: " + error.message());
    }
    return {};
}

}  // namespace vexa_cli
