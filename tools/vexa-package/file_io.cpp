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
    // Closes now, reporting the error a deferred write may surface only here.
    [[nodiscard]] int close() {
        const int result = ::close(fd_);
        fd_ = -1;
        return result;
    }

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

// A device, pipe or socket (/dev/null, a named pipe) cannot be replaced and must not be:
// it is written directly.
std::expected<void, std::string> write_in_place(const std::string& path,
                                                std::span<const std::uint8_t> contents) {
    Descriptor file(::open(path.c_str(), O_WRONLY | O_CLOEXEC));
    if (file.get() < 0) {
        return std::unexpected(reason("cannot open", errno));
    }
    auto written = write_all(file.get(), contents);
    if (written && file.close() != 0) {
        written = std::unexpected(reason("write failed", errno));
    }
    return written;
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
    struct stat existing {};
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
    struct stat status {};
    if (::fstat(file.get(), &status) != 0) {
        return std::unexpected(reason("cannot read", errno));
    }
    if (S_ISDIR(status.st_mode)) {
        return std::unexpected(reason("cannot read", EISDIR));
    }
    const auto size = S_ISREG(status.st_mode) ? static_cast<std::size_t>(status.st_size) : 0;
    return read_all(file.get(), size);
}

std::expected<void, std::string> write_output(const std::string& path,
                                              std::span<const std::uint8_t> contents) {
    if (path == STANDARD_STREAM) {
        // Text printed through stdio so far must come first.
        std::fflush(stdout);
        return write_all(STANDARD_OUTPUT_FD, contents);
    }
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode) &&
        !S_ISDIR(existing.st_mode)) {
        return write_in_place(path, contents);
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
    Descriptor file(::mkstemp(temporary.data()));
    if (file.get() < 0) {
        return std::unexpected(reason("cannot create a file beside it", errno));
    }
    auto written = write_all(file.get(), contents);
    if (written && ::fchmod(file.get(), mode_for(target->string())) != 0) {
        written = std::unexpected(reason("cannot set permissions", errno));
    }
    if (written && ::fsync(file.get()) != 0) {
        written = std::unexpected(reason("write failed", errno));
    }
    if (written && file.close() != 0) {
        written = std::unexpected(reason("write failed", errno));
    }
    if (written && ::rename(temporary.c_str(), target->c_str()) != 0) {
        written = std::unexpected(reason("cannot replace", errno));
    }
    if (!written) {
        ::unlink(temporary.c_str());
    }
    return written;
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
