#include "json/json_profile.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>

#include "json/json_fields.hpp"

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

SampleJson::SampleJson()
    : json_({{"step",
              {{"local_index", 0U},
               {"phase", 0U},
               {"epoch", 0U},
               {"operation", ""},
               {"kind", ""},
               {"kernel", ""},
               {"metadata", JsonOutput::array()}}},
             {"start_cycle", 0U},
             {"end_cycle", 0U}}) {}

void assign_step_fields(JsonOutput& object, const CycleSampleView& sample) {
    object["local_index"] = sample.local_index;
    object["phase"] = sample.phase;
    object["epoch"] = sample.epoch;
    assign_text(object["operation"], sample.operation);
    assign_text(object["kind"], to_string(sample.kind));
    assign_text(object["kernel"], sample.kernel);
}

const JsonOutput& SampleJson::operator()(const CycleSampleView& sample) {
    JsonOutput& step = json_["step"];
    assign_step_fields(step, sample);
    auto& metadata = step["metadata"].get_ref<JsonOutput::array_t&>();
    metadata.resize(std::min(metadata.size(), sample.metadata.size()));
    while (metadata.size() < sample.metadata.size()) {
        metadata.push_back({{"name", ""}, {"value", ""}});
    }
    for (std::size_t i = 0; i < metadata.size(); ++i) {
        assign_text(metadata[i]["name"], sample.metadata[i].name);
        assign_text(metadata[i]["value"], sample.metadata[i].value);
    }
    json_["start_cycle"] = sample.start_cycle;
    json_["end_cycle"] = sample.end_cycle;
    return json_;
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
