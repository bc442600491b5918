#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "vexa_package/profile.hpp"
#include "vexa_package/profile_visitor.hpp"

namespace vexa_cli {

/// The four step kinds in code order; `kind_index` gives a kind's place in it.
inline constexpr std::array<vexa_package::ProfileStepKind, 4> STEP_KINDS{
    vexa_package::ProfileStepKind::Exchange, vexa_package::ProfileStepKind::Compute,
    vexa_package::ProfileStepKind::Synchronization, vexa_package::ProfileStepKind::Idle};

[[nodiscard]] inline std::size_t kind_index(vexa_package::ProfileStepKind kind) {
    return static_cast<std::size_t>(kind);
}

/// The cycles a sample took: `end_cycle − start_cycle` modulo 2^32, because the 32-bit
/// counter may have wrapped while the step ran.
[[nodiscard]] inline std::uint32_t sample_cycles(const vexa_package::CycleSampleView& sample) {
    return sample.end_cycle - sample.start_cycle;
}

/// Seconds for a number of cycles at `clock_hz`; none when the clock is unknown (0 Hz).
[[nodiscard]] std::optional<double> cycles_to_seconds(std::uint64_t cycles, std::uint64_t clock_hz);

/// Nanoseconds on a trace's time line for a point `cycles` after cycle 0: exactly
/// floor(cycles * 10^9 / clock_hz), computed once per point so that nothing accumulates, and
/// at most 2^64 - 1; one nanosecond per cycle when the clock is unknown (0 Hz). It never
/// decreases as `cycles` grows, so a slice never ends before it starts.
[[nodiscard]] std::uint64_t trace_nanoseconds(std::uint64_t cycles, std::uint64_t clock_hz);

/// The name a sample is shown by: its kernel, else its operation, else its kind.
[[nodiscard]] std::string_view sample_name(const vexa_package::CycleSampleView& sample);

}  // namespace vexa_cli
