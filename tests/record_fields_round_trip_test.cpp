// Every field of every record survives writing and reading. The models are filled through the
// field tables, each field with a value of its own, so a field that the writer, its segment
// plan or the reader drops, truncates or takes for another shows here without this test
// naming it; a field added to a record is covered once it is in its record's table.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "message_plans.hpp"
#include "support/distinct_values.hpp"
#include "support/reference_writers.hpp"
#include "vexa_package/record_fields.hpp"
#include "vexa_package/vexa_package.hpp"

namespace vexa_package {
namespace {

// Moves the fields that package rules constrain to values the rules accept, each still unlike
// its default and its neighbours: segments apart inside tile memory, slices inside tiles that
// exist and inside pages of the table, batches that cover the slices, aligned register
// offsets.
void obey_package_rules(Application& application) {
    std::uint32_t place = 0;
    for (TileImage& tile : application.tiles) {
        for (Segment& segment : tile.segments) {
            segment.address = TILE_MEMORY_BASE + 0x1000 * place++;
            segment.memory_size = 0x100 + place;
        }
    }
    for (auto* list : {&application.inputs, &application.outputs, &application.weights}) {
        for (Binding& binding : *list) {
            for (RegionSlice& slice : binding.slices) {
                slice.tile = application.tiles[place % 2].physical_tile;
                slice.tile_address = TILE_MEMORY_BASE + 0x1000 * place++;
                slice.size = 0x10 + place;
            }
        }
    }
    HostExchange& exchange = application.host_exchange;
    for (HostPage& page : exchange.pages) {
        page.size += std::uint64_t{1} << 40;
    }
    exchange.command_page = exchange.pages[1].index;
    exchange.attach_order = {exchange.pages[1].index, exchange.pages[0].index};
    for (HostCall& call : exchange.calls) {
        for (auto* slices : {&call.inputs, &call.outputs}) {
            for (HostSlice& slice : *slices) {
                slice.page = exchange.pages[place++ % 2].index;
            }
        }
        call.input_batch_ends = {1, 2};
        call.output_batch_ends = {2};
    }
    for (DeviceConfigWrite& write : application.device_config_writes) {
        write.offset *= 4;
    }
}

template <typename T>
bool holds_default(const T& value) {
    return value == T{};
}

// No field of `record` or of the records inside it holds its default, and no two fields of
// one record of the same type hold the same value.
template <ModelRecord Record>
void expect_distinct(const Record& record, const std::string& where) {
    for_each_field(record, [&](const auto& field, const auto& value) {
        const std::string here = where + "." + std::string(field.name);
        EXPECT_FALSE(holds_default(value)) << here << " holds its default";
        using Value = std::remove_cvref_t<decltype(value)>;
        for_each_field(record, [&](const auto& other, const auto& other_value) {
            if constexpr (std::is_same_v<Value, std::remove_cvref_t<decltype(other_value)>>) {
                if (field.name != other.name) {
                    EXPECT_NE(value, other_value) << here << " equals " << other.name;
                }
            }
        });
        if constexpr (ModelRecord<Value>) {
            expect_distinct(value, here);
        } else if constexpr (detail::is_record_list<Value>::value) {
            for (std::size_t i = 0; i < value.size(); ++i) {
                expect_distinct(value[i], here + "[" + std::to_string(i) + "]");
            }
        }
    });
}

std::vector<std::uint32_t> segment_sizes(const Bytes& message) {
    std::uint32_t count_minus_one = 0;
    std::memcpy(&count_minus_one, message.data(), 4);
    std::vector<std::uint32_t> sizes(count_minus_one + 1);
    std::memcpy(sizes.data(), message.data() + 4, sizes.size() * 4);
    return sizes;
}

// The writer's bytes are those of the reference writer, the plan foresees their segments,
// and the reader gives the model back.
template <typename Model, typename Plan>
void expect_carried(const Model& model, Plan plan) {
    Bytes reference;
    const auto referenced = testing::reference_write(model, reference);
    ASSERT_TRUE(referenced.has_value()) << to_string(referenced.error());
    Bytes written;
    const auto wrote = model.write(written);
    ASSERT_TRUE(wrote.has_value()) << to_string(wrote.error());
    EXPECT_EQ(written, reference);
    EXPECT_EQ(plan(model).segment_words(), segment_sizes(written));
    const auto read = Model::read(written);
    ASSERT_TRUE(read.has_value()) << to_string(read.error());
    EXPECT_EQ(*read, model);
}

Application distinct_application(std::size_t text_bytes) {
    Application application;
    DistinctValues(text_bytes).fill(application);
    obey_package_rules(application);
    return application;
}

ProfileReport distinct_report(std::size_t text_bytes) {
    ProfileReport report;
    DistinctValues(text_bytes).fill(report);
    return report;
}

TEST(RecordFieldsRoundTrip, ApplicationsCarryEveryField) {
    for (const std::size_t text_bytes : {std::size_t{0}, std::size_t{600}}) {
        SCOPED_TRACE("texts of " + std::to_string(text_bytes) + " bytes");
        const Application application = distinct_application(text_bytes);
        ASSERT_TRUE(application.validate().has_value());
        expect_distinct(application, "Application");
        expect_carried(application, detail::plan_application);
    }
}

TEST(RecordFieldsRoundTrip, ReportsCarryEveryField) {
    for (const std::size_t text_bytes : {std::size_t{0}, std::size_t{600}}) {
        SCOPED_TRACE("texts of " + std::to_string(text_bytes) + " bytes");
        const ProfileReport report = distinct_report(text_bytes);
        expect_distinct(report, "ProfileReport");
        expect_carried(report, detail::plan_profile);
    }
}

// The long texts reach past the first segment, so the plans are held to more than one.
TEST(RecordFieldsRoundTrip, LongTextsSpanSeveralSegments) {
    Bytes application;
    ASSERT_TRUE(distinct_application(600).write(application).has_value());
    EXPECT_GT(segment_sizes(application).size(), 1u);
    Bytes report;
    ASSERT_TRUE(distinct_report(600).write(report).has_value());
    EXPECT_GT(segment_sizes(report).size(), 1u);
}

}  // namespace
}  // namespace vexa_package
