#pragma once

#include <capnp/message.h>

#include <expected>

#include "vexa_package/application.hpp"
#include "vexa_package/profile.hpp"

namespace vexa_package::testing {

// The writers as they were before they built messages in place: Cap'n Proto's default
// message builder filled in the same order, then the whole message written out. The bytes
// and refusals of the library's writers are compared with these.

/// Validates `application` and appends its package to `output`; on any error appends nothing.
/// A larger first segment than the default builder's holds more of the message in it.
[[nodiscard]] std::expected<void, PackageError> reference_write(
    const Application& application, Bytes& output,
    unsigned first_segment_words = capnp::SUGGESTED_FIRST_SEGMENT_WORDS);

/// Appends the report to `output`; on any error appends nothing.
[[nodiscard]] std::expected<void, PackageError> reference_write(
    const ProfileReport& report, Bytes& output,
    unsigned first_segment_words = capnp::SUGGESTED_FIRST_SEGMENT_WORDS);

}  // namespace vexa_package::testing
