#pragma once

#include "vexa_package/events.hpp"

namespace vexa_package::python {

/// Forwards the library's events to Python's `logging`: each event becomes a record of the
/// logger named by its target, at the matching level (TRACE at 5, below DEBUG), with the
/// event's fields as attributes of the record. Events may come from threads that released
/// the GIL; the sink takes it for each event.
class PythonLogSink final : public EventSink {
  public:
    void on_event(const Event& event) noexcept override;
};

/// Installs the module's one `PythonLogSink`, replacing any other sink.
void install_log_sink() noexcept;

/// Removes the module's sink when it is installed; another sink is left in place.
void remove_log_sink() noexcept;

}  // namespace vexa_package::python
