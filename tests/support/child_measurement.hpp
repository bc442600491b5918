#pragma once

#include <cstddef>
#include <expected>
#include <functional>
#include <string>

namespace vexa_package::testing {

/// What one call took and ended with in a child process.
struct ChildMeasurement {
    /// The text the call returned.
    std::string outcome;
    /// The most bytes operator new held at once during the call, above what it held before.
    std::size_t peak_bytes = 0;
    /// The child's peak resident set during the call above its resident set before it:
    /// every page the call touched, whoever allocated it, to within the kernel's lazily
    /// updated counters (a few hundred KiB).
    std::size_t resident_growth = 0;
};

/// Runs `call` in a child forked from this process and returns what it measured there, or
/// why the child gave no measurement (it crashed or was killed, for instance for running
/// out of memory). A call that takes far more memory than it should then fails one test
/// rather than the whole test program, and its count starts from a heap nobody else uses.
[[nodiscard]] std::expected<ChildMeasurement, std::string> measure_in_child(
    const std::function<std::string()>& call);

}  // namespace vexa_package::testing
