#pragma once

#include <expected>
#include <utility>

#include <pybind11/pybind11.h>

#include "vexa_package/error.hpp"

namespace vexa_package::python {

/// Raises `error` as the exception class of its kind (`vexa_package.CapnpError` and so on)
/// with the library's message unchanged. Needs the GIL.
[[noreturn]] void raise_package_error(const PackageError& error);

/// The value of `result`, or its error raised as above.
template <typename T>
T value_or_raise(std::expected<T, PackageError>&& result) {
    if (!result) {
        raise_package_error(result.error());
    }
    if constexpr (!std::is_void_v<T>) {
        return std::move(*result);
    }
}

/// Runs one library call with the GIL released, then returns its value or raises its error.
template <typename Call>
auto without_gil(Call&& call) {
    auto result = [&] {
        const pybind11::gil_scoped_release released;
        return std::forward<Call>(call)();
    }();
    return value_or_raise(std::move(result));
}

}  // namespace vexa_package::python
