#include <atomic>

#include "emit.hpp"

namespace vexa_package {
namespace {

// The one global of the library: the sink the host program installed.
std::atomic<EventSink*> installed_sink{nullptr};

}  // namespace

EventSink::~EventSink() = default;

bool EventSink::enabled(Level) const noexcept {
    return true;
}

EventSink* set_event_sink(EventSink* sink) noexcept {
    return installed_sink.exchange(sink, std::memory_order_acq_rel);
}

std::string_view level_name(Level level) noexcept {
    switch (level) {
        case Level::Trace:
            return "TRACE";
        case Level::Debug:
            return "DEBUG";
        case Level::Info:
            return "INFO";
        case Level::Warn:
            return "WARN";
        case Level::Error:
            return "ERROR";
    }
    return "UNKNOWN";
}

namespace detail {

EventSink* sink_for(Level level) noexcept {
    EventSink* sink = installed_sink.load(std::memory_order_acquire);
    return sink != nullptr && sink->enabled(level) ? sink : nullptr;
}

void emit(EventSink& sink, Level level, std::string_view message,
          std::span<const EventField> fields) noexcept {
    sink.on_event(
        Event{.level = level, .target = EVENT_TARGET, .message = message, .fields = fields});
}

}  // namespace detail
}  // namespace vexa_package
