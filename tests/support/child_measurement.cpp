#include "support/child_measurement.hpp"

#include <malloc.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fstream>
#include <string_view>

#include "support/allocation_counter.hpp"

namespace vexa_package::testing {
namespace {

// A field of /proc/self/status given in kB, such as "VmRSS" or "VmHWM", in bytes; 0 when
// the field is missing.
std::size_t status_bytes(std::string_view field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.size() > field.size() && line.starts_with(field) && line[field.size()] == ':') {
            return std::stoull(line.substr(field.size() + 1)) * 1024;
        }
    }
    return 0;
}

bool write_all(int fd, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// The child's side: measures the call and sends the peak, the resident growth, the outcome's
// length and the outcome. It ends with _Exit, so that nothing of the parent's state (test
// reports, buffered output) is flushed or torn down twice.
[[noreturn]] void run_child(int fd, const std::function<std::string()>& call) {
    std::size_t header[3] = {};
    std::string outcome;
    try {
        const std::size_t resident_before = status_bytes("VmRSS");
        {
            const AllocationCounter counter;
            outcome = call();
            header[0] = counter.peak_bytes();
        }
        const std::size_t resident_peak = status_bytes("VmHWM");
        header[1] = resident_peak > resident_before ? resident_peak - resident_before : 0;
    } catch (const std::exception& exception) {
        outcome = std::string("exception: ") + exception.what();
    }
    header[2] = outcome.size();
    const bool sent =
        write_all(fd, header, sizeof header) && write_all(fd, outcome.data(), outcome.size());
    std::_Exit(sent ? 0 : 1);
}

}  // namespace

std::expected<ChildMeasurement, std::string> measure_in_child(
    const std::function<std::string()>& call) {
    int fds[2];
    if (::pipe(fds) != 0) {
        return std::unexpected(std::string("pipe: ") + std::strerror(errno));
    }
    std::fflush(nullptr);
    // Free memory of this heap would be resident in the child too, and the call would take
    // it without growing the child's resident set. Handed back before the fork, every page
    // the call takes shows, as in a process of its own. (Trimming in the child would not
    // do: its peak starts at the resident set it inherits.)
    malloc_trim(0);
    const pid_t child = ::fork();
    if (child < 0) {
        const int error = errno;
        ::close(fds[0]);
        ::close(fds[1]);
        return std::unexpected(std::string("fork: ") + std::strerror(error));
    }
    if (child == 0) {
        ::close(fds[0]);
        run_child(fds[1], call);
    }
    ::close(fds[1]);
    std::string received;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fds[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        received.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return std::unexpected(WIFSIGNALED(status)
                                   ? "child killed by signal " + std::to_string(WTERMSIG(status))
                                   : "child failed with status " + std::to_string(status));
    }
    std::size_t header[3] = {};
    if (received.size() < sizeof header) {
        return std::unexpected(std::string("child sent no measurement"));
    }
    std::memcpy(header, received.data(), sizeof header);
    if (received.size() != sizeof header + header[2]) {
        return std::unexpected(std::string("child sent a cut measurement"));
    }
    return ChildMeasurement{.outcome = received.substr(sizeof header),
                            .peak_bytes = header[0],
                            .resident_growth = header[1]};
}

}  // namespace vexa_package::testing
