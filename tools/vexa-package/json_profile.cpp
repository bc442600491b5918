#include "json_profile.hpp"

#include <array>

#include "json_fields.hpp"

namespace vexa_cli {
namespace {

using namespace vexa_package;

constexpr std::array KINDS{ProfileStepKind::Exchange, ProfileStepKind::Compute,
                           ProfileStepKind::Synchronization, ProfileStepKind::Idle};

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

JsonOutput sample_to_json(const CycleSampleView& sample) {
    JsonOutput metadata = JsonOutput::array();
    for (const ProfileMetadataView& entry : sample.metadata) {
        metadata.push_back({{"name", entry.name}, {"value", entry.value}});
    }
    JsonOutput step = {{"local_index", sample.local_index},
                       {"phase", sample.phase},
                       {"epoch", sample.epoch},
                       {"operation", sample.operation},
                       {"kind", to_string(sample.kind)},
                       {"kernel", sample.kernel},
                       {"metadata", std::move(metadata)}};
    return {{"step", std::move(step)},
            {"start_cycle", sample.start_cycle},
            {"end_cycle", sample.end_cycle}};
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
