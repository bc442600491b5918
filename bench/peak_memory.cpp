// Peak memory of reading a package or report, and of writing a package, relative to its
// size. Reading: the bytes that operator new holds at once during the call above what was
// held before it, result included. Writing: the growth of the resident set during the call,
// output included, which also counts memory that Cap'n Proto's builders take with calloc.
// Prints one JSON object for bench/table.py.
#include <malloc.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "fixtures.hpp"
#include "support/allocation_counter.hpp"

namespace vexa_package::bench {
namespace {

// A field of /proc/self/status in bytes, such as "VmRSS" or "VmHWM".
std::size_t status_bytes(const std::string& field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with(field + ":")) {
            return std::stoull(line.substr(field.size() + 1)) * 1024;
        }
    }
    fail("no such field in /proc/self/status");
}

void print(const char* name, std::size_t peak, std::size_t size, bool& first) {
    std::printf("%s\n    {\"name\": \"%s\", \"peak_bytes\": %zu, \"input_bytes\": %zu}",
                first ? "" : ",", name, peak, size);
    first = false;
}

// Freed blocks go back to the system and large blocks are mapped anew, so that every page a
// write touches shows in the resident set, whichever allocation it belongs to.
void measure_write(const char* name, const Application& application, std::size_t size,
                   bool& first) {
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    mallopt(M_TRIM_THRESHOLD, 128 * 1024);
    malloc_trim(0);
    // Resets the resident high-water mark to the current resident set.
    std::ofstream("/proc/self/clear_refs") << "5";
    const std::size_t before = status_bytes("VmRSS");
    std::size_t peak = 0;
    {
        Bytes output;
        if (!application.write(output) || output.size() != size) {
            fail("write failed while measuring memory");
        }
        peak = status_bytes("VmHWM") - before;
    }
    print(name, peak, size, first);
}

template <typename Read>
void measure(const char* name, std::span<const std::uint8_t> input, Read read, bool& first) {
    std::size_t peak = 0;
    {
        const testing::AllocationCounter counter;
        const auto result = read(input);
        if (!result) {
            fail("read failed while measuring memory");
        }
        peak = counter.peak_bytes();
    }
    print(name, peak, input.size(), first);
}

}  // namespace
}  // namespace vexa_package::bench

int main() {
    using namespace vexa_package;
    using namespace vexa_package::bench;
    const auto read_package = [](std::span<const std::uint8_t> input) {
        return Application::read(input);
    };
    bool first = true;
    std::printf("{\"peak_memory\": [");
    {
        const Application application = bulk_application();
        const Bytes bulk = checked_package(application);
        measure("bulk/read_aligned", PlacedBytes(bulk, 0).bytes(), read_package, first);
        measure("bulk/read_odd", PlacedBytes(bulk, 1).bytes(), read_package, first);
        measure_write("bulk/write", application, bulk.size(), first);
    }
    {
        const Bytes records = checked_package(many_records_application());
        measure("records/read_aligned", PlacedBytes(records, 0).bytes(), read_package, first);
        measure("records/read_odd", PlacedBytes(records, 1).bytes(), read_package, first);
    }
    {
        Bytes report;
        if (!large_profile_report().write(report)) {
            fail("profile write failed");
        }
        measure(
            "profile/read_aligned", PlacedBytes(report, 0).bytes(),
            [](std::span<const std::uint8_t> input) { return ProfileReport::read(input); }, first);
    }
    std::printf("\n]}\n");
    return 0;
}
