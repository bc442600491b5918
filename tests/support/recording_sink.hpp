#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "vexa_package/events.hpp"

namespace vexa_package::testing {

/// An event as recorded, owning copies of its views.
struct RecordedEvent {
    Level level;
    std::string target;
    std::string message;
    std::map<std::string, std::variant<std::uint64_t, std::string>> fields;
};

/// Records every event it is given while installed; installs itself on construction and
/// puts the previous sink back on destruction.
class RecordingSink final : public EventSink {
  public:
    explicit RecordingSink(Level minimum = Level::Trace) : minimum_(minimum) {
        previous_ = set_event_sink(this);
    }
    ~RecordingSink() override { set_event_sink(previous_); }
    RecordingSink(const RecordingSink&) = delete;
    RecordingSink& operator=(const RecordingSink&) = delete;

    bool enabled(Level level) const noexcept override { return level >= minimum_; }

    void on_event(const Event& event) noexcept override {
        RecordedEvent recorded{.level = event.level,
                               .target = std::string(event.target),
                               .message = std::string(event.message),
                               .fields = {}};
        for (const EventField& field : event.fields) {
            auto& slot = recorded.fields[std::string(field.name)];
            if (const auto* number = std::get_if<std::uint64_t>(&field.value)) {
                slot = *number;
            } else {
                slot = std::string(std::get<std::string_view>(field.value));
            }
        }
        const std::lock_guard lock(mutex_);
        events_.push_back(std::move(recorded));
    }

    std::vector<RecordedEvent> events() const {
        const std::lock_guard lock(mutex_);
        return events_;
    }

    std::vector<std::string> messages() const {
        std::vector<std::string> result;
        for (const auto& event : events()) {
            result.push_back(event.message);
        }
        return result;
    }

  private:
    Level minimum_;
    EventSink* previous_ = nullptr;
    mutable std::mutex mutex_;
    std::vector<RecordedEvent> events_;
};

}  // namespace vexa_package::testing
