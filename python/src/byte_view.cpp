#include "byte_view.hpp"

namespace vexa_package::python {

ByteView::ByteView(pybind11::handle object) {
    // A simple request asks for contiguous bytes and refuses anything else, so the span
    // below covers exactly the object's bytes in order.
    if (PyObject_GetBuffer(object.ptr(), &buffer_, PyBUF_SIMPLE) != 0) {
        throw pybind11::error_already_set();
    }
}

ByteView::~ByteView() {
    PyBuffer_Release(&buffer_);
}

std::span<const std::uint8_t> ByteView::bytes() const noexcept {
    return {static_cast<const std::uint8_t*>(buffer_.buf), static_cast<std::size_t>(buffer_.len)};
}

}  // namespace vexa_package::python
