// Fuzz target for the JSON reader of `vexa-package profile pack`: any text either fails with
// the tool's error or gives a report that the writer refuses or that survives a write, a read
// and a dump unchanged.
#include "fuzz_target.hpp"
#include "json_invariants.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vexa_package::fuzzing::abort_on(vexa_package::fuzzing::check_profile_json_input({data, size}));
    return 0;
}
