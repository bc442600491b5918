#include "json/json_records.hpp"
#include "package/overview.hpp"
#include "package/overview_tables.hpp"

namespace vexa_cli {

JsonOutput inspect_json(const vexa_package::Application& application) {
    // The records as dump writes them, segment bytes left out, with each list's table of
    // derived figures merged in beside.
    JsonOutput json = record_to_json(application);
    const vexa_package::HostExchange& host = application.host_exchange;
    tiles_table(application.tiles).merge_json(json["tiles"]);
    bindings_table(application.inputs).merge_json(json["inputs"]);
    bindings_table(application.outputs).merge_json(json["outputs"]);
    bindings_table(application.weights).merge_json(json["weights"]);
    host_pages_table(host.pages).merge_json(json["host_exchange"]["pages"]);
    host_calls_table(host.calls).merge_json(json["host_exchange"]["calls"]);
    entry_points_table(application.entry_points).merge_json(json["entry_points"]);
    config_writes_table(application.device_config_writes).merge_json(json["device_config_writes"]);
    return json;
}

}  // namespace vexa_cli
