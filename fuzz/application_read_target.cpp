// Fuzz target for `Application::read`: any input either reads as an application that keeps
// every invariant of an accepted package, or fails with a kind the reader may give.
#include "fuzz_target.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vexa_package::fuzzing::abort_on(vexa_package::fuzzing::check_application_input({data, size}));
    return 0;
}
