#include "json/json_records.hpp"
#include "package/overview.hpp"
#include "package/overview_tables.hpp"

namespace vexa_cli {
namespace {

using namespace vexa_package;

// The records as dump writes them, segment bytes left out, with the table's figures beside.
template <typename Record, typename Convert>
JsonOutput records_json(const std::vector<Record>& records, Convert convert, const Table& table) {
    JsonOutput list = list_to_json(records, convert);
    table.merge_json(list);
    return list;
}

JsonOutput tile_json(const TileImage& tile) {
    return tile_to_json(tile, std::nullopt);
}

}  // namespace

JsonOutput inspect_json(const Application& application) {
    const HostExchange& host = application.host_exchange;
    JsonOutput exchange = host_exchange_to_json(host);
    host_pages_table(host.pages).merge_json(exchange["pages"]);
    host_calls_table(host.calls).merge_json(exchange["calls"]);
    const auto bindings = [](const std::vector<Binding>& list) {
        return records_json(list, binding_to_json, bindings_table(list));
    };
    return {{"compiler_version", application.compiler_version},
            {"tiles", records_json(application.tiles, tile_json, tiles_table(application.tiles))},
            {"inputs", bindings(application.inputs)},
            {"outputs", bindings(application.outputs)},
            {"weights", bindings(application.weights)},
            {"host_exchange", std::move(exchange)},
            {"entry_points", records_json(application.entry_points, entry_point_to_json,
                                          entry_points_table(application.entry_points))},
            {"device_config_writes",
             records_json(application.device_config_writes, config_write_to_json,
                          config_writes_table(application.device_config_writes))}};
}

}  // namespace vexa_cli
