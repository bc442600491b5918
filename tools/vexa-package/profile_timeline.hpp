#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "vexa_package/profile.hpp"

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
[[nodiscard]] inline std::uint32_t sample_cycles(const vexa_package::CycleSample& sample) {
    return sample.end_cycle - sample.start_cycle;
}

/// Turns the wrapping 32-bit start cycles of one tile's samples, taken in sample order,
/// into one rising 64-bit count. It assumes that the samples are listed in the order they
/// started and that consecutive starts lie less than 2^32 cycles apart: a start below the
/// one before it means the counter wrapped in between. The first start is taken as it is.
class CycleUnwrapper {
  public:
    [[nodiscard]] std::uint64_t next(std::uint32_t start_cycle);

  private:
    std::optional<std::uint64_t> previous_;
};

/// A sample placed on its tile's unwrapped time line.
struct PlacedSample {
    std::uint64_t start = 0;
    std::uint64_t end = 0;
};

/// Places each sample of a tile in order; `visit(sample, placed)` sees every one.
template <typename Visit>
void for_each_placed(const vexa_package::TileProfile& tile, Visit visit) {
    CycleUnwrapper unwrapper;
    for (const vexa_package::CycleSample& sample : tile.samples) {
        const std::uint64_t start = unwrapper.next(sample.start_cycle);
        visit(sample, PlacedSample{.start = start, .end = start + sample_cycles(sample)});
    }
}

/// Seconds for a number of cycles at `clock_hz`; none when the clock is unknown (0 Hz).
[[nodiscard]] std::optional<double> cycles_to_seconds(std::uint64_t cycles, std::uint64_t clock_hz);

/// Microseconds for a trace: cycles at `clock_hz`, or one microsecond per cycle when the
/// clock is unknown (0 Hz), so the trace keeps its proportions instead of dividing by zero.
[[nodiscard]] double trace_microseconds(std::uint64_t cycles, std::uint64_t clock_hz);

/// The name a sample is shown by: its kernel, else its operation, else its kind.
[[nodiscard]] std::string_view sample_name(const vexa_package::CycleSample& sample);

}  // namespace vexa_cli
