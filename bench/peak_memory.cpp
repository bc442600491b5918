// Peak heap memory of reading a package or report, relative to its size: the bytes that
// operator new holds at once during the call above what was held before it, result
// included. Prints one JSON object for bench/table.py.
#include <cstdio>

#include "allocation_counter.hpp"
#include "fixtures.hpp"

namespace vexa_package::bench {
namespace {

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
    std::printf("%s\n    {\"name\": \"%s\", \"peak_bytes\": %zu, \"input_bytes\": %zu}",
                first ? "" : ",", name, peak, input.size());
    first = false;
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
        const Bytes bulk = checked_package(bulk_application());
        measure("bulk/read_aligned", PlacedBytes(bulk, 0).bytes(), read_package, first);
        measure("bulk/read_odd", PlacedBytes(bulk, 1).bytes(), read_package, first);
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
