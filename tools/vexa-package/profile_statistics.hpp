#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "vexa_package/profile.hpp"

namespace vexa_cli {

/// The figures of one tile entry of a report.
struct TileStatistics {
    std::uint32_t physical_tile = 0;
    std::size_t samples = 0;
    /// Cycles per kind, in the order of `STEP_KINDS`.
    std::array<std::uint64_t, 4> kind_cycles{};
    std::uint64_t cycles = 0;
    /// Unwrapped first start and last end; none without samples.
    std::optional<std::uint64_t> first_start;
    std::uint64_t last_end = 0;

    [[nodiscard]] std::uint64_t span() const { return first_start ? last_end - *first_start : 0; }
};

/// Cycles spent under one kernel or operation name.
struct NamedCycles {
    std::string name;
    std::size_t samples = 0;
    std::uint64_t cycles = 0;
};

/// Everything `profile summary` shows.
struct ProfileStatistics {
    std::uint64_t clock_hz = 0;
    std::vector<TileStatistics> tiles;
    std::size_t samples = 0;
    std::array<std::uint64_t, 4> kind_cycles{};
    std::uint64_t cycles = 0;
    /// From the earliest start to the latest end over all tiles, in cycles.
    std::uint64_t covered = 0;
    /// Most cycles first; equal cycles by name.
    std::vector<NamedCycles> kernels;
    std::vector<NamedCycles> operations;
};

[[nodiscard]] ProfileStatistics profile_statistics(const vexa_package::ProfileReport& report);

}  // namespace vexa_cli
