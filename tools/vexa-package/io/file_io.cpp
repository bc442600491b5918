#include "io/file_io.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
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

// The device and inode of an existing regular file, which two paths share exactly when they
// name the same file, whatever their spelling and through any links; none for anything else
// (a device or pipe can be read and written at once without harm).
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

std::optional<FileIdentity> identity_from(const struct stat& status) {
    if (!S_ISREG(status.st_mode)) {
        return std::nullopt;
    }
    return FileIdentity{.device = status.st_dev, .inode = status.st_ino};
}

std::optional<FileIdentity> identity_of(const std::string& path) {
    struct stat status{};
    return ::stat(path.c_str(), &status) == 0 ? identity_from(status) : std::nullopt;
}

std::optional<FileIdentity> identity_of(int fd) {
    struct stat status{};
    return ::fstat(fd, &status) == 0 ? identity_from(status) : std::nullopt;
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
    return path == STANDARD_STREAM || path.empty() ? "standard output" : std::string(path);
}

bool same_path(const std::string& first, const std::string& second) {
    const auto standard = [](const std::string& path) {
        return path.empty() || path == STANDARD_STREAM;
    };
    if (standard(first) || standard(second)) {
        return standard(first) && standard(second);
    }
    const auto first_file = identity_of(first);
    if (first_file && first_file == identity_of(second)) {
        return true;
    }
    // Paths of files not yet there are compared once made absolute and resolved.
    const auto place = [](const std::string& path) {
        std::error_code error;
        auto resolved =
            std::filesystem::weakly_canonical(std::filesystem::absolute(path, error), error);
        return error ? std::filesystem::path() : resolved;
    };
    const auto first_place = place(first);
    return !first_place.empty() && first_place == place(second);
}

std::expected<void, OutputFailure> check_output(const std::string& path, const OutputRules& rules) {
    const bool standard = path.empty() || path == STANDARD_STREAM;
    if (rules.binary && path.empty() && ::isatty(STANDARD_OUTPUT_FD) == 1) {
        return std::unexpected(OutputFailure{
            .what = "refusing to write binary data to a terminal; give -o FILE, or -o - to "
                    "write it to standard output anyway",
            .usage = true});
    }
    const auto output = standard ? identity_of(STANDARD_OUTPUT_FD) : identity_of(path);
    if (!output) {
        return {};
    }
    for (const std::string& input : rules.inputs) {
        const auto source =
            input == STANDARD_STREAM ? identity_of(STANDARD_INPUT_FD) : identity_of(input);
        if (source && *source == *output) {
            return std::unexpected(
                OutputFailure{.what = "is the same file as the input " + input_name(input) +
                                      "; nothing was written, write the output somewhere else",
                              .usage = true});
        }
    }
    return {};
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

std::expected<void, OutputFailure> OutputFile::open(const std::string& path,
                                                    const OutputRules& rules) {
    if (auto allowed = check_output(path, rules); !allowed) {
        return allowed;
    }
    const auto failed = [](std::string what) {
        return std::unexpected(OutputFailure{.what = std::move(what)});
    };
    buffer_.reserve(WRITE_CHUNK);
    if (path.empty() || path == STANDARD_STREAM) {
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
            return failed(reason("cannot open", errno));
        }
        owns_fd_ = true;
        return {};
    }
    const auto target = follow_links(path);
    if (!target) {
        return failed(target.error());
    }
    if (target->filename().empty()) {
        return failed(reason("cannot write", EISDIR));
    }
    const std::filesystem::path directory =
        target->has_parent_path() ? target->parent_path() : std::filesystem::path(".");
    std::string name(".");
    name.append(target->filename().string()).append(".tmp-XXXXXX");
    std::string temporary = (directory / name).string();
    fd_ = ::mkstemp(temporary.data());
    if (fd_ < 0) {
        return failed(reason("cannot create a file beside it", errno));
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

std::expected<void, OutputFailure> write_output(const std::string& path,
                                                std::span<const std::uint8_t> contents,
                                                const OutputRules& rules) {
    return write_output(
        path, std::string_view(reinterpret_cast<const char*>(contents.data()), contents.size()),
        rules);
}

std::expected<void, OutputFailure> write_output(const std::string& path, std::string_view contents,
                                                const OutputRules& rules) {
    OutputFile output;
    if (auto opened = output.open(path, rules); !opened) {
        return opened;
    }
    output.write(contents);
    if (auto committed = output.commit(); !committed) {
        return std::unexpected(OutputFailure{.what = committed.error()});
    }
    return {};
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
