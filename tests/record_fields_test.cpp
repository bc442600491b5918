// The field tables: each lists its record's members in declaration order, a table that does
// not is refused at compile time, and the lookups and visits give what the tables say.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "vexa_package/record_fields.hpp"
#include "vexa_package/vexa_package.hpp"

namespace vexa_package {

// Records with tables that break the rules, to show that the checks of the real tables can
// fail: one member missing, two members of different types swapped, and a table that is right.
struct Lacking {
    std::uint32_t first = 0;
    std::string second;
    std::uint32_t added = 0;
};
struct Swapped {
    std::uint32_t narrow = 0;
    std::uint64_t wide = 0;
};
struct Complete {
    std::uint32_t number = 0;
    HostExchange nested;
    std::vector<Segment> list;
};

template <>
struct RecordFields<Lacking> {
    static constexpr std::string_view name = "Lacking";
    static constexpr std::tuple fields{
        detail::field("first", &Lacking::first, FieldHint::Number),
        detail::field("second", &Lacking::second, FieldHint::Text),
    };
};
template <>
struct RecordFields<Swapped> {
    static constexpr std::string_view name = "Swapped";
    static constexpr std::tuple fields{
        detail::field("wide", &Swapped::wide, FieldHint::Size),
        detail::field("narrow", &Swapped::narrow, FieldHint::Number),
    };
};
template <>
struct RecordFields<Complete> {
    static constexpr std::string_view name = "Complete";
    static constexpr std::tuple fields{
        detail::field("number", &Complete::number, FieldHint::Number),
        detail::field("nested", &Complete::nested, FieldHint::Record),
        detail::field("list", &Complete::list, FieldHint::Records),
    };
};

namespace {

static_assert(!detail::lists_every_member<Lacking>());
static_assert(!detail::lists_every_member<Swapped>());
static_assert(detail::lists_every_member<Complete>());
// A nested aggregate counts as one member, whatever it holds.
static_assert(detail::member_count<Complete>() == 3);
static_assert(detail::member_count<CycleSample>() == 3);
static_assert(detail::member_count<Application>() == 8);

// Hints are checked against the member's type where the table is written.
static_assert(detail::hint_fits<std::uint64_t>(FieldHint::Address));
static_assert(!detail::hint_fits<std::string>(FieldHint::Address));
static_assert(!detail::hint_fits<std::vector<std::uint32_t>>(FieldHint::ByteData));
static_assert(detail::hint_fits<Bytes>(FieldHint::ByteData));
static_assert(!detail::hint_fits<std::vector<std::string>>(FieldHint::Records));
static_assert(detail::hint_fits<std::vector<Segment>>(FieldHint::Records));
static_assert(!detail::hint_fits<std::uint32_t>(FieldHint::Enumeration));

static_assert(field_of<&Segment::flags>.name == "flags");
static_assert(field_of<&Segment::flags>.hint == FieldHint::Word);
static_assert(field_of<&HostCall::output_batch_ends>.name == "output_batch_ends");
static_assert(field_names<HostPage> == std::array<std::string_view, 2>{"index", "size"});
static_assert(field_count<ProfileStep> == 7);
static_assert(record_name<DeviceConfigWrite> == "DeviceConfigWrite");

template <typename Visit>
void for_every_record(Visit&& visit) {
    for_each_record(ApplicationRecords{}, visit);
    for_each_record(ProfileRecords{}, visit);
}

TEST(RecordFields, EveryRecordOfBothModelsHasATableOfUniqueNames) {
    std::vector<std::string_view> records;
    for_every_record([&](auto type) {
        using Record = typename decltype(type)::type;
        records.emplace_back(record_name<Record>);
        const auto& names = field_names<Record>;
        EXPECT_EQ(std::set<std::string_view>(names.begin(), names.end()).size(), names.size())
            << record_name<Record>;
    });
    EXPECT_EQ(records, (std::vector<std::string_view>{
                           "Application", "TileImage", "Segment", "Binding", "RegionSlice",
                           "HostExchange", "HostPage", "HostCall", "HostSlice", "EntryPoint",
                           "DeviceConfigWrite", "ProfileReport", "TileProfile", "CycleSample",
                           "ProfileStep", "ProfileMetadata"}));
}

// Members of the same type are told apart by where they lie: in declaration order, each lies
// above the one before it.
TEST(RecordFields, TablesFollowDeclarationOrder) {
    for_every_record([&](auto type) {
        using Record = typename decltype(type)::type;
        const Record record{};
        std::vector<const void*> places;
        for_each_field(record, [&](const auto& /*field*/, const auto& value) {
            places.push_back(static_cast<const void*>(&value));
        });
        ASSERT_EQ(places.size(), field_count<Record>);
        for (std::size_t i = 1; i < places.size(); ++i) {
            EXPECT_LT(places[i - 1], places[i]) << record_name<Record> << " field " << i;
        }
    });
}

TEST(RecordFields, VisitsGiveTheFieldsToFillAndToRead) {
    HostCall call;
    for_each_field(call, [](const auto& field, auto& value) {
        if constexpr (std::is_same_v<std::remove_cvref_t<decltype(value)>, std::uint32_t>) {
            value = static_cast<std::uint32_t>(field.name.size());
        } else if constexpr (std::is_same_v<std::remove_cvref_t<decltype(value)>, std::string>) {
            value = field.name;
        }
    });
    EXPECT_EQ(call.name, "name");
    EXPECT_EQ(call.command, 7u);
    EXPECT_EQ(call.phases, 6u);
    EXPECT_EQ(call.invocations, 11u);

    const HostCall& read_only = call;
    std::vector<std::string> seen;
    for_each_field(read_only, [&](const auto& field, const auto& value) {
        static_assert(std::is_const_v<std::remove_reference_t<decltype(value)>>);
        std::ostringstream shown;
        shown << field.name << '=' << field_hint_name(field.hint);
        if constexpr (std::is_same_v<std::remove_cvref_t<decltype(value)>, std::uint32_t>) {
            shown << '=' << field.of(read_only);
        }
        seen.push_back(shown.str());
    });
    EXPECT_EQ(seen, (std::vector<std::string>{"name=text", "command=code=7", "phases=number=6",
                                              "inputs=records", "outputs=records",
                                              "invocations=number=11", "input_batch_ends=numbers",
                                              "output_batch_ends=numbers"}));
}

TEST(RecordFields, AddressesAndWordsAloneAreShownInHexadecimal) {
    std::vector<std::string> hexadecimal;
    for_every_record([&](auto type) {
        using Record = typename decltype(type)::type;
        for_each_field<Record>([&](const auto& field) {
            if (shown_in_hexadecimal(field.hint)) {
                hexadecimal.push_back(std::string(record_name<Record>) + "." +
                                      std::string(field.name));
            }
        });
    });
    EXPECT_EQ(hexadecimal, (std::vector<std::string>{
                               "TileImage.entry_point", "TileImage.command_address",
                               "TileImage.diagnostic_address", "Segment.address", "Segment.flags",
                               "RegionSlice.tile_address", "HostExchange.startup_mark",
                               "DeviceConfigWrite.offset", "DeviceConfigWrite.value"}));
}

// The rendering walks the tables: every record shows its name, then each field name in table
// order.
TEST(RecordFields, RenderingShowsEveryFieldOfTheTableInOrder) {
    for_every_record([&](auto type) {
        using Record = typename decltype(type)::type;
        const std::string rendered = to_string(Record{});
        const std::string head = std::string(record_name<Record>) + " {";
        EXPECT_EQ(rendered.rfind(head, 0), 0u) << rendered;
        std::size_t from = 0;
        for_each_field<Record>([&](const auto& field) {
            const std::size_t found = rendered.find(" " + std::string(field.name) + ": ", from);
            EXPECT_NE(found, std::string::npos) << rendered << " lacks " << field.name;
            from = found;
        });
    });
}

}  // namespace
}  // namespace vexa_package
