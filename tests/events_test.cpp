#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support/sample_applications.hpp"
#include "vexa_package/application.hpp"
#include "vexa_package/events.hpp"

namespace vexa_package {
namespace {

TEST(Events, LevelNamesAreUppercaseEnumeratorNames) {
    const std::pair<Level, std::string_view> names[] = {
        {Level::Trace, "TRACE"}, {Level::Debug, "DEBUG"}, {Level::Info, "INFO"},
        {Level::Warn, "WARN"},   {Level::Error, "ERROR"},
    };
    for (const auto& [level, name] : names) {
        EXPECT_EQ(level_name(level), name);
    }
    EXPECT_EQ(level_name(static_cast<Level>(5)), "UNKNOWN");
}

// A sink that keeps the default `enabled` is given the events of every level.
class DefaultLevelsSink final : public EventSink {
  public:
    void on_event(const Event& event) noexcept override {
        messages.push_back(std::string(level_name(event.level)) + " " + std::string(event.message));
    }
    std::vector<std::string> messages;
};

TEST(Events, SinkWithTheDefaultFilterReceivesEveryLevel) {
    DefaultLevelsSink sink;
    for (const Level level : {Level::Trace, Level::Debug, Level::Info, Level::Warn, Level::Error}) {
        EXPECT_TRUE(static_cast<const EventSink&>(sink).enabled(level)) << level_name(level);
    }
    EventSink* const previous = set_event_sink(&sink);
    const Application application = testing::minimal_application();
    Bytes bytes;
    const bool written = application.write(bytes).has_value();
    const auto image = application.tile_image(application.tiles[0].physical_tile);
    EXPECT_EQ(set_event_sink(previous), &sink);
    ASSERT_TRUE(written);
    ASSERT_TRUE(image.has_value()) << image.error();
    EXPECT_EQ(sink.messages, (std::vector<std::string>{"INFO writing application package",
                                                       "INFO application package written",
                                                       "TRACE reconstructing tile image"}));
}

}  // namespace
}  // namespace vexa_package
