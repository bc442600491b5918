#include "record_classes.hpp"

namespace vexa_package::python {

namespace py = pybind11;

RecordClasses RecordClasses::import() {
    const py::module_ records = py::module_::import("vexa_package._records");
    const py::module_ samples = py::module_::import("vexa_package._samples");
    RecordClasses classes{
        .records = {},
        .profile_samples = samples.attr("ProfileSamples"),
        .timeline_span = samples.attr("TimelineSpan"),
        .timeline_anomaly = samples.attr("TimelineAnomaly"),
        .step_kinds = {},
    };
    for_each_record(PythonRecords{}, [&](auto type) {
        using Record = typename decltype(type)::type;
        classes.records[python_record_index<Record>] = records.attr(record_name<Record>.data());
    });
    const py::object kind = records.attr("ProfileStepKind");
    for (std::size_t code = 0; code < classes.step_kinds.size(); ++code) {
        classes.step_kinds[code] = kind(code);
    }
    return classes;
}

}  // namespace vexa_package::python
