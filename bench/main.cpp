// The benchmark program's entry point: Google Benchmark's own, after fixing how malloc
// obtains memory, chosen by `--memory=recycled` (the default) or `--memory=fresh`.
//
// Left to itself, glibc raises its mmap and trim thresholds whenever a large block is freed,
// so whether an allocation gets fresh pages (and pays their page faults, which cost several
// microseconds each on these virtual machines) or reuses freed heap memory would depend on
// which benchmarks ran before, and figures would change with the order of the runs. Each
// setting makes the rule the same for a case and its baseline:
// - recycled: nothing is ever given back to the system, so after the first iteration every
//   allocation reuses warm memory and the figures are the work done;
// - fresh: every block of 128 KiB or more (glibc's initial threshold) is mapped anew and freed
//   heap memory is given back, as for a program that reads or writes one package; this is the
//   setting of the cases measured against copying into freshly allocated memory, which also
//   give freed memory back before each iteration (start_in_fresh_memory in fixtures.hpp).
#include <malloc.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <limits>
#include <string_view>

namespace {

constexpr int FRESH_BLOCK_BYTES = 128 * 1024;

// Applies and removes the `--memory=` argument; null for an unknown setting, else its name.
const char* set_memory_rule(int& argc, char** argv) {
    bool fresh = false;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--memory=fresh") {
            fresh = true;
        } else if (argument == "--memory=recycled") {
            fresh = false;
        } else if (argument.starts_with("--memory=")) {
            std::fprintf(stderr, "unknown %s: use --memory=recycled or --memory=fresh\n", argv[i]);
            return nullptr;
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    if (fresh) {
        mallopt(M_MMAP_THRESHOLD, FRESH_BLOCK_BYTES);
        mallopt(M_TRIM_THRESHOLD, FRESH_BLOCK_BYTES);
    } else {
        mallopt(M_MMAP_MAX, 0);
        mallopt(M_TRIM_THRESHOLD, std::numeric_limits<int>::max());
    }
    return fresh ? "fresh" : "recycled";
}

}  // namespace

int main(int argc, char** argv) {
    const char* memory = set_memory_rule(argc, argv);
    if (memory == nullptr) {
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::AddCustomContext("memory", memory);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
