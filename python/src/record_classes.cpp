#include "record_classes.hpp"

namespace vexa_package::python {

namespace py = pybind11;

RecordClasses RecordClasses::import() {
    const py::module_ records = py::module_::import("vexa_package._records");
    const py::module_ samples = py::module_::import("vexa_package._samples");
    RecordClasses classes{
        .segment = records.attr("Segment"),
        .tile_image = records.attr("TileImage"),
        .region_slice = records.attr("RegionSlice"),
        .binding = records.attr("Binding"),
        .host_page = records.attr("HostPage"),
        .host_slice = records.attr("HostSlice"),
        .host_call = records.attr("HostCall"),
        .host_exchange = records.attr("HostExchange"),
        .entry_point = records.attr("EntryPoint"),
        .device_config_write = records.attr("DeviceConfigWrite"),
        .application = records.attr("Application"),
        .profile_metadata = records.attr("ProfileMetadata"),
        .profile_step = records.attr("ProfileStep"),
        .cycle_sample = records.attr("CycleSample"),
        .tile_profile = records.attr("TileProfile"),
        .profile_report = records.attr("ProfileReport"),
        .profile_samples = samples.attr("ProfileSamples"),
        .timeline_span = samples.attr("TimelineSpan"),
        .timeline_anomaly = samples.attr("TimelineAnomaly"),
        .step_kinds = {},
    };
    const py::object kind = records.attr("ProfileStepKind");
    for (std::size_t code = 0; code < classes.step_kinds.size(); ++code) {
        classes.step_kinds[code] = kind(code);
    }
    return classes;
}

}  // namespace vexa_package::python
