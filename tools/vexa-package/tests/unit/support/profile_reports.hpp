#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vexa_package/constants.hpp"
#include "vexa_package/profile.hpp"

namespace vexa_cli::testing {

/// One sample of a tile entry, as a table row: its counter values, kind and kernel.
struct SampleRow {
    std::uint32_t start_cycle = 0;
    std::uint32_t end_cycle = 0;
    vexa_package::ProfileStepKind kind = vexa_package::ProfileStepKind::Compute;
    std::string kernel = "kernel";
};

/// One tile entry of a report: its physical tile and its samples in stored order.
struct TileRows {
    std::uint32_t physical_tile = 0;
    std::vector<SampleRow> samples;
};

/// A report at `clock_hz` with the tile entries in the given order.
[[nodiscard]] vexa_package::ProfileReport profile_report(std::uint64_t clock_hz,
                                                         const std::vector<TileRows>& tiles);

/// The report as the library stores it; the test fails if it cannot be written.
[[nodiscard]] vexa_package::Bytes report_bytes(const vexa_package::ProfileReport& report);

}  // namespace vexa_cli::testing
