#pragma once

#include <exception>
#include <expected>
#include <utility>

#include <kj/exception.h>

#include "vexa_package/error.hpp"

namespace vexa_package::detail {

/// Thrown from inside a message build to end the operation with one of the library's own
/// errors, which `at_capnp_boundary` then returns unchanged.
struct Refusal {
    PackageError error;
};

/// Runs `body` and turns whatever Cap'n Proto throws into a `Capnp` error, so that no
/// exception leaves a public operation. Anything else thrown on the way (out of memory while
/// copying a huge but well-formed message) is reported the same way rather than escaping.
template <typename Body>
auto at_capnp_boundary(Body&& body) noexcept -> decltype(std::forward<Body>(body)()) {
    try {
        return std::forward<Body>(body)();
    } catch (Refusal& refusal) {
        return std::unexpected(std::move(refusal.error));
    } catch (kj::Exception& exception) {
        return std::unexpected(PackageError(std::move(exception)));
    } catch (const std::exception& exception) {
        return std::unexpected(PackageError(kj::Exception(
            kj::Exception::Type::FAILED, __FILE__, __LINE__, kj::heapString(exception.what()))));
    }
}

}  // namespace vexa_package::detail
