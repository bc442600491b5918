#pragma once

#include <vector>

#include "output/table.hpp"
#include "vexa_package/application.hpp"

namespace vexa_cli {

// The tables of `inspect`, one row per record. Text shows them; JSON sets their columns in
// the records as dump writes them, so the derived figures sit beside the fields.

[[nodiscard]] Table tiles_table(const std::vector<vexa_package::TileImage>& tiles);
[[nodiscard]] Table bindings_table(const std::vector<vexa_package::Binding>& bindings);
[[nodiscard]] Table host_pages_table(const std::vector<vexa_package::HostPage>& pages);
[[nodiscard]] Table host_calls_table(const std::vector<vexa_package::HostCall>& calls);
[[nodiscard]] Table entry_points_table(const std::vector<vexa_package::EntryPoint>& entry_points);
[[nodiscard]] Table config_writes_table(const std::vector<vexa_package::DeviceConfigWrite>& writes);

}  // namespace vexa_cli
