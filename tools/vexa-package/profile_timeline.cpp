#include "profile_timeline.hpp"

namespace vexa_cli {

std::uint64_t CycleUnwrapper::next(std::uint32_t start_cycle) {
    std::uint64_t start = start_cycle;
    if (previous_) {
        // The distance modulo 2^32 from the previous start; the sum cannot reach 2^64 for
        // any number of samples that fits in memory.
        const auto previous_raw = static_cast<std::uint32_t>(*previous_);
        start = *previous_ + static_cast<std::uint32_t>(start_cycle - previous_raw);
    }
    previous_ = start;
    return start;
}

std::optional<double> cycles_to_seconds(std::uint64_t cycles, std::uint64_t clock_hz) {
    if (clock_hz == 0) {
        return std::nullopt;
    }
    return static_cast<double>(cycles) / static_cast<double>(clock_hz);
}

double trace_microseconds(std::uint64_t cycles, std::uint64_t clock_hz) {
    const auto seconds = cycles_to_seconds(cycles, clock_hz);
    return seconds ? *seconds * 1e6 : static_cast<double>(cycles);
}

std::string_view sample_name(const vexa_package::CycleSample& sample) {
    if (!sample.step.kernel.empty()) {
        return sample.step.kernel;
    }
    if (!sample.step.operation.empty()) {
        return sample.step.operation;
    }
    return to_string(sample.step.kind);
}

}  // namespace vexa_cli
