#include <gtest/gtest.h>

#include <kj/io.h>

#include <cstring>
#include <string>

#include "support/allocation_counter.hpp"
#include "support/crafted_messages.hpp"
#include "support/wire_bytes.hpp"
#include "vexa_package/application.hpp"

namespace vexa_package {
namespace {

namespace wb = testing::wire_bytes;
using Kind = PackageError::Kind;

constexpr std::uint32_t MAX_LIST = (1u << 29) - 1;

// A package with a valid header whose root pointer `field` (a list field, 2 to 8, or 6 for a
// host exchange whose list `exchange_field` is the claim) claims 2^29 - 1 elements that
// occupy no words at all: about a hundred bytes claiming half a billion records.
Bytes zero_sized_claim(std::size_t field, std::size_t exchange_field = 0) {
    std::vector<std::uint64_t> words(19, 0);
    words[0] = wb::struct_pointer(0, 2, 9);
    words[1] = wb::pack32(3, TILE_MEMORY_BASE);
    words[2] = wb::pack32(TILE_MEMORY_SIZE, 0);
    words[4] = wb::list_pointer(7, wb::Byte, 7);
    words[12] = wb::text_words("vexa21")[0];
    words[13] = wb::composite_tag(MAX_LIST, 0, 0);
    const auto claim_from = [](std::size_t at) {
        return wb::list_pointer(static_cast<std::int32_t>(13 - (at + 1)), wb::Composite, 0);
    };
    const std::size_t at = 3 + field;
    if (field == 6) {
        words[at] = wb::struct_pointer(static_cast<std::int32_t>(14 - (at + 1)), 2, 3);
        words[16 + exchange_field] = claim_from(16 + exchange_field);
    } else {
        words[at] = claim_from(at);
    }
    return wb::frame(words);
}

TEST(ApplicationHostile, ZeroSizedListClaimsFailFastInBoundedMemory) {
    const std::vector<std::pair<std::size_t, std::size_t>> claims = {
        {2, 0}, {3, 0}, {4, 0}, {5, 0}, {7, 0}, {8, 0}, {6, 0}, {6, 2}};
    for (const auto& [field, exchange_field] : claims) {
        SCOPED_TRACE(std::to_string(field) + "." + std::to_string(exchange_field));
        const Bytes bytes = zero_sized_claim(field, exchange_field);
        EXPECT_LT(bytes.size(), 200u);
        const testing::AllocationCounter counter;
        const auto read = Application::read(bytes);
        ASSERT_FALSE(read.has_value());
        EXPECT_EQ(read.error().kind(), Kind::Capnp) << to_string(read.error());
        EXPECT_LT(counter.peak_bytes(), std::size_t{16} << 20);
    }
}

// A segment table claiming 512 segments of 2^32 - 1 words each: about 16 TiB.
Bytes forged_segment_table() {
    Bytes bytes(4 + 512 * 4, 0xff);
    const std::uint32_t count_minus_one = 511;
    std::memcpy(bytes.data(), &count_minus_one, 4);
    bytes.resize(bytes.size() + 64, 0);
    return bytes;
}

TEST(ApplicationHostile, ForgedSegmentTableAllocatesNothingFromABuffer) {
    const Bytes bytes = forged_segment_table();
    const testing::AllocationCounter counter;
    const auto read = Application::read(bytes);
    ASSERT_FALSE(read.has_value());
    EXPECT_EQ(read.error().kind(), Kind::Capnp);
    EXPECT_LT(counter.peak_bytes(), std::size_t{1} << 20);
}

TEST(ApplicationHostile, ForgedSegmentTableFromAStreamAllocatesOnlyAsBytesArrive) {
    const Bytes bytes = forged_segment_table();
    kj::ArrayInputStream stream(kj::arrayPtr(bytes.data(), bytes.size()));
    const testing::AllocationCounter counter;
    const auto read = Application::read(stream);
    ASSERT_FALSE(read.has_value());
    EXPECT_EQ(read.error().kind(), Kind::Capnp);
    EXPECT_LT(counter.peak_bytes(), std::size_t{8} << 20);
}

// Valid packages on both sides of the limit: only the segment count keeps 513 from reading.
TEST(ApplicationHostile, MoreThan512SegmentsAreRefused) {
    for (const std::uint32_t segments : {512u, 513u}) {
        SCOPED_TRACE(std::to_string(segments) + " segments");
        const testing::PackageBytes package = testing::package_in_segments(segments);
        ASSERT_EQ(testing::segment_count(package.bytes), segments) << "no builder gives it";
        kj::ArrayInputStream stream(kj::arrayPtr(package.bytes.data(), package.bytes.size()));
        for (const auto& read : {Application::read(package.bytes), Application::read(stream)}) {
            if (segments == 512) {
                ASSERT_TRUE(read.has_value()) << to_string(read.error());
                EXPECT_EQ(*read, package.application);
            } else {
                ASSERT_FALSE(read.has_value());
                EXPECT_EQ(read.error().kind(), Kind::Capnp);
                EXPECT_NE(read.error().message().find("too many segments"), std::string::npos)
                    << to_string(read.error());
            }
        }
    }
}

TEST(ApplicationHostile, ReadingMemoryStaysWithinAFactorOfTheInput) {
    // A real package of many small records: what reading it costs bounds what any package of
    // its size may cost, however its lists are arranged.
    Application application;
    for (std::uint32_t tile = 0; tile < 256; ++tile) {
        TileImage image{.physical_tile = tile, .segments = {}};
        for (std::uint32_t segment = 0; segment < 16; ++segment) {
            image.segments.push_back(
                Segment{.address = TILE_MEMORY_BASE + segment * 16, .memory_size = 16, .data = {}});
        }
        application.tiles.push_back(std::move(image));
    }
    Bytes bytes;
    ASSERT_TRUE(application.write(bytes).has_value());
    const testing::AllocationCounter counter;
    ASSERT_TRUE(Application::read(bytes).has_value());
    EXPECT_LT(counter.peak_bytes(), 8 * bytes.size());
}

}  // namespace
}  // namespace vexa_package
