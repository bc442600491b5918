#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <pybind11/pybind11.h>

#include "field_conversion.hpp"
#include "record_classes.hpp"
#include "vexa_package/record_fields.hpp"

namespace vexa_package::python {

// Python records and C++ records convert into each other field by field through the
// records' field tables, so both directions follow the declaration order and field names of
// the C++ records, which the Python classes share.

/// A Python record as a C++ record. `object` must already be known to be an instance of the
/// record's class; each field is checked as it is read (see FieldReader), in declaration
/// order, so the first wrong field is the one reported.
template <ModelRecord Record>
[[nodiscard]] Record record_from_python(pybind11::handle object, const RecordClasses& classes);

// One field's value, read from `fields` into `value`.
inline void field_from_python(const FieldReader& fields, const char* name, std::uint32_t& value,
                              const RecordClasses& /*classes*/) {
    value = fields.u32(name);
}
inline void field_from_python(const FieldReader& fields, const char* name, std::uint64_t& value,
                              const RecordClasses& /*classes*/) {
    value = fields.u64(name);
}
inline void field_from_python(const FieldReader& fields, const char* name, std::string& value,
                              const RecordClasses& /*classes*/) {
    value = fields.text(name);
}
inline void field_from_python(const FieldReader& fields, const char* name, Bytes& value,
                              const RecordClasses& /*classes*/) {
    value = fields.bytes(name);
}
inline void field_from_python(const FieldReader& fields, const char* name,
                              std::vector<std::uint32_t>& value, const RecordClasses& /*classes*/) {
    value = fields.u32_list(name);
}
// A ProfileStepKind member or its code: the enumeration is an integer enumeration.
inline void field_from_python(const FieldReader& fields, const char* name, ProfileStepKind& value,
                              const RecordClasses& classes) {
    value =
        static_cast<ProfileStepKind>(fields.unsigned_at_most(name, classes.step_kinds.size() - 1));
}
template <ModelRecord Record>
void field_from_python(const FieldReader& fields, const char* name, Record& value,
                       const RecordClasses& classes) {
    value = record_from_python<Record>(fields.record(name, classes.of<Record>()), classes);
}
template <ModelRecord Record>
void field_from_python(const FieldReader& fields, const char* name, std::vector<Record>& value,
                       const RecordClasses& classes) {
    value = fields.records(name, classes.of<Record>(), [&](pybind11::handle item) {
        return record_from_python<Record>(item, classes);
    });
}

template <ModelRecord Record>
Record record_from_python(pybind11::handle object, const RecordClasses& classes) {
    // Table names view string literals, so they are C strings too.
    const FieldReader fields(object, record_name<Record>.data());
    Record record;
    for_each_field(record, [&](const auto& field, auto& value) {
        field_from_python(fields, field.name.data(), value, classes);
    });
    return record;
}

/// `application` with only its first tile numbered `physical_tile`, or with no tile when it
/// has none: all that `Application::tile_image` looks at, without converting the others.
[[nodiscard]] Application tile_of_application_from_python(pybind11::handle application,
                                                          std::uint32_t physical_tile,
                                                          const RecordClasses& classes);

/// Builds Python records from C++ records. Equal texts share one Python string: reports repeat
/// a few operation, kernel and metadata texts millions of times, and one string per distinct
/// text saves most of the memory their records take. The texts are keyed by the C++ strings
/// themselves, so the records converted must outlive the converter.
class RecordsToPython {
  public:
    explicit RecordsToPython(const RecordClasses& classes) : classes_(classes) {}

    /// A new Python record holding `record`'s fields.
    template <ModelRecord Record>
    [[nodiscard]] pybind11::object record(const Record& record) {
        RecordBuilder builder(classes_.of<Record>());
        for_each_field(record, [&](const auto& field, const auto& value) {
            builder.set(field.name.data(), this->value(value));
        });
        return builder.finish();
    }

    /// The Python value of one field.
    [[nodiscard]] pybind11::object value(std::uint32_t number) { return python_int(number); }
    [[nodiscard]] pybind11::object value(std::uint64_t number) { return python_int(number); }
    [[nodiscard]] pybind11::object value(const std::string& text);
    [[nodiscard]] pybind11::object value(const Bytes& bytes) { return python_bytes(bytes); }
    [[nodiscard]] pybind11::object value(const std::vector<std::uint32_t>& numbers) {
        return python_u32_list(numbers);
    }
    [[nodiscard]] pybind11::object value(ProfileStepKind kind) {
        return classes_.step_kinds.at(static_cast<std::size_t>(kind));
    }
    template <ModelRecord Record>
    [[nodiscard]] pybind11::object value(const Record& nested) {
        return record(nested);
    }
    template <ModelRecord Record>
    [[nodiscard]] pybind11::object value(const std::vector<Record>& records) {
        return python_list(records, [&](const Record& element) { return record(element); });
    }

  private:
    const RecordClasses& classes_;
    std::unordered_map<std::string_view, pybind11::object> texts_;
};

}  // namespace vexa_package::python
