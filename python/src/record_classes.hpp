#pragma once

#include <array>

#include <pybind11/pybind11.h>

namespace vexa_package::python {

/// The Python classes of the records, looked up once per call that converts records. They
/// live in `vexa_package._records` and `vexa_package._samples`; holding them only for one call
/// keeps no Python object alive in the module beyond the interpreter's life.
struct RecordClasses {
    pybind11::object segment;
    pybind11::object tile_image;
    pybind11::object region_slice;
    pybind11::object binding;
    pybind11::object host_page;
    pybind11::object host_slice;
    pybind11::object host_call;
    pybind11::object host_exchange;
    pybind11::object entry_point;
    pybind11::object device_config_write;
    pybind11::object application;
    pybind11::object profile_metadata;
    pybind11::object profile_step;
    pybind11::object cycle_sample;
    pybind11::object tile_profile;
    pybind11::object profile_report;
    pybind11::object profile_samples;
    pybind11::object timeline_span;
    pybind11::object timeline_anomaly;
    /// The `ProfileStepKind` members by code.
    std::array<pybind11::object, 4> step_kinds;

    [[nodiscard]] static RecordClasses import();
};

}  // namespace vexa_package::python
