#include <gtest/gtest.h>

#include <kj/io.h>

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>

#include "support/crafted_messages.hpp"
#include "support/sample_applications.hpp"
#include "vexa_package/application.hpp"

namespace vexa_package {
namespace {

using testing::batched_application;
using testing::minimal_application;
using testing::rich_application;

// The application read from `bytes`, or an empty application with a failure recorded.
template <typename Source>
Application read_back(Source&& source) {
    auto read = Application::read(source);
    EXPECT_TRUE(read.has_value()) << to_string(read.error());
    return read ? std::move(*read) : Application{};
}

Bytes written(const Application& application) {
    Bytes bytes;
    const auto result = application.write(bytes);
    EXPECT_TRUE(result.has_value()) << to_string(result.error());
    return bytes;
}

TEST(ApplicationRoundTrip, ReadsBackEqualFieldForField) {
    for (const Application& application :
         {minimal_application(), batched_application(), rich_application()}) {
        const Bytes bytes = written(application);
        const auto read = Application::read(bytes);
        ASSERT_TRUE(read.has_value()) << to_string(read.error());
        EXPECT_EQ(*read, application);
    }
}

TEST(ApplicationRoundTrip, EmptyCompilerVersionStaysEmpty) {
    Application application = minimal_application();
    application.compiler_version.clear();
    const auto read = Application::read(written(application));
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->compiler_version, "");
}

TEST(ApplicationRoundTrip, WritingIsDeterministicAndAppends) {
    const Application application = rich_application();
    const Bytes first = written(application);
    EXPECT_EQ(written(application), first);

    Bytes buffer = {0xde, 0xad, 0xbe};
    ASSERT_TRUE(application.write(buffer).has_value());
    ASSERT_EQ(buffer.size(), 3 + first.size());
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 3), (Bytes{0xde, 0xad, 0xbe}));
    EXPECT_EQ(Bytes(buffer.begin() + 3, buffer.end()), first);
}

TEST(ApplicationRoundTrip, ReadTakesOnlyTheFirstOfTwoPackages) {
    Bytes buffer = written(minimal_application());
    const std::size_t first_size = buffer.size();
    ASSERT_TRUE(rich_application().write(buffer).has_value());
    EXPECT_EQ(read_back(std::span<const std::uint8_t>(buffer)), minimal_application());

    Bytes with_garbage = written(batched_application());
    with_garbage.insert(with_garbage.end(), {1, 2, 3, 4, 5, 6, 7, 8, 9});
    EXPECT_EQ(read_back(std::span<const std::uint8_t>(with_garbage)), batched_application());
    EXPECT_GT(buffer.size(), first_size);
}

TEST(ApplicationRoundTrip, StreamsCarryOneMessageEachAndLeaveTheRestUnread) {
    kj::VectorOutputStream sink;
    ASSERT_TRUE(batched_application().write(sink).has_value());
    ASSERT_TRUE(rich_application().write(sink).has_value());
    const std::uint8_t trailer[] = {42};
    sink.write(trailer, sizeof trailer);

    kj::ArrayInputStream source(sink.getArray());
    EXPECT_EQ(read_back(source), batched_application());
    EXPECT_EQ(read_back(source), rich_application());
    std::uint8_t rest[2] = {};
    EXPECT_EQ(source.tryRead(rest, 1, 2), 1u);
    EXPECT_EQ(rest[0], 42);
}

TEST(ApplicationRoundTrip, OddAddressInputReadsLikeAlignedInput) {
    const Bytes bytes = written(rich_application());
    Bytes shifted(bytes.size() + 1);
    std::copy(bytes.begin(), bytes.end(), shifted.begin() + 1);
    const auto read = Application::read(std::span(shifted).subspan(1));
    ASSERT_TRUE(read.has_value()) << to_string(read.error());
    EXPECT_EQ(*read, rich_application());
}

// The segment table is padded to whole words when the segment count is even; up to 512
// segments are read, from a buffer in place, from an unaligned buffer by copying, and from a
// stream, which is left at the first byte after the message.
TEST(ApplicationRoundTrip, PackagesOverSeveralSegmentsReadFromEverySource) {
    const Bytes next = written(minimal_application());
    for (const std::uint32_t segments : {2u, 3u, 4u, 5u, 511u, 512u}) {
        SCOPED_TRACE(std::to_string(segments) + " segments");
        const testing::PackageBytes package = testing::package_in_segments(segments);
        ASSERT_EQ(testing::segment_count(package.bytes), segments) << "no builder gives it";

        ASSERT_EQ(reinterpret_cast<std::uintptr_t>(package.bytes.data()) % 8, 0u);
        EXPECT_EQ(read_back(std::span<const std::uint8_t>(package.bytes)), package.application);

        Bytes shifted(package.bytes.size() + 1);
        std::copy(package.bytes.begin(), package.bytes.end(), shifted.begin() + 1);
        EXPECT_EQ(read_back(std::span<const std::uint8_t>(shifted).subspan(1)),
                  package.application);

        Bytes stream_bytes = package.bytes;
        stream_bytes.insert(stream_bytes.end(), next.begin(), next.end());
        stream_bytes.push_back(42);
        kj::ArrayInputStream source(kj::arrayPtr(stream_bytes.data(), stream_bytes.size()));
        EXPECT_EQ(read_back(source), package.application);
        EXPECT_EQ(read_back(source), minimal_application());
        std::uint8_t rest[2] = {};
        EXPECT_EQ(source.tryRead(rest, 1, 2), 1u);
        EXPECT_EQ(rest[0], 42);
    }
}

TEST(ApplicationRoundTrip, PackagesLargerThanTheDefaultTraversalLimitRead) {
    // 128 tiles of 0x80000 bytes: 64 MiB of segment data, past Cap'n Proto's default limit.
    Application application;
    for (std::uint32_t tile = 0; tile < 128; ++tile) {
        Bytes data(0x80000);
        for (std::size_t i = 0; i < data.size(); i += 4096) {
            data[i] = static_cast<std::uint8_t>(tile + i / 4096);
        }
        application.tiles.push_back(TileImage{
            .physical_tile = tile,
            .segments = {Segment{
                .address = 0x4c000, .memory_size = 0x80000, .data = std::move(data)}},
        });
    }
    const Bytes bytes = written(application);
    EXPECT_GT(bytes.size(), std::size_t{64} << 20);
    const auto read = Application::read(bytes);
    ASSERT_TRUE(read.has_value()) << to_string(read.error());
    EXPECT_TRUE(*read == application);
}

TEST(ApplicationRoundTrip, InvalidApplicationIsRefusedAndNothingIsAppended) {
    Bytes buffer = {7, 7};
    const auto result = Application{}.write(buffer);
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error().message(), "application has no tiles");
    EXPECT_EQ(buffer, (Bytes{7, 7}));
}

TEST(ApplicationRoundTrip, TileImagesAreTheSameAfterReadingBack) {
    const Application application = rich_application();
    const auto read = Application::read(written(application));
    ASSERT_TRUE(read.has_value());
    for (const TileImage& tile : application.tiles) {
        const auto before = application.tile_image(tile.physical_tile);
        const auto after = read->tile_image(tile.physical_tile);
        ASSERT_EQ(before.has_value(), after.has_value());
        if (before) {
            EXPECT_EQ(*before, *after);
        } else {
            EXPECT_EQ(before.error().message(), after.error().message());
        }
    }
}

}  // namespace
}  // namespace vexa_package
