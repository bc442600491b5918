// Driver for AFL++ builds in GCC mode, where AFL++'s libFuzzer driver does not link: runs the
// target once on the file named by the one argument. afl-fuzz's fork server starts a process
// per input and rewrites that file for each (`afl-fuzz ... -- target @@`).
#include <cstdio>

#include "fuzz_target.hpp"
#include "input_file.hpp"

namespace {

int run(const char* path) {
    const auto input = vexa_package::fuzzing::read_file(path);
    if (!input) {
        std::fprintf(stderr, "cannot read %s\n", path);
        return 1;
    }
    return LLVMFuzzerTestOneInput(input->data(), input->size());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s INPUT_FILE\n", argv[0]);
        return 2;
    }
    return run(argv[1]);
}
