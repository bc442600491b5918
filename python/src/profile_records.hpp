#pragma once

#include <pybind11/pybind11.h>

#include "record_classes.hpp"
#include "vexa_package/profile.hpp"

namespace vexa_package::python {

// Python records to C++ records, as for the application records.
[[nodiscard]] ProfileMetadata profile_metadata_from_python(pybind11::handle record);
[[nodiscard]] ProfileStep profile_step_from_python(pybind11::handle record,
                                                   const RecordClasses& classes);
[[nodiscard]] CycleSample cycle_sample_from_python(pybind11::handle record,
                                                   const RecordClasses& classes);
[[nodiscard]] TileProfile tile_profile_from_python(pybind11::handle record,
                                                   const RecordClasses& classes);
[[nodiscard]] ProfileReport profile_report_from_python(pybind11::handle record,
                                                       const RecordClasses& classes);

/// A C++ report as a tree of new Python records; equal texts share one Python string.
[[nodiscard]] pybind11::object profile_report_to_python(const ProfileReport& report,
                                                        const RecordClasses& classes);

}  // namespace vexa_package::python
