#pragma once

#include <pybind11/pybind11.h>

#include "record_classes.hpp"

namespace vexa_package::python {

/// The field tables of every record, for the tests that hold the Python classes to them: the
/// record's name mapped to a list with, for each field in declaration order, a tuple of its
/// name, its hint's name, whether it is shown in hexadecimal, its Python type as written in
/// the class's annotations, and the Python value of the C++ record's default.
[[nodiscard]] pybind11::dict record_tables_to_python(const RecordClasses& classes);

}  // namespace vexa_package::python
