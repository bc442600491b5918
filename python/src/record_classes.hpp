#pragma once

#include <array>
#include <cstddef>
#include <type_traits>

#include <pybind11/pybind11.h>

#include "vexa_package/record_fields.hpp"

namespace vexa_package::python {

template <typename First, typename Second>
struct JoinedRecords;
template <typename... First, typename... Second>
struct JoinedRecords<RecordList<First...>, RecordList<Second...>> {
    using type = RecordList<First..., Second...>;
    static constexpr std::size_t count = sizeof...(First) + sizeof...(Second);
};

/// Every record that has a Python class: the package records, then the profile records.
using PythonRecords = JoinedRecords<ApplicationRecords, ProfileRecords>::type;
inline constexpr std::size_t PYTHON_RECORD_COUNT =
    JoinedRecords<ApplicationRecords, ProfileRecords>::count;

/// The position of `Record` in `PythonRecords`.
template <ModelRecord Record>
inline constexpr std::size_t python_record_index = [] {
    std::size_t index = 0;
    std::size_t found = 0;
    for_each_record(PythonRecords{}, [&](auto type) {
        if (std::is_same_v<typename decltype(type)::type, Record>) {
            found = index;
        }
        ++index;
    });
    return found;
}();

/// The Python classes of the records, looked up once per call that converts records. They
/// live in `vexa_package._records` and `vexa_package._samples`; holding them only for one call
/// keeps no Python object alive in the module beyond the interpreter's life.
struct RecordClasses {
    /// The class of each record, in the order of `PythonRecords`; each has the C++ record's
    /// name.
    std::array<pybind11::object, PYTHON_RECORD_COUNT> records;
    pybind11::object profile_samples;
    pybind11::object timeline_span;
    pybind11::object timeline_anomaly;
    /// The `ProfileStepKind` members by code.
    std::array<pybind11::object, 4> step_kinds;

    /// The class of `Record`.
    template <ModelRecord Record>
    [[nodiscard]] const pybind11::object& of() const noexcept {
        return records[python_record_index<Record>];
    }

    [[nodiscard]] static RecordClasses import();
};

}  // namespace vexa_package::python
