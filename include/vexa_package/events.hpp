#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <variant>

namespace vexa_package {

/// Severity of a diagnostic event, from the most verbose to the most severe.
enum class Level { Trace, Debug, Info, Warn, Error };

/// One named field of an event: a number or a text.
struct EventField {
    /// Field name, e.g. "tiles".
    std::string_view name;
    /// Numbers are unsigned 64-bit; addresses and versions are texts.
    std::variant<std::uint64_t, std::string_view> value;
};

/// A diagnostic event. Every view in it is valid only during `EventSink::on_event`.
struct Event {
    /// Severity of the event.
    Level level;
    /// Always "vexa_package".
    std::string_view target;
    /// One of the library's fixed event messages.
    std::string_view message;
    /// The event's named fields, possibly none.
    std::span<const EventField> fields;
};

/// Receives the library's diagnostic events; installed by the host program.
///
/// The library emits five events, all with the target "vexa_package": "writing application
/// package" and "application package written" (INFO, `Application::write`), "reading
/// application package" and "application package read" (INFO, `Application::read`) and
/// "reconstructing tile image" (TRACE, `Application::tile_image`). Events may arrive from
/// several threads at once.
class EventSink {
  public:
    virtual ~EventSink();
    /// Whether events of `level` are wanted; when not, the library does not even build them.
    [[nodiscard]] virtual bool enabled(Level level) const noexcept;
    /// Records one event.
    virtual void on_event(const Event& event) noexcept = 0;
};

/// Installs the process-wide event sink and returns the previous one. A null sink drops
/// every event. The sink must stay alive until it has been replaced and no library call
/// that started before the replacement is still running.
EventSink* set_event_sink(EventSink* sink) noexcept;

/// The name of a level: "TRACE", "DEBUG", "INFO", "WARN" or "ERROR".
[[nodiscard]] std::string_view level_name(Level level) noexcept;

}  // namespace vexa_package
