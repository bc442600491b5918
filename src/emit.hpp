#pragma once

#include <span>
#include <string_view>

#include "vexa_package/events.hpp"

namespace vexa_package::detail {

inline constexpr std::string_view EVENT_TARGET = "vexa_package";

/// The installed sink when it wants events of `level`, else null. Callers build an event's
/// fields only after this returns a sink, so a program without a sink pays for nothing.
[[nodiscard]] EventSink* sink_for(Level level) noexcept;

/// Hands one event with the library's target to `sink`.
void emit(EventSink& sink, Level level, std::string_view message,
          std::span<const EventField> fields = {}) noexcept;

}  // namespace vexa_package::detail
