#include "cli/log_sink.hpp"

#include <cstdio>
#include <string>
#include <variant>

#include <nlohmann/json.hpp>

#include "cli/diagnostics.hpp"

namespace vexa_cli {

using vexa_package::Level;

std::optional<Level> log_threshold(std::string_view name) {
    if (name == "error") {
        return Level::Error;
    }
    if (name == "warn") {
        return Level::Warn;
    }
    if (name == "info") {
        return Level::Info;
    }
    if (name == "debug") {
        return Level::Debug;
    }
    if (name == "trace") {
        return Level::Trace;
    }
    return std::nullopt;
}

StderrEventSink::StderrEventSink(Level threshold)
    : threshold_(threshold), previous_(vexa_package::set_event_sink(this)) {}

StderrEventSink::~StderrEventSink() {
    vexa_package::set_event_sink(previous_);
}

bool StderrEventSink::enabled(Level level) const noexcept {
    return level >= threshold_;
}

void StderrEventSink::on_event(const vexa_package::Event& event) noexcept {
    try {
        std::string line(PROGRAM);
        line.append(": ").append(vexa_package::level_name(event.level)).append(" ");
        line.append(event.target).append(": ").append(event.message);
        for (const vexa_package::EventField& field : event.fields) {
            line.append(" ").append(field.name).append("=");
            if (const auto* number = std::get_if<std::uint64_t>(&field.value)) {
                line.append(std::to_string(*number));
            } else {
                // Quoted and escaped, so a text with spaces or line breaks stays one field.
                line.append(nlohmann::json(std::string(std::get<std::string_view>(field.value)))
                                .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
            }
        }
        line.append("\n");
        std::fwrite(line.data(), 1, line.size(), stderr);
    } catch (...) {
        // An event that cannot be formatted is dropped; logging never ends the program.
    }
}

}  // namespace vexa_cli
