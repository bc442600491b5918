#pragma once

#include <optional>
#include <vector>

#include "json/json_document.hpp"
#include "vexa_package/application.hpp"

namespace vexa_cli {

/// How segment data is spelled in JSON.
enum class ByteSpelling { Base64, Hex };

// One converter per record of a package, every field under its model name in declaration
// order. dump writes them as they are; inspect adds its derived figures beside them.

/// With a spelling the data is a base64 string or {"hex": "..."}; without one it is left out
/// and its length given as "data_bytes".
[[nodiscard]] JsonOutput segment_to_json(const vexa_package::Segment& segment,
                                         std::optional<ByteSpelling> spelling);
[[nodiscard]] JsonOutput tile_to_json(const vexa_package::TileImage& tile,
                                      std::optional<ByteSpelling> spelling);
[[nodiscard]] JsonOutput region_slice_to_json(const vexa_package::RegionSlice& slice);
[[nodiscard]] JsonOutput binding_to_json(const vexa_package::Binding& binding);
[[nodiscard]] JsonOutput host_page_to_json(const vexa_package::HostPage& page);
[[nodiscard]] JsonOutput host_slice_to_json(const vexa_package::HostSlice& slice);
[[nodiscard]] JsonOutput host_call_to_json(const vexa_package::HostCall& call);
[[nodiscard]] JsonOutput host_exchange_to_json(const vexa_package::HostExchange& exchange);
[[nodiscard]] JsonOutput entry_point_to_json(const vexa_package::EntryPoint& entry);
[[nodiscard]] JsonOutput config_write_to_json(const vexa_package::DeviceConfigWrite& write);

/// A list of records, each converted by `convert`.
template <typename Record, typename Convert>
[[nodiscard]] JsonOutput list_to_json(const std::vector<Record>& records, Convert convert) {
    JsonOutput list = JsonOutput::array();
    for (const Record& record : records) {
        list.push_back(convert(record));
    }
    return list;
}

}  // namespace vexa_cli
