#include "log_sink.hpp"

#include <Python.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include <pybind11/pybind11.h>

#include "field_conversion.hpp"

namespace vexa_package::python {

namespace py = pybind11;

namespace {

// The levels of Python's logging module; TRACE is the level registered as "TRACE".
int python_level(Level level) noexcept {
    switch (level) {
        case Level::Trace:
            return 5;
        case Level::Debug:
            return 10;
        case Level::Info:
            return 20;
        case Level::Warn:
            return 30;
        case Level::Error:
            return 40;
    }
    return 40;
}

py::object field_value(const std::variant<std::uint64_t, std::string_view>& value) {
    if (const auto* number = std::get_if<std::uint64_t>(&value)) {
        return python_int(*number);
    }
    return python_text(std::get<std::string_view>(value));
}

// The `stacklevel` that makes logging attribute a record to the code that called the
// package: the frames of the package's own Python modules on top of the stack are skipped.
int caller_stack_level() {
    int level = 1;
    auto frame = py::reinterpret_borrow<py::object>(reinterpret_cast<PyObject*>(PyEval_GetFrame()));
    while (frame && !frame.is_none()) {
        const std::string module = py::str(frame.attr("f_globals").attr("get")("__name__", ""));
        if (module != "vexa_package" && !module.starts_with("vexa_package.")) {
            break;
        }
        ++level;
        frame = frame.attr("f_back");
    }
    return level;
}

// Lives as long as the process: the library may still hold it after it was replaced, until
// every call that started before has returned.
PythonLogSink& the_sink() noexcept {
    static PythonLogSink sink;
    return sink;
}

}  // namespace

void PythonLogSink::on_event(const Event& event) noexcept {
    // An event after the interpreter has gone has nowhere to go.
    if (!Py_IsInitialized()) {
        return;
    }
    const py::gil_scoped_acquire gil;
    try {
        const int level = python_level(event.level);
        const py::object logger =
            py::module_::import("logging").attr("getLogger")(python_text(event.target));
        if (!logger.attr("isEnabledFor")(level).cast<bool>()) {
            return;
        }
        py::dict extra;
        for (const EventField& field : event.fields) {
            extra[python_text(field.name)] = field_value(field.value);
        }
        logger.attr("log")(level, python_text(event.message), py::arg("extra") = extra,
                           py::arg("stacklevel") = caller_stack_level());
    } catch (py::error_already_set& error) {
        // A failing handler must not fail the library call that emitted the event.
        error.discard_as_unraisable("vexa_package event sink");
    } catch (...) {
        // Out of memory while building the record: the event is dropped like any other.
        PyErr_Clear();
    }
}

void install_log_sink() noexcept {
    set_event_sink(&the_sink());
}

void remove_log_sink() noexcept {
    EventSink* current = set_event_sink(nullptr);
    if (current != &the_sink()) {
        set_event_sink(current);
    }
}

}  // namespace vexa_package::python
