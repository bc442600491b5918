#include <gtest/gtest.h>

#include <kj/io.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

#include "support/recording_sink.hpp"
#include "support/sample_applications.hpp"
#include "vexa_package/application.hpp"
#include "vexa_package/profile.hpp"
#include "vexa_package/profile_visitor.hpp"

namespace vexa_package {
namespace {

using Kind = PackageError::Kind;

// A caller's stream that fails with an exception of its own, not Cap'n Proto's, must not let
// it escape: the operation ends with `Capnp` carrying the exception's text.

// Delivers the first word of a message, then fails like a file on a vanished disk.
class VanishingInput final : public kj::InputStream {
  public:
    explicit VanishingInput(const Bytes& message) : message_(message) {}

    std::size_t tryRead(void* buffer, std::size_t, std::size_t max_bytes) override {
        if (delivered_) {
            throw std::runtime_error("disk vanished");
        }
        delivered_ = true;
        const std::size_t size = std::min({max_bytes, message_.size(), std::size_t{8}});
        std::memcpy(buffer, message_.data(), size);
        return size;
    }

  private:
    const Bytes& message_;
    bool delivered_ = false;
};

class ClosedPipe final : public kj::OutputStream {
  public:
    void write(const void*, std::size_t) override { throw std::runtime_error("pipe closed"); }
};

class IgnoringVisitor final : public ProfileVisitor {
  public:
    void sample(const CycleSampleView&) override {}
};

void expect_capnp(const PackageError& error, const std::string& message) {
    EXPECT_EQ(error.kind(), Kind::Capnp) << to_string(error);
    EXPECT_EQ(error.message(), message);
}

const ProfileReport REPORT{.clock_hz = 5,
                           .tiles = {TileProfile{.physical_tile = 1, .samples = {CycleSample{}}}}};

TEST(StreamExceptions, ReadersReportAFailingInputStreamAsCapnp) {
    Bytes package;
    ASSERT_TRUE(testing::rich_application().write(package).has_value());
    VanishingInput package_input(package);
    const auto application = Application::read(package_input);
    ASSERT_FALSE(application.has_value());
    expect_capnp(application.error(), "disk vanished");

    Bytes report;
    ASSERT_TRUE(REPORT.write(report).has_value());
    VanishingInput report_input(report);
    const auto read = ProfileReport::read(report_input);
    ASSERT_FALSE(read.has_value());
    expect_capnp(read.error(), "disk vanished");

    VanishingInput visit_input(report);
    IgnoringVisitor visitor;
    const auto visited = visit_profile(visit_input, visitor);
    ASSERT_FALSE(visited.has_value());
    expect_capnp(visited.error(), "disk vanished");
}

TEST(StreamExceptions, WritersReportAFailingOutputStreamAsCapnp) {
    ClosedPipe pipe;
    testing::RecordingSink sink;
    const auto written = testing::rich_application().write(pipe);
    ASSERT_FALSE(written.has_value());
    expect_capnp(written.error(), "pipe closed");
    EXPECT_EQ(sink.messages(), std::vector<std::string>{"writing application package"});

    const auto reported = REPORT.write(pipe);
    ASSERT_FALSE(reported.has_value());
    expect_capnp(reported.error(), "pipe closed");
}

}  // namespace
}  // namespace vexa_package
