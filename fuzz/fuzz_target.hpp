#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "read_invariants.hpp"

/// The entry point every fuzz target defines, in the form libFuzzer and AFL++ drivers call.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace vexa_package::fuzzing {

/// Ends the process on a broken invariant, so that every build of a target (with or without
/// assertions, with or without sanitizers) reports it to the fuzzer as a crash.
inline void abort_on(const Violation& violation) {
    if (violation) {
        std::fprintf(stderr, "invariant broken: %s\n", violation->c_str());
        std::abort();
    }
}

}  // namespace vexa_package::fuzzing
