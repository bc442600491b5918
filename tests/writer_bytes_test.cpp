// The writers build each message in place; their bytes and refusals must be exactly those of
// building with Cap'n Proto's default message builder and writing the message out.
#include <gtest/gtest.h>

#include <kj/io.h>

#include <cstring>
#include <string>
#include <vector>

#include "message_plans.hpp"
#include "support/random_models.hpp"
#include "support/reference_writers.hpp"
#include "support/sample_applications.hpp"

namespace vexa_package {
namespace {

using testing::ModelSize;
using testing::RandomSource;
using testing::reference_write;

constexpr std::size_t DEFAULT_CASES = 300;

std::uint32_t segment_count(const Bytes& message) {
    std::uint32_t count_minus_one = 0;
    std::memcpy(&count_minus_one, message.data(), 4);
    return count_minus_one + 1;
}

// The segment sizes of a message in stream framing, from its segment table.
std::vector<std::uint32_t> segment_sizes(const Bytes& message) {
    std::vector<std::uint32_t> sizes(segment_count(message));
    std::memcpy(sizes.data(), message.data() + 4, sizes.size() * 4);
    return sizes;
}

std::vector<std::uint32_t> planned_segments(const Application& application) {
    return detail::plan_application(application).segment_words();
}
std::vector<std::uint32_t> planned_segments(const ProfileReport& report) {
    return detail::plan_profile(report).segment_words();
}

// Bytes already in the buffer, of every length modulo a word, so that the message starts at
// every alignment.
Bytes prefix_of_length(std::size_t length) {
    Bytes prefix(length);
    for (std::size_t i = 0; i < length; ++i) {
        prefix[i] = static_cast<std::uint8_t>(0xa0 + i);
    }
    return prefix;
}

// Writes `model` into an empty buffer, after `prefix_length` bytes with and without spare
// capacity and into a stream, expects the reference's bytes each time and returns them. The
// writer's plan must give the reference's segments: a plan that did not would still give
// these bytes, but by building the message a second time.
template <typename Model>
Bytes expect_reference_bytes(const Model& model, std::size_t prefix_length) {
    Bytes expected;
    const auto reference = reference_write(model, expected);
    EXPECT_TRUE(reference.has_value()) << to_string(reference.error());
    EXPECT_EQ(planned_segments(model), segment_sizes(expected));

    Bytes written;
    EXPECT_TRUE(model.write(written).has_value());
    EXPECT_EQ(written, expected);

    const Bytes prefix = prefix_of_length(prefix_length);
    Bytes appended = prefix;
    EXPECT_TRUE(model.write(appended).has_value());
    Bytes prefixed_expected = prefix;
    prefixed_expected.insert(prefixed_expected.end(), expected.begin(), expected.end());
    EXPECT_EQ(appended, prefixed_expected);

    // Into spare capacity that held other bytes: the message is built right there, on zeros.
    Bytes spare = prefix;
    spare.resize(prefix.size() + expected.size() + 64, 0xff);
    spare.resize(prefix.size());
    const std::uint8_t* const place = spare.data();
    EXPECT_TRUE(model.write(spare).has_value());
    EXPECT_EQ(spare, prefixed_expected);
    EXPECT_EQ(spare.data(), place);

    kj::VectorOutputStream stream;
    EXPECT_TRUE(model.write(stream).has_value());
    const auto streamed = stream.getArray();
    EXPECT_EQ(Bytes(streamed.begin(), streamed.end()), expected);
    return expected;
}

// Small, medium and large models in turn: the large ones span several segments, with texts,
// byte lists and lists that fill, cross and outgrow segment ends.
ModelSize size_of_case(std::size_t number) {
    switch (number % 3) {
        case 0:
            return ModelSize{.max_list = number % 7, .max_data = 48, .max_text = 10};
        case 1:
            return ModelSize{.max_list = 24, .max_data = 3000, .max_text = 40};
        default:
            return ModelSize{.max_list = 48, .max_data = 24000, .max_text = 300};
    }
}

TEST(WriterBytes, RandomApplicationsGiveTheReferenceBytes) {
    const std::size_t cases = testing::property_case_count(DEFAULT_CASES);
    std::size_t several_segments = 0;
    for (std::size_t number = 0; number < cases; ++number) {
        SCOPED_TRACE("case " + std::to_string(number));
        RandomSource random(number);
        const Application application = testing::random_application(random, size_of_case(number));
        const Bytes bytes = expect_reference_bytes(application, number % 9);
        several_segments += segment_count(bytes) > 1 ? 1 : 0;
    }
    EXPECT_GE(several_segments, cases / 4);
}

TEST(WriterBytes, RandomReportsGiveTheReferenceBytes) {
    const std::size_t cases = testing::property_case_count(DEFAULT_CASES);
    std::size_t several_segments = 0;
    for (std::size_t number = 0; number < cases; ++number) {
        SCOPED_TRACE("case " + std::to_string(number));
        RandomSource random(number);
        // Reports nest three lists deep: shorter lists and texts give models of the same size.
        ModelSize size = size_of_case(number);
        size.max_list = std::min<std::size_t>(size.max_list, 16);
        size.max_text = std::min<std::size_t>(size.max_text, 60);
        const ProfileReport report = testing::random_profile(random, size);
        const Bytes bytes = expect_reference_bytes(report, number % 9);
        several_segments += segment_count(bytes) > 1 ? 1 : 0;
    }
    EXPECT_GE(several_segments, cases / 4);
}

// One segment whose data grows a byte at a time across the end of the first segment (1024
// words), so that the data and each object after it land once just inside and once just
// beyond it.
TEST(WriterBytes, DataAcrossTheFirstSegmentEnd) {
    std::uint32_t fewest = 100;
    std::uint32_t most = 0;
    for (std::uint32_t size = 7400; size <= 8200; ++size) {
        SCOPED_TRACE("data bytes " + std::to_string(size));
        Application application = testing::batched_application();
        application.tiles[0].segments[0].memory_size = size;
        application.tiles[0].segments[0].data.assign(size, 0x5a);
        const Bytes bytes = expect_reference_bytes(application, size % 8);
        fewest = std::min(fewest, segment_count(bytes));
        most = std::max(most, segment_count(bytes));
    }
    EXPECT_EQ(fewest, 1u);
    EXPECT_EQ(most, 2u);
}

// Byte lists larger than the segment the builder would open next get a segment of their
// own; later small objects go back beside their pointers while there is room there.
TEST(WriterBytes, ObjectsLargerThanTheNextSegment) {
    Application application = testing::minimal_application();
    application.tiles[0].segments.clear();
    std::uint32_t address = TILE_MEMORY_BASE;
    for (const std::uint32_t size : {100u, 70000u, 10u, 300000u, 5u, 0u, 16376u, 200000u, 1u}) {
        application.tiles[0].segments.push_back(Segment{
            .address = address, .memory_size = size, .data = Bytes(size, 0xc3), .flags = size});
        address += size;
    }
    application.entry_points.push_back(EntryPoint{.name = "after the large data"});
    const Bytes bytes = expect_reference_bytes(application, 3);
    EXPECT_GE(segment_count(bytes), 4u);
}

// Many small objects: the builder opens segment after segment, each as large as all before.
TEST(WriterBytes, ReportOfManySegments) {
    ProfileReport report{.clock_hz = 1000, .tiles = {}};
    for (std::uint32_t tile = 0; tile < 3; ++tile) {
        TileProfile profile{.physical_tile = tile, .samples = {}};
        for (std::uint32_t i = 0; i < 30000; ++i) {
            ProfileStep step{.local_index = i,
                             .operation = std::string(i % 23, 'o'),
                             .kind = static_cast<ProfileStepKind>(i % 4),
                             .kernel = i % 5 == 0 ? "\xc3\xa9t\xe2\x82\xac\xf0\x9f\x98\x80" : "",
                             .metadata = {}};
            for (std::uint32_t k = 0; k < i % 3; ++k) {
                step.metadata.push_back(ProfileMetadata{.name = "n", .value = std::to_string(i)});
            }
            profile.samples.push_back(CycleSample{.step = std::move(step), .start_cycle = i});
        }
        report.tiles.push_back(std::move(profile));
    }
    const Bytes bytes = expect_reference_bytes(report, 0);
    EXPECT_GE(segment_count(bytes), 6u);
}

TEST(WriterBytes, EmptyListsAndTexts) {
    expect_reference_bytes(ProfileReport{}, 1);
    expect_reference_bytes(
        ProfileReport{.tiles = {TileProfile{}, TileProfile{.samples = {CycleSample{}}}}}, 2);
    Application application = testing::minimal_application();
    application.compiler_version.clear();
    application.tiles[0].segments[0].data.clear();
    expect_reference_bytes(application, 5);
}

// What writing each message as one segment would change. Readers accept any segment
// arrangement, but packages and reports written so far, and every writer that builds with the
// default builder, give the bytes of the default builder's segments: the writers keep those.
TEST(WriterBytes, OneSegmentWouldChangeTheBytesOfMessagesBeyondTheFirstSegment) {
    RandomSource random(7);
    const Application application = testing::random_application(
        random, ModelSize{.max_list = 40, .max_data = 20000, .max_text = 100});
    Bytes written;
    ASSERT_TRUE(application.write(written).has_value());
    ASSERT_GT(segment_count(written), 1u);

    Bytes one_segment;
    ASSERT_TRUE(reference_write(application, one_segment, 1u << 24).has_value());
    EXPECT_EQ(segment_count(one_segment), 1u);
    EXPECT_NE(one_segment, written);
    // Far pointers and landing pads are what the segment ends cost.
    EXPECT_LT(one_segment.size(), written.size());
    const auto read_one = Application::read(one_segment);
    ASSERT_TRUE(read_one.has_value()) << to_string(read_one.error());
    EXPECT_EQ(*read_one, application);
    const auto read_written = Application::read(written);
    ASSERT_TRUE(read_written.has_value());
    EXPECT_EQ(*read_written, application);

    // A message that fits the first segment is one segment either way.
    const Application small = testing::rich_application();
    Bytes small_written;
    Bytes small_one_segment;
    ASSERT_TRUE(small.write(small_written).has_value());
    ASSERT_TRUE(reference_write(small, small_one_segment, 1u << 24).has_value());
    EXPECT_EQ(small_written, small_one_segment);
}

// A refusal found only while the message is placed, after segments were already filled,
// leaves nothing behind in the buffer or the stream, and is the reference's refusal.
TEST(WriterBytes, RefusalsFoundWhilePlacingAppendNothing) {
    ProfileReport report{.clock_hz = 1, .tiles = {}};
    report.tiles.push_back(TileProfile{.physical_tile = 2, .samples = {}});
    for (std::uint32_t i = 0; i < 5000; ++i) {
        report.tiles[0].samples.push_back(
            CycleSample{.step = {.operation = "op", .kernel = "k", .metadata = {}}});
    }
    const std::vector<void (*)(ProfileReport&)> breakers = {
        [](ProfileReport& r) {
            r.tiles[0].samples[4990].step.metadata = {{.name = "", .value = "v\xed\xa0\x80"}};
        },
        [](ProfileReport& r) {
            r.tiles[0].samples[4999].step.kind = static_cast<ProfileStepKind>(9);
        },
        [](ProfileReport& r) { r.tiles[0].samples[3].step.operation = "\xc0\xaf"; },
    };
    for (std::size_t i = 0; i < breakers.size(); ++i) {
        SCOPED_TRACE(i);
        ProfileReport broken = report;
        breakers[i](broken);
        Bytes expected_output = prefix_of_length(i + 3);
        const auto expected = reference_write(broken, expected_output);
        ASSERT_FALSE(expected.has_value());

        Bytes output = prefix_of_length(i + 3);
        const auto result = broken.write(output);
        ASSERT_FALSE(result.has_value());
        EXPECT_EQ(result.error().kind(), expected.error().kind());
        EXPECT_EQ(to_string(result.error()), to_string(expected.error()));
        EXPECT_EQ(output, prefix_of_length(i + 3));

        kj::VectorOutputStream stream;
        EXPECT_FALSE(broken.write(stream).has_value());
        EXPECT_EQ(stream.getArray().size(), 0u);
    }

    Application application = testing::rich_application();
    application.tiles[0].segments[0].memory_size = 0x4000;
    application.tiles[0].segments[0].data.assign(0x4000, 1);
    Bytes valid;
    ASSERT_TRUE(application.write(valid).has_value());
    ASSERT_GT(segment_count(valid), 1u);
    application.entry_points.back().name = "late \xf4\x90\x80\x80";
    Bytes expected_output = {9};
    const auto expected = reference_write(application, expected_output);
    ASSERT_FALSE(expected.has_value());
    Bytes output = {9};
    const auto result = application.write(output);
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(to_string(result.error()), to_string(expected.error()));
    EXPECT_EQ(output, (Bytes{9}));
}

}  // namespace
}  // namespace vexa_package
