#include "json/json_profile.hpp"

#include <algorithm>
#include <cstddef>
#include <string_view>

#include "json/json_records.hpp"
#include "json/record_from_json.hpp"

namespace vexa_cli {

using vexa_package::CycleSampleView;

// The document starts as an empty sample, so its fields are those of the record's table.
SampleJson::SampleJson() : json_(record_to_json(vexa_package::CycleSample{})) {}

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
        metadata.push_back(record_to_json(vexa_package::ProfileMetadata{}));
    }
    for (std::size_t i = 0; i < metadata.size(); ++i) {
        assign_text(metadata[i]["name"], sample.metadata[i].name);
        assign_text(metadata[i]["value"], sample.metadata[i].value);
    }
    json_["start_cycle"] = sample.start_cycle;
    json_["end_cycle"] = sample.end_cycle;
    return json_;
}

std::expected<vexa_package::ProfileReport, std::string> profile_from_json(
    const JsonValue& document) {
    return model_from_json<vexa_package::ProfileReport>(document);
}

}  // namespace vexa_cli
