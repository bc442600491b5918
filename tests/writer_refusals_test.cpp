#include <gtest/gtest.h>

#include "message_output.hpp"
#include "recording_sink.hpp"
#include "sample_applications.hpp"
#include "vexa_package/application.hpp"
#include "vexa_package/profile.hpp"

namespace vexa_package {
namespace {

using Kind = PackageError::Kind;

// Writers refuse what no reader would accept, rather than reporting success.

TEST(WriterRefusals, ApplicationTextThatIsNotUtf8) {
    const std::vector<void (*)(Application&)> breakers = {
        [](Application& a) { a.compiler_version = "v\xff"; },
        [](Application& a) { a.inputs[0].dtype = "v\xff"; },
        [](Application& a) { a.host_exchange.calls[0].name = "v\xff"; },
        [](Application& a) { a.entry_points[1].name = "v\xff"; },
    };
    for (std::size_t i = 0; i < breakers.size(); ++i) {
        SCOPED_TRACE(i);
        Application application = testing::rich_application();
        breakers[i](application);
        testing::RecordingSink sink;
        Bytes output = {1, 2};
        const auto result = application.write(output);
        ASSERT_FALSE(result.has_value());
        EXPECT_EQ(result.error().kind(), Kind::Utf8);
        EXPECT_EQ(*result.error().utf8(), (Utf8Error{.valid_up_to = 1, .error_len = 1}));
        EXPECT_EQ(output, (Bytes{1, 2}));
        EXPECT_EQ(sink.messages(), std::vector<std::string>{"writing application package"});
    }
}

TEST(WriterRefusals, ProfileTextThatIsNotUtf8) {
    ProfileReport report{
        .clock_hz = 1,
        .tiles = {TileProfile{.physical_tile = 0,
                              .samples = {CycleSample{.step = {.kernel = "k\xe2\x82"}}}}}};
    Bytes output;
    const auto result = report.write(output);
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error().kind(), Kind::Utf8);
    EXPECT_EQ(*result.error().utf8(), (Utf8Error{.valid_up_to = 1, .error_len = std::nullopt}));
    EXPECT_TRUE(output.empty());
}

TEST(WriterRefusals, ListLengthsBeyondTheFormatAreNotTruncated) {
    EXPECT_EQ(detail::list_length((std::size_t{1} << 29) - 1), (1u << 29) - 1);
    EXPECT_THROW((void)detail::list_length(std::size_t{1} << 29), kj::Exception);
    EXPECT_THROW((void)detail::list_length((std::size_t{1} << 32) + 1), kj::Exception);
}

}  // namespace
}  // namespace vexa_package
