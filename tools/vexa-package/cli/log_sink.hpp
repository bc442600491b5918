#pragma once

#include <optional>
#include <string_view>

#include "vexa_package/events.hpp"

namespace vexa_cli {

/// The names `--log-level` accepts, from quietest to most verbose.
inline constexpr std::string_view LOG_LEVEL_NAMES[] = {"off",  "error", "warn",
                                                       "info", "debug", "trace"};

/// The least severe level a `--log-level` name lets through; none for "off".
[[nodiscard]] std::optional<vexa_package::Level> log_threshold(std::string_view name);

/// Prints each event of the library at or above a level on standard error, one line each:
/// `vexa-package: INFO vexa_package: application package read tiles=3 compiler="vexc 4.2"`.
/// Installed for its lifetime; the sink that was installed before comes back afterwards.
class StderrEventSink final : public vexa_package::EventSink {
  public:
    explicit StderrEventSink(vexa_package::Level threshold);
    StderrEventSink(const StderrEventSink&) = delete;
    StderrEventSink& operator=(const StderrEventSink&) = delete;
    ~StderrEventSink() override;

    [[nodiscard]] bool enabled(vexa_package::Level level) const noexcept override;
    void on_event(const vexa_package::Event& event) noexcept override;

  private:
    vexa_package::Level threshold_;
    vexa_package::EventSink* previous_;
};

}  // namespace vexa_cli
