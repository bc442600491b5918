#include "json_profile.hpp"

#include <array>

#include "json_fields.hpp"

namespace vexa_cli {
namespace {

using namespace vexa_package;

constexpr std::array KINDS{ProfileStepKind::Exchange, ProfileStepKind::Compute,
                           ProfileStepKind::Synchronization, ProfileStepKind::Idle};

JsonOutput step_to_json(const ProfileStep& step) {
    JsonOutput metadata = JsonOutput::array();
    for (const ProfileMetadata& entry : step.metadata) {
        metadata.push_back({{"name", entry.name}, {"value", entry.value}});
    }
    return {
        {"local_index", step.local_index}, {"phase", step.phase},          {"epoch", step.epoch},
        {"operation", step.operation},     {"kind", to_string(step.kind)}, {"kernel", step.kernel},
        {"metadata", std::move(metadata)}};
}

ProfileStepKind kind_from_json(const JsonValue& value, const JsonPath& path,
                               JsonProblems& problems) {
    if (value.is_string()) {
        for (const ProfileStepKind kind : KINDS) {
            if (value.get_ref<const std::string&>() == to_string(kind)) {
                return kind;
            }
        }
    }
    problems.report(path, "expected one of Exchange, Compute, Synchronization, Idle, got " +
                              describe_value(value));
    return ProfileStepKind::Exchange;
}

ProfileMetadata metadata_from_json(const JsonValue& value, const JsonPath& path,
                                   JsonProblems& problems) {
    JsonObject object(value, path, problems, {"name", "value"});
    return {.name = object.text("name"), .value = object.text("value")};
}

ProfileStep step_from_json(const JsonValue& value, const JsonPath& path, JsonProblems& problems) {
    JsonObject object(value, path, problems,
                      {"local_index", "phase", "epoch", "operation", "kind", "kernel", "metadata"});
    return {.local_index = object.u32("local_index"),
            .phase = object.u32("phase"),
            .epoch = object.u32("epoch"),
            .operation = object.text("operation"),
            .kind = object.record("kind", kind_from_json),
            .kernel = object.text("kernel"),
            .metadata = object.list("metadata", metadata_from_json)};
}

CycleSample sample_from_json(const JsonValue& value, const JsonPath& path, JsonProblems& problems) {
    JsonObject object(value, path, problems, {"step", "start_cycle", "end_cycle"});
    return {.step = object.record("step", step_from_json),
            .start_cycle = object.u32("start_cycle"),
            .end_cycle = object.u32("end_cycle")};
}

TileProfile tile_from_json(const JsonValue& value, const JsonPath& path, JsonProblems& problems) {
    JsonObject object(value, path, problems, {"physical_tile", "samples"});
    return {.physical_tile = object.u32("physical_tile"),
            .samples = object.list("samples", sample_from_json)};
}

}  // namespace

JsonOutput profile_to_json(const ProfileReport& report) {
    JsonOutput tiles = JsonOutput::array();
    for (const TileProfile& tile : report.tiles) {
        JsonOutput samples = JsonOutput::array();
        for (const CycleSample& sample : tile.samples) {
            samples.push_back({{"step", step_to_json(sample.step)},
                               {"start_cycle", sample.start_cycle},
                               {"end_cycle", sample.end_cycle}});
        }
        tiles.push_back({{"physical_tile", tile.physical_tile}, {"samples", std::move(samples)}});
    }
    return {{"clock_hz", report.clock_hz}, {"tiles", std::move(tiles)}};
}

std::expected<ProfileReport, std::string> profile_from_json(const JsonValue& document) {
    JsonProblems problems;
    const JsonPath root;
    JsonObject object(document, root, problems, {"clock_hz", "tiles"});
    ProfileReport report{.clock_hz = object.u64("clock_hz"),
                         .tiles = object.list("tiles", tile_from_json)};
    if (problems.any()) {
        return std::unexpected(problems.first());
    }
    return report;
}

}  // namespace vexa_cli
