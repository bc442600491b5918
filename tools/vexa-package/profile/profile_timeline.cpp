#include "profile/profile_timeline.hpp"

#include <limits>

namespace vexa_cli {

std::optional<double> cycles_to_seconds(std::uint64_t cycles, std::uint64_t clock_hz) {
    if (clock_hz == 0) {
        return std::nullopt;
    }
    return static_cast<double>(cycles) / static_cast<double>(clock_hz);
}

std::uint64_t trace_nanoseconds(std::uint64_t cycles, std::uint64_t clock_hz) {
    if (clock_hz == 0) {
        return cycles;
    }
    // The product of two 64-bit numbers needs 128 bits.
    __extension__ using Wide = unsigned __int128;
    constexpr std::uint64_t NANOSECONDS_PER_SECOND = 1'000'000'000;
    const Wide nanoseconds = Wide{cycles} * NANOSECONDS_PER_SECOND / clock_hz;
    return nanoseconds > std::numeric_limits<std::uint64_t>::max()
               ? std::numeric_limits<std::uint64_t>::max()
               : static_cast<std::uint64_t>(nanoseconds);
}

std::string_view sample_name(const vexa_package::CycleSampleView& sample) {
    if (!sample.kernel.empty()) {
        return sample.kernel;
    }
    if (!sample.operation.empty()) {
        return sample.operation;
    }
    return to_string(sample.kind);
}

}  // namespace vexa_cli
