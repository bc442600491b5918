#include "field_conversion.hpp"

#include <span>
#include <string>

#include "byte_view.hpp"

namespace vexa_package::python {

namespace py = pybind11;

namespace {

[[noreturn]] void fail_with(PyObject* type, const std::string& message) {
    PyErr_SetString(type, message.c_str());
    throw py::error_already_set();
}

std::string type_name(py::handle object) {
    return Py_TYPE(object.ptr())->tp_name;
}

std::string class_name(py::handle cls) {
    return py::str(cls.attr("__name__"));
}

py::object steal_or_raise(PyObject* object) {
    if (object == nullptr) {
        throw py::error_already_set();
    }
    return py::reinterpret_steal<py::object>(object);
}

// `value` as an unsigned number of at most `max`; `describe` names it in errors and is only
// called on failure, so converting millions of fields builds no names.
template <typename Describe>
std::uint64_t unsigned_value(py::handle value, std::uint64_t max, Describe&& describe) {
    PyObject* index = PyNumber_Index(value.ptr());
    if (index == nullptr) {
        PyErr_Clear();
        fail_with(PyExc_TypeError, describe() + " must be an integer, not " + type_name(value));
    }
    const auto owned = py::reinterpret_steal<py::object>(index);
    // Negative numbers and numbers beyond 64 bits fail the conversion itself.
    const unsigned long long number = PyLong_AsUnsignedLongLong(index);
    const bool failed = number == static_cast<unsigned long long>(-1) && PyErr_Occurred();
    if (failed) {
        PyErr_Clear();
    }
    if (failed || number > max) {
        fail_with(PyExc_OverflowError, describe() + " must be from 0 to " + std::to_string(max) +
                                           ", not " + std::string(py::str(owned)));
    }
    return number;
}

}  // namespace

std::string FieldReader::where(const char* field) const {
    return std::string(record_name_) + "." + field;
}

py::object FieldReader::get(const char* field) const {
    return steal_or_raise(PyObject_GetAttrString(record_.ptr(), field));
}

std::uint64_t FieldReader::unsigned_at_most(const char* field, std::uint64_t max) const {
    return unsigned_value(get(field), max, [&] { return where(field); });
}

std::string FieldReader::text(const char* field) const {
    const py::object value = get(field);
    if (!PyUnicode_Check(value.ptr())) {
        fail_with(PyExc_TypeError, where(field) + " must be a str, not " + type_name(value));
    }
    Py_ssize_t size = 0;
    // Fails (UnicodeEncodeError) for lone surrogates, which have no UTF-8 form.
    const char* data = PyUnicode_AsUTF8AndSize(value.ptr(), &size);
    if (data == nullptr) {
        throw py::error_already_set();
    }
    return std::string(data, static_cast<std::size_t>(size));
}

Bytes FieldReader::bytes(const char* field) const {
    const py::object value = get(field);
    if (!PyObject_CheckBuffer(value.ptr())) {
        fail_with(PyExc_TypeError, where(field) + " must be bytes, not " + type_name(value));
    }
    const ByteView view(value);
    const std::span<const std::uint8_t> data = view.bytes();
    return Bytes(data.begin(), data.end());
}

py::object FieldReader::fast_sequence(const char* field) const {
    const py::object value = get(field);
    PyObject* sequence = PySequence_Fast(value.ptr(), "");
    if (sequence == nullptr) {
        PyErr_Clear();
        fail_with(PyExc_TypeError, where(field) + " must be a list, not " + type_name(value));
    }
    return py::reinterpret_steal<py::object>(sequence);
}

std::vector<std::uint32_t> FieldReader::u32_list(const char* field) const {
    const py::object sequence = fast_sequence(field);
    const Py_ssize_t size = PySequence_Fast_GET_SIZE(sequence.ptr());
    std::vector<std::uint32_t> result;
    result.reserve(static_cast<std::size_t>(size));
    for (Py_ssize_t i = 0; i < size; ++i) {
        result.push_back(static_cast<std::uint32_t>(unsigned_value(
            PySequence_Fast_GET_ITEM(sequence.ptr(), i), std::numeric_limits<std::uint32_t>::max(),
            [&] { return where(field) + "[" + std::to_string(i) + "]"; })));
    }
    return result;
}

py::object FieldReader::record(const char* field, py::handle cls) const {
    py::object value = get(field);
    const int matches = PyObject_IsInstance(value.ptr(), cls.ptr());
    if (matches < 0) {
        throw py::error_already_set();
    }
    if (matches == 0) {
        fail_with(PyExc_TypeError,
                  where(field) + " must be a " + class_name(cls) + ", not " + type_name(value));
    }
    return value;
}

void FieldReader::check_element(const char* field, Py_ssize_t index, py::handle item,
                                py::handle cls) const {
    const int matches = PyObject_IsInstance(item.ptr(), cls.ptr());
    if (matches < 0) {
        throw py::error_already_set();
    }
    if (matches == 0) {
        fail_with(PyExc_TypeError, where(field) + "[" + std::to_string(index) + "] must be a " +
                                       class_name(cls) + ", not " + type_name(item));
    }
}

std::uint64_t unsigned_argument(py::handle value, std::uint64_t max, const char* name) {
    return unsigned_value(value, max, [&] { return std::string(name); });
}

void expect_instance(py::handle object, py::handle cls) {
    const int matches = PyObject_IsInstance(object.ptr(), cls.ptr());
    if (matches < 0) {
        throw py::error_already_set();
    }
    if (matches == 0) {
        fail_with(PyExc_TypeError, "expected " + class_name(cls) + ", not " + type_name(object));
    }
}

RecordBuilder::RecordBuilder(py::handle cls) {
    auto* type = reinterpret_cast<PyTypeObject*>(cls.ptr());
    const py::tuple no_arguments;
    record_ = steal_or_raise(type->tp_new(type, no_arguments.ptr(), nullptr));
}

RecordBuilder& RecordBuilder::set(const char* field, py::object value) {
    if (PyObject_SetAttrString(record_.ptr(), field, value.ptr()) != 0) {
        throw py::error_already_set();
    }
    return *this;
}

py::object python_int(std::uint64_t value) {
    return steal_or_raise(PyLong_FromUnsignedLongLong(value));
}

py::object python_text(std::string_view text) {
    return steal_or_raise(
        PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "strict"));
}

py::object python_bytes(const Bytes& bytes) {
    return steal_or_raise(PyBytes_FromStringAndSize(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<Py_ssize_t>(bytes.size())));
}

py::object python_u32_list(const std::vector<std::uint32_t>& values) {
    return python_list(values, [](std::uint32_t value) { return python_int(value); });
}

}  // namespace vexa_package::python
