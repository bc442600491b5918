// The compiled part of the `vexa_package` Python package: the library's operations on the
// Python records of `vexa_package._records`. Records are converted to C++ values while the
// GIL is held, so the library then works on values no other thread can change, with the GIL
// released.
#include <Python.h>

#include <cstdint>
#include <expected>
#include <limits>
#include <optional>
#include <string>

#include <pybind11/pybind11.h>

#include "byte_view.hpp"
#include "field_conversion.hpp"
#include "log_sink.hpp"
#include "profile_arrays.hpp"
#include "python_errors.hpp"
#include "record_classes.hpp"
#include "record_conversion.hpp"
#include "record_tables.hpp"
#include "vexa_package/vexa_package.hpp"

namespace vexa_package::python {
namespace {

namespace py = pybind11;

py::object read_application(py::handle data) {
    const ByteView input(data);
    const RecordClasses classes = RecordClasses::import();
    const Application application = without_gil([&] { return Application::read(input.bytes()); });
    const CollectorPause pause;
    return RecordsToPython(classes).record(application);
}

py::bytes to_bytes(const Bytes& bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

py::bytes write_application(py::handle record) {
    const RecordClasses classes = RecordClasses::import();
    expect_instance(record, classes.of<Application>());
    const auto application = record_from_python<Application>(record, classes);
    Bytes output;
    without_gil([&] { return application.write(output); });
    return to_bytes(output);
}

void validate_application(py::handle record) {
    const RecordClasses classes = RecordClasses::import();
    expect_instance(record, classes.of<Application>());
    const auto application = record_from_python<Application>(record, classes);
    without_gil([&] { return application.validate(); });
}

py::bytes tile_image(py::handle record, py::handle tile_number) {
    const RecordClasses classes = RecordClasses::import();
    expect_instance(record, classes.of<Application>());
    const auto physical_tile = static_cast<std::uint32_t>(
        unsigned_argument(tile_number, std::numeric_limits<std::uint32_t>::max(), "physical_tile"));
    const Application tile = tile_of_application_from_python(record, physical_tile, classes);
    return to_bytes(without_gil([&] { return tile.tile_image(physical_tile); }));
}

py::object read_profile(py::handle data) {
    const ByteView input(data);
    const RecordClasses classes = RecordClasses::import();
    const ProfileReport report = without_gil([&] { return ProfileReport::read(input.bytes()); });
    const CollectorPause pause;
    return RecordsToPython(classes).record(report);
}

// The kind as its code and the announced size, or None; the package makes them records.
py::tuple identify(py::handle data) {
    const ByteView input(data);
    const FileIdentity identity = identify_file(input.bytes());
    return py::make_tuple(static_cast<int>(identity.kind),
                          identity.message_bytes ? py::object(py::int_(*identity.message_bytes))
                                                 : py::object(py::none()));
}

py::bytes write_profile(py::handle record) {
    const RecordClasses classes = RecordClasses::import();
    expect_instance(record, classes.of<ProfileReport>());
    const auto report = record_from_python<ProfileReport>(record, classes);
    Bytes output;
    without_gil([&] { return report.write(output); });
    return to_bytes(output);
}

py::object profile_samples(py::handle record) {
    const RecordClasses classes = RecordClasses::import();
    expect_instance(record, classes.of<ProfileReport>());
    const auto report = record_from_python<ProfileReport>(record, classes);
    SampleTable table;
    {
        const py::gil_scoped_release released;
        table = sample_table(report);
    }
    return samples_to_python(std::move(table), classes);
}

// The library's diagnostic rendering of any record, through its C++ value: what the tests
// compare with the C++ rendering of the same record, to check the conversions field by field.
// The records' own repr is Python's.
std::string render(py::handle record) {
    const RecordClasses classes = RecordClasses::import();
    std::optional<std::string> rendered;
    for_each_record(PythonRecords{}, [&](auto type) {
        using Record = typename decltype(type)::type;
        if (!rendered && py::isinstance(record, classes.of<Record>())) {
            rendered = to_string(record_from_python<Record>(record, classes));
        }
    });
    if (!rendered) {
        throw py::type_error("not a vexa_package record");
    }
    return *std::move(rendered);
}

// The field tables, for the tests that compare the Python classes with them.
py::dict record_tables() {
    return record_tables_to_python(RecordClasses::import());
}

}  // namespace
}  // namespace vexa_package::python

PYBIND11_MODULE(_vexa_package, module) {
    namespace py = pybind11;
    namespace vp = vexa_package;
    using namespace vexa_package::python;

    module.doc() = "The compiled part of vexa_package; use the package, not this module.";
    register_sample_dtype();

    module.def("read_application", &read_application, py::arg("data"));
    module.def("write_application", &write_application, py::arg("application"));
    module.def("validate_application", &validate_application, py::arg("application"));
    module.def("tile_image", &tile_image, py::arg("application"), py::arg("physical_tile"));
    module.def("read_profile", &read_profile, py::arg("data"));
    module.def("read_profile_samples", &read_profile_samples, py::arg("data"));
    module.def("write_profile", &write_profile, py::arg("report"));
    module.def("profile_samples", &profile_samples, py::arg("report"));
    module.def("render", &render, py::arg("record"));
    module.def("_record_tables", &record_tables);
    module.def("identify_file", &identify, py::arg("data"));
    module.def("install_log_sink", &install_log_sink);
    module.def("remove_log_sink", &remove_log_sink);

    module.attr("TILE_MEMORY_BASE") = vp::TILE_MEMORY_BASE;
    module.attr("TILE_MEMORY_SIZE") = vp::TILE_MEMORY_SIZE;
    module.attr("TILE_MEMORY_END") = vp::TILE_MEMORY_END;
    module.attr("PACKAGE_SCHEMA_VERSION") = vp::PACKAGE_SCHEMA_VERSION;
    module.attr("PROFILE_SCHEMA_VERSION") = vp::PROFILE_SCHEMA_VERSION;
    module.attr("PACKAGE_TARGET") = std::string(vp::PACKAGE_TARGET);
    module.attr("__version__") = std::string(vp::version());
}
