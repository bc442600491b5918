#include "record_tables.hpp"

#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

#include "record_conversion.hpp"

namespace vexa_package::python {

namespace py = pybind11;

namespace {

template <typename T>
struct PythonType;
template <>
struct PythonType<std::uint32_t> {
    static std::string name() { return "int"; }
};
template <>
struct PythonType<std::uint64_t> {
    static std::string name() { return "int"; }
};
template <>
struct PythonType<std::string> {
    static std::string name() { return "str"; }
};
template <>
struct PythonType<Bytes> {
    static std::string name() { return "bytes"; }
};
template <>
struct PythonType<std::vector<std::uint32_t>> {
    static std::string name() { return "list[int]"; }
};
template <>
struct PythonType<ProfileStepKind> {
    static std::string name() { return "ProfileStepKind"; }
};
template <ModelRecord Record>
struct PythonType<Record> {
    static std::string name() { return std::string(record_name<Record>); }
};
template <ModelRecord Record>
struct PythonType<std::vector<Record>> {
    static std::string name() { return "list[" + std::string(record_name<Record>) + "]"; }
};

}  // namespace

py::dict record_tables_to_python(const RecordClasses& classes) {
    py::dict tables;
    for_each_record(PythonRecords{}, [&](auto type) {
        using Record = typename decltype(type)::type;
        // The converter keys texts by the default record's strings, so it goes first.
        const Record defaults{};
        RecordsToPython convert(classes);
        py::list fields;
        for_each_field(defaults, [&](const auto& field, const auto& value) {
            using Value = std::remove_cvref_t<decltype(value)>;
            fields.append(py::make_tuple(
                std::string(field.name), std::string(field_hint_name(field.hint)),
                shown_in_hexadecimal(field.hint), PythonType<Value>::name(), convert.value(value)));
        });
        tables[py::str(std::string(record_name<Record>))] = fields;
    });
    return tables;
}

}  // namespace vexa_package::python
