#include <gtest/gtest.h>

#include <kj/io.h>

#include <algorithm>
#include <optional>
#include <span>
#include <string>

#include "../fuzz/hostile_messages.hpp"
#include "support/allocation_counter.hpp"
#include "support/random_models.hpp"
#include "support/sample_applications.hpp"
#include "vexa_package/application.hpp"
#include "vexa_package/profile.hpp"

namespace vexa_package {
namespace {

namespace hostile = fuzzing::hostile;
using Kind = PackageError::Kind;
using hostile::Schema;

// A hostile message of a hundred bytes may cost the reader a few records and its own copy of
// the input, never memory in proportion to what the message claims.
constexpr std::size_t SMALL_INPUT_PEAK = std::size_t{64} << 10;

struct Outcome {
    bool ok = false;
    std::optional<Kind> kind;
    std::string text;
    std::size_t peak_bytes = 0;
};

template <typename Read>
Outcome outcome_of(Read read) {
    const testing::AllocationCounter counter;
    const auto result = read();
    Outcome outcome{.ok = result.has_value(),
                    .kind = std::nullopt,
                    .text = {},
                    .peak_bytes = counter.peak_bytes()};
    if (!result) {
        outcome.kind = result.error().kind();
        outcome.text = to_string(result.error());
    }
    return outcome;
}

Outcome read_as(Schema schema, std::span<const std::uint8_t> bytes) {
    if (schema == Schema::Application) {
        return outcome_of([&] { return Application::read(bytes); });
    }
    return outcome_of([&] { return ProfileReport::read(bytes); });
}

Outcome read_stream_as(Schema schema, std::span<const std::uint8_t> bytes) {
    kj::ArrayInputStream stream(kj::arrayPtr(bytes.data(), bytes.size()));
    if (schema == Schema::Application) {
        return outcome_of([&] { return Application::read(stream); });
    }
    return outcome_of([&] { return ProfileReport::read(stream); });
}

// Records the peak on the test's report, so that a run with --gtest_output lists what each
// hostile input costs.
void expect_failure(const std::string& name, const Outcome& outcome, Kind kind,
                    std::size_t peak_limit) {
    ::testing::Test::RecordProperty(name, std::to_string(outcome.peak_bytes));
    EXPECT_FALSE(outcome.ok) << name;
    EXPECT_EQ(outcome.kind, kind) << name << ": " << outcome.text;
    EXPECT_LT(outcome.peak_bytes, peak_limit) << name;
}

TEST(HostileInputs, ZeroSizedListsClaimingTheLargestCountInEveryListField) {
    for (const auto& field : hostile::list_fields()) {
        for (const auto claim : {hostile::Claim::ZeroSizedStructs, hostile::Claim::Voids}) {
            const std::string name =
                field.name + (claim == hostile::Claim::Voids ? " voids" : " structs");
            const Bytes bytes = hostile::list_claim(field, claim);
            ASSERT_LT(bytes.size(), 256u) << name;
            expect_failure(name, read_as(field.schema, bytes), Kind::Capnp, SMALL_INPUT_PEAK);
            expect_failure(name + " from a stream", read_stream_as(field.schema, bytes),
                           Kind::Capnp, SMALL_INPUT_PEAK);
        }
    }
}

// The package reader's handling of the same table is tested with the other package framing
// tests; reports share the framing code but not the call.
TEST(HostileInputs, SegmentTableClaiming512SegmentsOfTheLargestSize) {
    const Bytes bytes = hostile::forged_segment_table();
    expect_failure("profile from a buffer", read_as(Schema::Profile, bytes), Kind::Capnp,
                   SMALL_INPUT_PEAK);
    // A stream cannot know its length in advance; it reads, and so allocates, a bounded chunk
    // before it finds the input ending.
    expect_failure("profile from a stream", read_stream_as(Schema::Profile, bytes), Kind::Capnp,
                   std::size_t{8} << 20);
}

TEST(HostileInputs, FarPointersThatPointAtEachOther) {
    for (const Schema schema : {Schema::Application, Schema::Profile}) {
        for (const bool double_far : {false, true}) {
            const std::string name =
                std::string(schema == Schema::Application ? "package" : "report") +
                (double_far ? " root, double far" : " root, far");
            expect_failure(name, read_as(schema, hostile::far_pointer_cycle(nullptr, double_far)),
                           Kind::Capnp, SMALL_INPUT_PEAK);
        }
    }
    for (const auto& field : hostile::list_fields()) {
        for (const bool double_far : {false, true}) {
            const std::string name = field.name + (double_far ? " double far" : " far");
            expect_failure(name,
                           read_as(field.schema, hostile::far_pointer_cycle(&field, double_far)),
                           Kind::Capnp, SMALL_INPUT_PEAK);
        }
    }
}

// Neither schema nests more than five levels, so the readers never follow a pointer chain as
// deep as the nesting limit of 64: a chain one level past it, hung where no field is, is
// ignored like any content a newer writer may add, and costs nothing to skip.
TEST(HostileInputs, NestingPastTheLimitOutsideTheSchemaIsIgnored) {
    for (const std::size_t depth : {64u, 65u, 1000u}) {
        SCOPED_TRACE(depth);
        const Outcome package =
            read_as(Schema::Application, hostile::nested_chain(Schema::Application, depth));
        EXPECT_TRUE(package.ok) << package.text;
        EXPECT_LT(package.peak_bytes, SMALL_INPUT_PEAK);
        const auto application =
            Application::read(hostile::nested_chain(Schema::Application, depth));
        ASSERT_TRUE(application.has_value());
        ASSERT_EQ(application->tiles.size(), 1u);
        EXPECT_EQ(application->tiles[0].segments,
                  (std::vector<Segment>{
                      Segment{.address = TILE_MEMORY_BASE, .memory_size = 8, .data = {}}}));

        const Outcome report =
            read_as(Schema::Profile, hostile::nested_chain(Schema::Profile, depth));
        EXPECT_TRUE(report.ok) << report.text;
        EXPECT_LT(report.peak_bytes, SMALL_INPUT_PEAK);
        ::testing::Test::RecordProperty(
            "nested " + std::to_string(depth),
            std::to_string(std::max(package.peak_bytes, report.peak_bytes)));
    }
}

TEST(HostileInputs, TextWithoutItsTerminatingNul) {
    for (const auto& field : hostile::text_fields()) {
        for (const std::string_view text : {std::string_view("vexa21"), std::string_view()}) {
            const std::string name = field.name + (text.empty() ? " empty" : " vexa21");
            expect_failure(name, read_as(field.schema, hostile::text_without_nul(field, text)),
                           Kind::Capnp, SMALL_INPUT_PEAK);
        }
    }
}

TEST(HostileInputs, DataOrTextOfTheWrongElementSize) {
    auto fields = hostile::text_fields();
    fields.push_back(hostile::segment_data_field());
    for (const auto& field : fields) {
        expect_failure(field.name,
                       read_as(field.schema, hostile::bytes_of_wrong_element_size(field)),
                       Kind::Capnp, SMALL_INPUT_PEAK);
    }
}

// Every cut of a valid message, from a buffer and from a stream, fails as Cap'n Proto framing,
// never as anything read from the part that arrived. Messages over several segments are cut
// inside the table and between segments too.
void expect_every_truncation_fails(Schema schema, const Bytes& bytes) {
    std::size_t worst_peak = 0;
    for (std::size_t length = 0; length < bytes.size(); ++length) {
        const auto cut = std::span(bytes).first(length);
        for (const Outcome& outcome : {read_as(schema, cut), read_stream_as(schema, cut)}) {
            ASSERT_FALSE(outcome.ok) << "length " << length;
            ASSERT_EQ(outcome.kind, Kind::Capnp) << "length " << length << ": " << outcome.text;
            worst_peak = std::max(worst_peak, outcome.peak_bytes);
        }
    }
    ::testing::Test::RecordProperty("worst peak", std::to_string(worst_peak));
    EXPECT_LT(worst_peak, 4 * bytes.size() + SMALL_INPUT_PEAK);
}

TEST(HostileInputs, EveryTruncationOfAValidReport) {
    testing::RandomSource random(3);
    const ProfileReport report = testing::random_profile(random, {.max_list = 4, .max_text = 8});
    ASSERT_FALSE(report.tiles.empty());
    Bytes bytes;
    ASSERT_TRUE(report.write(bytes).has_value());
    expect_every_truncation_fails(Schema::Profile, bytes);
}

TEST(HostileInputs, EveryTruncationOfAPackageOverSeveralSegments) {
    // A package larger than the writer's first segment is stored in more than one.
    Application application = testing::rich_application();
    for (std::uint32_t i = 0; i < 400; ++i) {
        application.entry_points.push_back(EntryPoint{.name = "entry " + std::to_string(i)});
    }
    Bytes bytes;
    ASSERT_TRUE(application.write(bytes).has_value());
    std::uint32_t segments_minus_one = 0;
    std::memcpy(&segments_minus_one, bytes.data(), 4);
    ASSERT_GE(segments_minus_one, 1u) << "the package fits one segment; make it larger";
    expect_every_truncation_fails(Schema::Application, bytes);
}

}  // namespace
}  // namespace vexa_package
