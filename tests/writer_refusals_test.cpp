#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string_view>

#include "capnp_boundary.hpp"
#include "support/recording_sink.hpp"
#include "support/sample_applications.hpp"
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
        .tiles = {TileProfile{
            .physical_tile = 0,
            .samples = {
                CycleSample{.step = {.operation = "", .kernel = "k\xe2\x82", .metadata = {}}}}}}};
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

// A text takes its bytes and a NUL in a byte list of at most 2^29 - 1 elements. The texts are
// views of zeroed pages, which stay unmapped until read.
TEST(WriterRefusals, TextsBeyondTheFormatAreRefused) {
    constexpr std::size_t LONGEST = (std::size_t{1} << 29) - 2;
    const std::unique_ptr<char, decltype(&std::free)> zeros(
        static_cast<char*>(std::calloc(LONGEST + 2, 1)), &std::free);
    ASSERT_NE(zeros, nullptr);
    EXPECT_EQ(detail::as_text(std::string_view(zeros.get(), LONGEST)).size(), LONGEST);
    for (const std::size_t length : {LONGEST + 1, LONGEST + 2}) {
        SCOPED_TRACE(length);
        try {
            (void)detail::as_text(std::string_view(zeros.get(), length));
            ADD_FAILURE() << "a text too long for the format was accepted";
        } catch (const kj::Exception& exception) {
            EXPECT_NE(std::string_view(exception.getDescription().cStr())
                          .find("Text is too long for a Cap'n Proto message."),
                      std::string_view::npos)
                << exception.getDescription().cStr();
        }
    }
}

}  // namespace
}  // namespace vexa_package
