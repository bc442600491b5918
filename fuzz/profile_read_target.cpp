// Fuzz target for `ProfileReport::read`: any input either reads as a report that survives a
// write and a read unchanged, or fails with a kind the reader may give.
#include "fuzz_target.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vexa_package::fuzzing::abort_on(vexa_package::fuzzing::check_profile_input({data, size}));
    return 0;
}
