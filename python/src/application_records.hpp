#pragma once

#include <pybind11/pybind11.h>

#include "record_classes.hpp"
#include "vexa_package/application.hpp"

namespace vexa_package::python {

// Python records to C++ records. Each takes an object already known to be an instance of the
// record's class and checks every field it reads (see FieldReader).
[[nodiscard]] Segment segment_from_python(pybind11::handle record);
[[nodiscard]] TileImage tile_image_from_python(pybind11::handle record,
                                               const RecordClasses& classes);
[[nodiscard]] RegionSlice region_slice_from_python(pybind11::handle record);
[[nodiscard]] Binding binding_from_python(pybind11::handle record, const RecordClasses& classes);
[[nodiscard]] HostPage host_page_from_python(pybind11::handle record);
[[nodiscard]] HostSlice host_slice_from_python(pybind11::handle record);
[[nodiscard]] HostCall host_call_from_python(pybind11::handle record, const RecordClasses& classes);
[[nodiscard]] HostExchange host_exchange_from_python(pybind11::handle record,
                                                     const RecordClasses& classes);
[[nodiscard]] EntryPoint entry_point_from_python(pybind11::handle record);
[[nodiscard]] DeviceConfigWrite device_config_write_from_python(pybind11::handle record);
[[nodiscard]] Application application_from_python(pybind11::handle record,
                                                  const RecordClasses& classes);

/// `application` with only its first tile numbered `physical_tile`, or with no tile when it
/// has none: all that `Application::tile_image` looks at, without converting the others.
[[nodiscard]] Application tile_of_application_from_python(pybind11::handle record,
                                                          std::uint32_t physical_tile,
                                                          const RecordClasses& classes);

/// A C++ application as a tree of new Python records.
[[nodiscard]] pybind11::object application_to_python(const Application& application,
                                                     const RecordClasses& classes);

}  // namespace vexa_package::python
