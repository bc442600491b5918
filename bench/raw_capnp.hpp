#pragma once

#include <cstdint>
#include <span>

#include <capnp/common.h>
#include <kj/array.h>

#include "vexa_package/application.hpp"
#include "vexa_package/profile.hpp"

namespace vexa_package::bench {

// Baselines that use the generated Cap'n Proto code directly: what a caller pays who works on
// the message itself instead of on owned records.

/// Parses the package in place (the bytes must be 8-byte aligned) and reads every field
/// through the generated readers without building a model; returns a sum of all values so
/// that nothing can be optimised away.
[[nodiscard]] std::uint64_t traverse_package(std::span<const std::uint8_t> package);

/// The same for a profile report.
[[nodiscard]] std::uint64_t traverse_profile(std::span<const std::uint8_t> report);

/// Builds the package of `application` with the generated builders, with no validation and no
/// checks, in the order `Application::write` uses, and returns its words in stream framing.
[[nodiscard]] kj::Array<capnp::word> build_package(const Application& application);

/// The same for a profile report, in the order `ProfileReport::write` uses.
[[nodiscard]] kj::Array<capnp::word> build_profile(const ProfileReport& report);

}  // namespace vexa_package::bench
