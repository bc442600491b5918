#include "python_errors.hpp"

namespace vexa_package::python {

namespace py = pybind11;

void raise_package_error(const PackageError& error) {
    const py::module_ errors = py::module_::import("vexa_package._errors");
    const std::string message = error.message();
    py::object exception;
    switch (error.kind()) {
        case PackageError::Kind::Capnp:
            exception = errors.attr("CapnpError")(message);
            break;
        case PackageError::Kind::Io:
            exception = errors.attr("IoError")(message);
            break;
        case PackageError::Kind::Utf8: {
            const Utf8Error& utf8 = *error.utf8();
            const py::object error_len =
                utf8.error_len ? py::object(py::int_(*utf8.error_len)) : py::object(py::none());
            exception = errors.attr("Utf8Error")(message, utf8.valid_up_to, error_len);
            break;
        }
        case PackageError::Kind::SchemaEnum:
            exception = errors.attr("SchemaEnumError")(message, *error.schema_enum());
            break;
        case PackageError::Kind::Invalid:
            exception = errors.attr("InvalidPackageError")(message);
            break;
    }
    PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(exception.ptr())), exception.ptr());
    throw py::error_already_set();
}

}  // namespace vexa_package::python
