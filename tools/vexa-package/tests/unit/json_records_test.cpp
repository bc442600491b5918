// Records to JSON and back, walked through the library's field tables: every field of every
// record is written under its name and read back, and the reader holds a document to the
// table's field list.
#include <gtest/gtest.h>

#include <string>

#include "cli/command_options.hpp"
#include "json/json_application.hpp"
#include "json/json_document.hpp"
#include "json/json_profile.hpp"
#include "json/json_records.hpp"
#include "json/json_text.hpp"
#include "support/distinct_values.hpp"
#include "vexa_package/record_fields.hpp"

namespace vexa_cli {
namespace {

using vexa_package::Application;
using vexa_package::DistinctValues;
using vexa_package::ProfileReport;

JsonValue reparsed(const JsonOutput& json) {
    auto document = parse_json_document(json_text(json, true));
    EXPECT_TRUE(document.has_value());
    return document ? *document : JsonValue{};
}

// The compact text without the line break that ends it.
std::string one_line(const JsonOutput& json) {
    std::string text = json_text(json, true);
    EXPECT_TRUE(text.ends_with('\n'));
    text.pop_back();
    return text;
}

TEST(JsonRecords, EveryFieldOfEveryRecordSurvivesTheRoundTrip) {
    for (const ByteSpelling spelling : {ByteSpelling::Base64, ByteSpelling::Hex}) {
        Application application;
        DistinctValues().fill(application);
        const auto back =
            application_from_json(reparsed(application_to_json(application, spelling)));
        ASSERT_TRUE(back.has_value()) << back.error();
        EXPECT_EQ(*back, application);
    }
    ProfileReport report;
    DistinctValues().fill(report);
    const auto back = profile_from_json(reparsed(record_to_json(report, ByteSpelling::Base64)));
    ASSERT_TRUE(back.has_value()) << back.error();
    EXPECT_EQ(*back, report);
}

TEST(JsonRecords, FieldsAppearInDeclarationOrderAndByteDataAsAskedFor) {
    const vexa_package::Segment segment{
        .address = 0x4c000, .memory_size = 8, .data = {0xde, 0xad}, .flags = 1};
    EXPECT_EQ(one_line(record_to_json(segment, ByteSpelling::Base64)),
              R"({"address":311296,"memory_size":8,"data":"3q0=","flags":1})");
    EXPECT_EQ(one_line(record_to_json(segment, ByteSpelling::Hex)),
              R"({"address":311296,"memory_size":8,"data":{"hex":"dead"},"flags":1})");
    // Without a spelling the data's length takes its place.
    EXPECT_EQ(one_line(record_to_json(segment)),
              R"({"address":311296,"memory_size":8,"data_bytes":2,"flags":1})");
    const vexa_package::ProfileStep step{.local_index = 1,
                                         .phase = 2,
                                         .epoch = 3,
                                         .operation = "op",
                                         .kind = vexa_package::ProfileStepKind::Idle,
                                         .kernel = "k",
                                         .metadata = {{.name = "n", .value = "v"}}};
    EXPECT_EQ(one_line(record_to_json(step)),
              R"({"local_index":1,"phase":2,"epoch":3,"operation":"op","kind":"Idle",)"
              R"("kernel":"k","metadata":[{"name":"n","value":"v"}]})");
}

TEST(JsonRecords, TheReaderHoldsEachObjectToItsRecordsFields) {
    Application application;
    DistinctValues().fill(application);
    JsonValue document = reparsed(application_to_json(application, ByteSpelling::Base64));

    JsonValue unknown = document;
    unknown["tiles"][1]["segments"][0]["size"] = 1;
    const auto refused = application_from_json(unknown);
    ASSERT_FALSE(refused.has_value());
    EXPECT_EQ(refused.error(),
              "tiles[1].segments[0].size: unknown field; expected the fields address, "
              "memory_size, data, flags");

    // The first field missing in declaration order is the one named.
    JsonValue missing = document;
    missing["host_exchange"]["calls"][0].erase("invocations");
    missing["host_exchange"]["calls"][0].erase("outputs");
    const auto incomplete = application_from_json(missing);
    ASSERT_FALSE(incomplete.has_value());
    EXPECT_EQ(incomplete.error().substr(0, incomplete.error().find(':')),
              "host_exchange.calls[0].outputs");

    JsonValue kind = reparsed(record_to_json(
        ProfileReport{.clock_hz = 1, .tiles = {{.physical_tile = 0, .samples = {{}}}}}));
    kind["tiles"][0]["samples"][0]["step"]["kind"] = "Busy";
    const auto wrong_kind = profile_from_json(kind);
    ASSERT_FALSE(wrong_kind.has_value());
    EXPECT_EQ(wrong_kind.error(),
              "tiles[0].samples[0].step.kind: expected one of Exchange, Compute, "
              "Synchronization, Idle, got \"Busy\"");
}

TEST(JsonRecords, ModelFieldNamesWalkDepthFirstAndNameEachFieldOnce) {
    EXPECT_EQ(model_field_names<ProfileReport>(),
              "clock_hz, tiles, physical_tile, samples, step, local_index, phase, epoch, "
              "operation, kind, kernel, metadata, name, value, start_cycle, end_cycle");
    // Every field of every package record is in the list.
    const std::string names = ", " + model_field_names<Application>() + ", ";
    vexa_package::for_each_record(vexa_package::ApplicationRecords{}, [&](auto record) {
        vexa_package::for_each_field<typename decltype(record)::type>([&](const auto& field) {
            EXPECT_NE(names.find(", " + std::string(field.name) + ", "), std::string::npos)
                << field.name;
        });
    });
}

TEST(HelpText, WrappedBreaksAtSpacesWithinTheWidth) {
    EXPECT_EQ(wrapped("", 10), "");
    EXPECT_EQ(wrapped("one two three", 13), "one two three");
    EXPECT_EQ(wrapped("one two three", 12), "one two\nthree");
    EXPECT_EQ(wrapped("one two three", 7), "one two\nthree");
    // A word longer than the width stands on a line of its own.
    EXPECT_EQ(wrapped("a longerthanwidth b", 5), "a\nlongerthanwidth\nb");
}

}  // namespace
}  // namespace vexa_cli
