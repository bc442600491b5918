#include "support/profile_reports.hpp"

#include <gtest/gtest.h>

namespace vexa_cli::testing {

vexa_package::ProfileReport profile_report(std::uint64_t clock_hz,
                                           const std::vector<TileRows>& tiles) {
    vexa_package::ProfileReport report{.clock_hz = clock_hz, .tiles = {}};
    for (const TileRows& rows : tiles) {
        vexa_package::TileProfile& tile = report.tiles.emplace_back();
        tile.physical_tile = rows.physical_tile;
        for (const SampleRow& row : rows.samples) {
            vexa_package::CycleSample& sample = tile.samples.emplace_back();
            sample.step.local_index = static_cast<std::uint32_t>(tile.samples.size() - 1);
            sample.step.kind = row.kind;
            sample.step.kernel = row.kernel;
            sample.start_cycle = row.start_cycle;
            sample.end_cycle = row.end_cycle;
        }
    }
    return report;
}

vexa_package::Bytes report_bytes(const vexa_package::ProfileReport& report) {
    vexa_package::Bytes bytes;
    const auto written = report.write(bytes);
    EXPECT_TRUE(written.has_value());
    return bytes;
}

}  // namespace vexa_cli::testing
