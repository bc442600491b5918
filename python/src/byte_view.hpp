#pragma once

#include <Python.h>

#include <cstdint>
#include <span>

#include <pybind11/pybind11.h>

namespace vexa_package::python {

/// The bytes of any object with the buffer protocol (bytes, bytearray, memoryview, mmap,
/// NumPy arrays), borrowed without copying for as long as the view lives.
///
/// The exporter is held, so a memory-mapped file cannot be closed and a bytearray cannot be
/// resized under a reader that runs with the GIL released.
class ByteView {
  public:
    /// Fails with BufferError for a buffer that is not contiguous, TypeError for an object
    /// that has none.
    explicit ByteView(pybind11::handle object);
    ~ByteView();
    ByteView(const ByteView&) = delete;
    ByteView& operator=(const ByteView&) = delete;

    [[nodiscard]] std::span<const std::uint8_t> bytes() const noexcept;

  private:
    Py_buffer buffer_{};
};

}  // namespace vexa_package::python
