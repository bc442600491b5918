#include "profile_records.hpp"

#include <string_view>
#include <unordered_map>

#include "field_conversion.hpp"

namespace vexa_package::python {

namespace py = pybind11;

ProfileMetadata profile_metadata_from_python(py::handle record) {
    const FieldReader fields(record, "ProfileMetadata");
    return ProfileMetadata{.name = fields.text("name"), .value = fields.text("value")};
}

ProfileStep profile_step_from_python(py::handle record, const RecordClasses& classes) {
    const FieldReader fields(record, "ProfileStep");
    return ProfileStep{
        .local_index = fields.u32("local_index"),
        .phase = fields.u32("phase"),
        .epoch = fields.u32("epoch"),
        .operation = fields.text("operation"),
        // A ProfileStepKind member or its code: the enumeration is an integer enumeration.
        .kind = static_cast<ProfileStepKind>(
            fields.unsigned_at_most("kind", classes.step_kinds.size() - 1)),
        .kernel = fields.text("kernel"),
        .metadata =
            fields.records("metadata", classes.profile_metadata, profile_metadata_from_python)};
}

CycleSample cycle_sample_from_python(py::handle record, const RecordClasses& classes) {
    const FieldReader fields(record, "CycleSample");
    return CycleSample{
        .step = profile_step_from_python(fields.record("step", classes.profile_step), classes),
        .start_cycle = fields.u32("start_cycle"),
        .end_cycle = fields.u32("end_cycle")};
}

TileProfile tile_profile_from_python(py::handle record, const RecordClasses& classes) {
    const FieldReader fields(record, "TileProfile");
    return TileProfile{
        .physical_tile = fields.u32("physical_tile"),
        .samples = fields.records("samples", classes.cycle_sample, [&](py::handle item) {
            return cycle_sample_from_python(item, classes);
        })};
}

ProfileReport profile_report_from_python(py::handle record, const RecordClasses& classes) {
    const FieldReader fields(record, "ProfileReport");
    return ProfileReport{
        .clock_hz = fields.u64("clock_hz"),
        .tiles = fields.records("tiles", classes.tile_profile, [&](py::handle item) {
            return tile_profile_from_python(item, classes);
        })};
}

namespace {

// Builds the Python records of one report. Reports repeat a few operation, kernel and
// metadata texts millions of times; one Python string per distinct text saves most of the
// memory the records take.
class ReportBuilder {
  public:
    explicit ReportBuilder(const RecordClasses& classes) : classes_(classes) {}

    py::object report(const ProfileReport& report) {
        return RecordBuilder(classes_.profile_report)
            .set("clock_hz", python_int(report.clock_hz))
            .set("tiles", python_list(report.tiles,
                                      [&](const TileProfile& tile) { return this->tile(tile); }))
            .finish();
    }

  private:
    py::object text(const std::string& value) {
        auto [entry, inserted] = texts_.try_emplace(value);
        if (inserted) {
            entry->second = python_text(value);
        }
        return entry->second;
    }

    py::object metadata(const ProfileMetadata& entry) {
        return RecordBuilder(classes_.profile_metadata)
            .set("name", text(entry.name))
            .set("value", text(entry.value))
            .finish();
    }

    py::object step(const ProfileStep& step) {
        return RecordBuilder(classes_.profile_step)
            .set("local_index", python_int(step.local_index))
            .set("phase", python_int(step.phase))
            .set("epoch", python_int(step.epoch))
            .set("operation", text(step.operation))
            .set("kind", classes_.step_kinds.at(static_cast<std::size_t>(step.kind)))
            .set("kernel", text(step.kernel))
            .set("metadata",
                 python_list(step.metadata,
                             [&](const ProfileMetadata& entry) { return metadata(entry); }))
            .finish();
    }

    py::object sample(const CycleSample& sample) {
        return RecordBuilder(classes_.cycle_sample)
            .set("step", step(sample.step))
            .set("start_cycle", python_int(sample.start_cycle))
            .set("end_cycle", python_int(sample.end_cycle))
            .finish();
    }

    py::object tile(const TileProfile& tile) {
        return RecordBuilder(classes_.tile_profile)
            .set("physical_tile", python_int(tile.physical_tile))
            .set("samples",
                 python_list(tile.samples, [&](const CycleSample& value) { return sample(value); }))
            .finish();
    }

    const RecordClasses& classes_;
    // Keys view the report's own strings, which outlive the builder.
    std::unordered_map<std::string_view, py::object> texts_;
};

}  // namespace

py::object profile_report_to_python(const ProfileReport& report, const RecordClasses& classes) {
    return ReportBuilder(classes).report(report);
}

}  // namespace vexa_package::python
