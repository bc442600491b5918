#pragma once

#include <expected>
#include <string>

#include "json/json_document.hpp"
#include "vexa_package/profile.hpp"
#include "vexa_package/profile_visitor.hpp"

namespace vexa_cli {

/// Sets the step's fields of `sample` in `object`, in place: local_index, phase, epoch,
/// operation, kind (its name) and kernel. Fields the object lacks are added at its end.
void assign_step_fields(JsonOutput& object, const vexa_package::CycleSampleView& sample);

/// One sample as JSON, every field under its model name, in declaration order; a step kind is
/// its name ("Exchange", "Compute", "Synchronization", "Idle"). The document is filled in place
/// for each sample, so that writing millions of them allocates only where a text or the
/// metadata list outgrows what it held before.
class SampleJson {
  public:
    SampleJson();

    /// The JSON of `sample`, valid until the next call.
    [[nodiscard]] const JsonOutput& operator()(const vexa_package::CycleSampleView& sample);

  private:
    JsonOutput json_;
};

/// The report a JSON document describes; every field is required and no other is allowed.
/// The error names the first wrong, missing or unknown field by its path.
[[nodiscard]] std::expected<vexa_package::ProfileReport, std::string> profile_from_json(
    const JsonValue& document);

}  // namespace vexa_cli
