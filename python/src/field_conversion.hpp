#pragma once

#include <Python.h>

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <pybind11/pybind11.h>

#include "vexa_package/constants.hpp"

namespace vexa_package::python {

/// Reads the fields of one Python record as C++ values. Each value is checked against the
/// C++ type of its field: a value of another type raises TypeError and a number out of range
/// OverflowError, both naming the record and the field (`Segment.address`).
class FieldReader {
  public:
    /// `record_name` is the C++ record name used in error messages; `record` must already be
    /// known to be of that record's class.
    FieldReader(pybind11::handle record, const char* record_name) noexcept
        : record_(record), record_name_(record_name) {}

    [[nodiscard]] std::uint32_t u32(const char* field) const {
        return static_cast<std::uint32_t>(
            unsigned_at_most(field, std::numeric_limits<std::uint32_t>::max()));
    }
    [[nodiscard]] std::uint64_t u64(const char* field) const {
        return unsigned_at_most(field, std::numeric_limits<std::uint64_t>::max());
    }
    [[nodiscard]] std::uint64_t unsigned_at_most(const char* field, std::uint64_t max) const;
    [[nodiscard]] std::string text(const char* field) const;
    [[nodiscard]] Bytes bytes(const char* field) const;
    [[nodiscard]] std::vector<std::uint32_t> u32_list(const char* field) const;

    /// The nested record in `field`, checked to be an instance of `cls`.
    [[nodiscard]] pybind11::object record(const char* field, pybind11::handle cls) const;

    /// The list in `field` of records of class `cls`, each converted by `convert`.
    template <typename Convert>
    [[nodiscard]] auto records(const char* field, pybind11::handle cls, Convert&& convert) const
        -> std::vector<decltype(convert(pybind11::handle()))> {
        const pybind11::object sequence = fast_sequence(field);
        const Py_ssize_t size = PySequence_Fast_GET_SIZE(sequence.ptr());
        std::vector<decltype(convert(pybind11::handle()))> result;
        result.reserve(static_cast<std::size_t>(size));
        for (Py_ssize_t i = 0; i < size; ++i) {
            const pybind11::handle item = PySequence_Fast_GET_ITEM(sequence.ptr(), i);
            check_element(field, i, item, cls);
            result.push_back(convert(item));
        }
        return result;
    }

  private:
    [[nodiscard]] pybind11::object get(const char* field) const;
    [[nodiscard]] pybind11::object fast_sequence(const char* field) const;
    void check_element(const char* field, Py_ssize_t index, pybind11::handle item,
                       pybind11::handle cls) const;
    [[nodiscard]] std::string where(const char* field) const;

    pybind11::handle record_;
    const char* record_name_;
};

/// A function argument as an unsigned number of at most `max`, checked like a field.
[[nodiscard]] std::uint64_t unsigned_argument(pybind11::handle value, std::uint64_t max,
                                              const char* name);

/// Raises TypeError unless `object` is an instance of `cls`.
void expect_instance(pybind11::handle object, pybind11::handle cls);

/// Keeps Python's cycle collector from running while it lives. Building a tree of millions
/// of records would otherwise start a collection every few hundred objects, each walking
/// the tree built so far; the records form no cycles, so there is nothing to collect.
class CollectorPause {
  public:
    CollectorPause() noexcept : was_enabled_(PyGC_Disable() != 0) {}
    ~CollectorPause() {
        if (was_enabled_) {
            PyGC_Enable();
        }
    }
    CollectorPause(const CollectorPause&) = delete;
    CollectorPause& operator=(const CollectorPause&) = delete;

  private:
    bool was_enabled_;
};

/// Builds a Python record from C++ values. Its constructor is not run: every field is set
/// here, and skipping the constructor's defaults matters for reports of millions of samples.
class RecordBuilder {
  public:
    explicit RecordBuilder(pybind11::handle cls);

    RecordBuilder& set(const char* field, pybind11::object value);
    [[nodiscard]] pybind11::object finish() { return std::move(record_); }

  private:
    pybind11::object record_;
};

[[nodiscard]] pybind11::object python_int(std::uint64_t value);
/// A text the library produced or accepted, hence valid UTF-8.
[[nodiscard]] pybind11::object python_text(std::string_view text);
[[nodiscard]] pybind11::object python_bytes(const Bytes& bytes);
[[nodiscard]] pybind11::object python_u32_list(const std::vector<std::uint32_t>& values);

/// A Python list of `convert(element)` for each element.
template <typename T, typename Convert>
[[nodiscard]] pybind11::object python_list(const std::vector<T>& values, Convert&& convert) {
    auto list = pybind11::reinterpret_steal<pybind11::object>(
        PyList_New(static_cast<Py_ssize_t>(values.size())));
    if (!list) {
        throw pybind11::error_already_set();
    }
    for (std::size_t i = 0; i < values.size(); ++i) {
        PyList_SET_ITEM(list.ptr(), static_cast<Py_ssize_t>(i), convert(values[i]).release().ptr());
    }
    return list;
}

}  // namespace vexa_package::python
