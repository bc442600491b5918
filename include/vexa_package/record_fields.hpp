#pragma once

#include <array>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "vexa_package/application.hpp"
#include "vexa_package/constants.hpp"
#include "vexa_package/profile.hpp"

/// @file
/// One field table per record of the package and profile models: the fields of each record in
/// declaration order, with their names and how their values are best presented. Code that
/// treats every field alike (rendering, conversions to other languages and formats, field
/// name lists) walks these tables instead of naming the fields one by one, so a field added
/// to a record reaches it without further edits. Each table is checked at compile time
/// against its record: a table that lacks a member, or whose field types do not follow the
/// declaration, does not compile. (Fields of one type that trade places compile; the
/// library's tests find them by where the members lie.)

namespace vexa_package {

/// How a field's value is best presented. Number-like hints (`Number` to `Offset`) go with
/// unsigned integers; the others name the kind of value the field holds, and each is checked
/// against the field's type.
enum class FieldHint : std::uint8_t {
    /// A plain quantity or identifier in decimal: a count, an index, a tile or page number, a
    /// cycle counter value, a frequency.
    Number,
    /// A tile memory or register address, shown in hexadecimal.
    Address,
    /// A bit pattern or raw value whose digits matter more than its size (flags, markers,
    /// register values), shown in hexadecimal.
    Word,
    /// A command value the device interprets: neither a quantity nor an address. Record
    /// listings show it in decimal; tables meant to be read beside device documentation may
    /// show it in hexadecimal.
    Code,
    /// A length in bytes; the difference between two sizes is meaningful.
    Size,
    /// A byte offset inside a host page or on the data (file) side.
    Offset,
    /// UTF-8 text (`std::string`).
    Text,
    /// Byte data (`Bytes`), typically long: summarise rather than list it.
    ByteData,
    /// A list of unsigned 32-bit numbers (`std::vector<std::uint32_t>`).
    Numbers,
    /// An enumeration, shown by its enumerator name.
    Enumeration,
    /// A nested record that has a field table of its own.
    Record,
    /// A list of records that have a field table of their own.
    Records,
};

/// The hint's name in lower snake case ("number", "address", ..., "records"), for listings
/// and for code in other languages that reads the tables.
[[nodiscard]] constexpr std::string_view field_hint_name(FieldHint hint) noexcept {
    switch (hint) {
        case FieldHint::Number:
            return "number";
        case FieldHint::Address:
            return "address";
        case FieldHint::Word:
            return "word";
        case FieldHint::Code:
            return "code";
        case FieldHint::Size:
            return "size";
        case FieldHint::Offset:
            return "offset";
        case FieldHint::Text:
            return "text";
        case FieldHint::ByteData:
            return "byte_data";
        case FieldHint::Numbers:
            return "numbers";
        case FieldHint::Enumeration:
            return "enumeration";
        case FieldHint::Record:
            return "record";
        case FieldHint::Records:
            return "records";
    }
    return "unknown";
}

/// Whether values of fields with this hint are shown in hexadecimal wherever records are
/// listed: true for `Address` and `Word`.
[[nodiscard]] constexpr bool shown_in_hexadecimal(FieldHint hint) noexcept {
    return hint == FieldHint::Address || hint == FieldHint::Word;
}

/// One field of a record: its name, where it lives in the record, and its presentation hint.
template <typename RecordType, typename Member>
struct RecordField {
    /// The record the field belongs to.
    using record_type = RecordType;
    /// The field's C++ type.
    using value_type = Member;

    /// The field name, the same as the member's; it views a string literal, so `data()` is
    /// also a NUL-terminated C string.
    std::string_view name;
    /// The member itself.
    Member RecordType::* member;
    /// How the field's value is best presented.
    FieldHint hint;

    /// The field's value in `record`.
    [[nodiscard]] constexpr const Member& of(const RecordType& record) const noexcept {
        return record.*member;
    }
    /// The field's value in `record`, to be filled in.
    [[nodiscard]] constexpr Member& of(RecordType& record) const noexcept { return record.*member; }
};

/// The field table of a record: `name`, the record's name, and `fields`, a tuple of
/// `RecordField` in declaration order. Only the records of the two models have one.
template <typename RecordType>
struct RecordFields;

/// A record of the package or profile model, which has a field table.
template <typename T>
concept ModelRecord = requires {
    { RecordFields<T>::name } -> std::convertible_to<std::string_view>;
    RecordFields<T>::fields;
};

namespace detail {

// A list of `T` whose elements are model records.
template <typename T>
struct is_record_list : std::false_type {};
template <ModelRecord Element>
struct is_record_list<std::vector<Element>> : std::true_type {};

template <typename Member>
consteval bool hint_fits(FieldHint hint) {
    switch (hint) {
        case FieldHint::Number:
        case FieldHint::Address:
        case FieldHint::Word:
        case FieldHint::Code:
        case FieldHint::Size:
        case FieldHint::Offset:
            return std::is_same_v<Member, std::uint32_t> || std::is_same_v<Member, std::uint64_t>;
        case FieldHint::Text:
            return std::is_same_v<Member, std::string>;
        case FieldHint::ByteData:
            return std::is_same_v<Member, Bytes>;
        case FieldHint::Numbers:
            return std::is_same_v<Member, std::vector<std::uint32_t>>;
        case FieldHint::Enumeration:
            return std::is_enum_v<Member>;
        case FieldHint::Record:
            return ModelRecord<Member>;
        case FieldHint::Records:
            return is_record_list<Member>::value;
    }
    return false;
}

// A table entry; the hint is checked against the member's type where the entry is written.
template <typename RecordType, typename Member>
consteval RecordField<RecordType, Member> field(std::string_view name, Member RecordType::* member,
                                                FieldHint hint) {
    if (!hint_fits<Member>(hint)) {
        throw "the hint does not fit the field's type";
    }
    return {.name = name, .member = member, .hint = hint};
}

// Converts to anything: `T{AnyMember{}, ...}` compiles for up to as many initialisers as the
// aggregate `T` has members. Each initialiser converts to its member directly, so none is
// spread over the members of a nested aggregate.
struct AnyMember {
    template <typename T>
    operator T() const;  // NOLINT(google-explicit-constructor): the probe converts implicitly
};

template <typename T, std::size_t... Index>
consteval bool initialisable_from(std::index_sequence<Index...> /*unused*/) {
    return requires { T{(static_cast<void>(Index), AnyMember{})...}; };
}

// The number of members of the aggregate `T`: the most initialisers it accepts.
template <typename T, std::size_t Count = 0>
consteval std::size_t member_count() {
    if constexpr (initialisable_from<T>(std::make_index_sequence<Count + 1>{})) {
        return member_count<T, Count + 1>();
    } else {
        return Count;
    }
}

// Whether the record can be initialised from the table's member types in table order without
// a narrowing or other conversion: the table's types follow the declaration's.
template <typename RecordType, typename... Member>
consteval bool initialisable_in_order(const std::tuple<RecordField<RecordType, Member>...>& /*t*/) {
    return requires { RecordType{std::declval<const Member&>()...}; };
}

// The table lists every member of the record, with each member's type in its place.
template <ModelRecord RecordType>
consteval bool lists_every_member() {
    constexpr auto& fields = RecordFields<RecordType>::fields;
    return std::tuple_size_v<std::remove_cvref_t<decltype(fields)>> == member_count<RecordType>() &&
           initialisable_in_order(fields);
}

template <auto Member>
struct member_pointer;
template <typename RecordType, typename Type, Type RecordType::* Member>
struct member_pointer<Member> {
    using record_type = RecordType;
    using value_type = Type;
};

template <auto Member>
consteval auto find_field() {
    using Pointer = member_pointer<Member>;
    using Found = RecordField<typename Pointer::record_type, typename Pointer::value_type>;
    Found found{};
    bool seen = false;
    const auto match = [&](const auto& field) {
        if constexpr (std::is_same_v<std::remove_cvref_t<decltype(field)>, Found>) {
            if (field.member == Member) {
                found = field;
                seen = true;
            }
        }
    };
    std::apply([&](const auto&... each) { (match(each), ...); },
               RecordFields<typename Pointer::record_type>::fields);
    if (!seen) {
        throw "the member is missing from its record's field table";
    }
    return found;
}

}  // namespace detail

/// The name of a record ("Segment").
template <ModelRecord RecordType>
inline constexpr std::string_view record_name = RecordFields<RecordType>::name;

/// The number of fields of a record.
template <ModelRecord RecordType>
inline constexpr std::size_t field_count =
    std::tuple_size_v<std::remove_cvref_t<decltype(RecordFields<RecordType>::fields)>>;

/// The field names of a record in declaration order, for lists of allowed or expected names.
template <ModelRecord RecordType>
inline constexpr std::array<std::string_view, field_count<RecordType>> field_names =
    std::apply([](const auto&... field) { return std::array{field.name...}; },
               RecordFields<RecordType>::fields);

/// The table entry of one member: `field_of<&Segment::flags>.name` is "flags".
template <auto Member>
    requires std::is_member_object_pointer_v<decltype(Member)>
inline constexpr auto field_of = detail::find_field<Member>();

/// Calls `visit(field)` for each field of `RecordType` in declaration order, with `field` a
/// `RecordField`: for code that needs the names and hints without a record at hand.
template <ModelRecord RecordType, typename Visit>
constexpr void for_each_field(Visit&& visit) {
    std::apply([&](const auto&... field) { (visit(field), ...); },
               RecordFields<RecordType>::fields);
}

/// Calls `visit(field, value)` for each field of `record` in declaration order, with `field`
/// a `RecordField` and `value` a reference to the field's value in `record`: a const
/// reference for a const record, one to fill in otherwise.
template <typename RecordType, typename Visit>
    requires ModelRecord<std::remove_const_t<RecordType>>
constexpr void for_each_field(RecordType& record, Visit&& visit) {
    std::apply([&](const auto&... field) { (visit(field, record.*field.member), ...); },
               RecordFields<std::remove_const_t<RecordType>>::fields);
}

/// A list of record types, to visit every record of a model with `for_each_record`.
template <typename... RecordTypes>
struct RecordList {};

/// The records of the package model, the root first.
using ApplicationRecords =
    RecordList<Application, TileImage, Segment, Binding, RegionSlice, HostExchange, HostPage,
               HostCall, HostSlice, EntryPoint, DeviceConfigWrite>;

/// The records of the profile model, the root first.
using ProfileRecords =
    RecordList<ProfileReport, TileProfile, CycleSample, ProfileStep, ProfileMetadata>;

/// Calls `visit(std::type_identity<R>{})` for each record type `R` of the list, in order.
template <typename... RecordTypes, typename Visit>
constexpr void for_each_record(RecordList<RecordTypes...> /*records*/, Visit&& visit) {
    (visit(std::type_identity<RecordTypes>{}), ...);
}

// ---- The tables. A record's table follows the tables of the records it holds. ----

/// Fields of `Segment`.
template <>
struct RecordFields<Segment> {
    /// The record's name.
    static constexpr std::string_view name = "Segment";
    /// The fields in declaration order.
    static constexpr std::tuple fields{
        detail::field("address", &Segment::address, FieldHint::Address),
        detail::field("memory_size", &Segment::memory_size, FieldHint::Size),
        detail::field("data", &Segment::data, FieldHint::ByteData),
        detail::field("flags", &Segment::flags, FieldHint::Word),
    };
};
static_assert(detail::lists_every_member<Segment>(),
              "RecordFields<Segment> must list every member of Segment in declaration order");

/// Fields of `TileImage`.
template <>
struct RecordFields<TileImage> {
    /// The record's name.
    static constexpr std::string_view name = "TileImage";
    /// The fields in declaration order.
    static constexpr std::tuple fields{
        detail::field("physical_tile", &TileImage::physical_tile, FieldHint::Number),
        detail::field("entry_point", &TileImage::entry_point, FieldHint::Address),
        detail::field("command_address", &TileImage::command_address, FieldHint::Address),
        detail::field("diagnostic_address", &TileImage::diagnostic_address, FieldHint::Address),
        detail::field("segments", &TileImage::segments, FieldHint::Records),
    };
};
static_assert(detail::lists_every_member<TileImage>(),
              "RecordFields<TileImage> must list every member of TileImage in declaration order");

/// Fields of `RegionSlice`.
template <>
struct RecordFields<RegionSlice> {
    /// The record's name.
    static constexpr std::string_view name = "RegionSlice";
    /// The fields in declaration order.
    static constexpr std::tuple fields{
        detail::field("tile", &RegionSlice::tile, FieldHint::Number),
        detail::field("tile_address", &RegionSlice::tile_address, FieldHint::Address),
        detail::field("file_offset", &RegionSlice::file_offset, FieldHint::Offset),
        detail::field("size", &RegionSlice::size, FieldHint::Size),
    };
};
static_assert(
    detail::lists_every_member<RegionSlice>(),
    "RecordFields<RegionSlice> must list every member of RegionSlice in declaration order");

/// Fields of `Binding`.
template <>
struct RecordFields<Binding> {
    /// The record's name.
    static constexpr std::string_view name = "Binding";
    /// The fields in declaration order.
    static constexpr std::tuple fields{
        detail::field("name", &Binding::name, FieldHint::Text),
        detail::field("dtype", &Binding::dtype, FieldHint::Text),
        detail::field("shape", &Binding::shape, FieldHint::Numbers),
        detail::field("slices", &Binding::slices, FieldHint::Records),
    };
};
static_assert(detail::lists_every_member<Binding>(),
              "RecordFields<Binding> must list every member of Binding in declaration order");

/// Fields of `HostPage`.
template <>
struct RecordFields<HostPage> {
    /// The record's name.
    static constexpr std::string_view name = "HostPage";
    /// The fields in declaration order.
    static constexpr std::tuple fields{
        detail::field("index", &HostPage::index, FieldHint::Number),
        detail::field("size", &HostPage::size, FieldHint::Size),
    };
};
static_assert(detail::lists_every_member<HostPage>(),
              "RecordFields<HostPage> must list every member of HostPage in declaration order");

/// Fields of `HostSlice`.
template <>
struct RecordFields<HostSlice> {
    /// The record's name.
    static constexpr std::string_view name = "HostSlice";
    /// The fields in declaration order.
    static constexpr std::tuple fields{
        detail::field("page", &HostSlice::page, FieldHint::Number),
        detail::field("page_offset", &HostSlice::page_offset, FieldHint::Offset),
        detail::field("file_offset", &HostSlice::file_offset, FieldHint::Offset),
        detail::field("size", &HostSlice::size, FieldHint::Size),
    };
};
static_assert(detail::lists_every_member<HostSlice>(),
              "RecordFields<HostSlice> must list every member of HostSlice in declaration order");

/// Fields of `HostCall`.
template <>
struct RecordFields<HostCall> {
    /// The record's name.
    static constexpr std::string_view name = "HostCall";
    /// The fields in declaration order.
    static constexpr std::tuple fields{
        detail::field("name", &HostCall::name, FieldHint::Text),
        detail::field("command", &HostCall::command, FieldHint::Code),
        detail::field("phases", &HostCall::phases, FieldHint::Number),
        detail::field("inputs", &HostCall::inputs, FieldHint::Records),
        detail::field("outputs", &HostCall::outputs, FieldHint::Records),
        detail::field("invocations", &HostCall::invocations, FieldHint::Number),
        detail::field("input_batch_ends", &HostCall::input_batch_ends, FieldHint::Numbers),
        detail::field("output_batch_ends", &HostCall::output_batch_ends, FieldHint::Numbers),
    };
};
static_assert(detail::lists_every_member<HostCall>(),
              "RecordFields<HostCall> must list every member of HostCall in declaration order");

/// Fields of `HostExchange`.
template <>
struct RecordFields<HostExchange> {
    /// The record's name.
    static constexpr std::string_view name = "HostExchange";
    /// The fields in declaration order.
    static constexpr std::tuple fields{
        detail::field("startup_mark", &HostExchange::startup_mark, FieldHint::Word),
        detail::field("command_page", &HostExchange::command_page, FieldHint::Number),
        detail::field("command_offset", &HostExchange::command_offset, FieldHint::Offset),
        detail::field("pages", &HostExchange::pages, FieldHint::Records),
        detail::field("attach_order", &HostExchange::attach_order, FieldHint::Numbers),
        detail::field("calls", &HostExchange::calls, FieldHint::Records),
    };
};
static_assert(
    detail::lists_every_member<HostExchange>(),
    "RecordFields<HostExchange> must list every member of HostExchange in declaration order");

/// Fields of `EntryPoint`.
template <>
struct RecordFields<EntryPoint> {
    /// The record's name.
    static constexpr std::string_view name = "EntryPoint";
    /// The fields in declaration order.
    static constexpr std::tuple fields{
        detail::field("name", &EntryPoint::name, FieldHint::Text),
        detail::field("command", &EntryPoint::command, FieldHint::Code),
        detail::field("external_syncs", &EntryPoint::external_syncs, FieldHint::Number),
    };
};
static_assert(detail::lists_every_member<EntryPoint>(),
              "RecordFields<EntryPoint> must list every member of EntryPoint in declaration order");

/// Fields of `DeviceConfigWrite`.
template <>
struct RecordFields<DeviceConfigWrite> {
    /// The record's name.
    static constexpr std::string_view name = "DeviceConfigWrite";
    /// The fields in declaration order.
    static constexpr std::tuple fields{
        detail::field("offset", &DeviceConfigWrite::offset, FieldHint::Address),
        detail::field("value", &DeviceConfigWrite::value, FieldHint::Word),
    };
};
static_assert(detail::lists_every_member<DeviceConfigWrite>(),
              "RecordFields<DeviceConfigWrite> must list every member of DeviceConfigWrite in "
              "declaration order");

/// Fields of `Application`.
template <>
struct RecordFields<Application> {
    /// The record's name.
    static constexpr std::string_view name = "Application";
    /// The fields in declaration order.
    static constexpr std::tuple fields{
        detail::field("compiler_version", &Application::compiler_version, FieldHint::Text),
        detail::field("tiles", &Application::tiles, FieldHint::Records),
        detail::field("inputs", &Application::inputs, FieldHint::Records),
        detail::field("outputs", &Application::outputs, FieldHint::Records),
        detail::field("weights", &Application::weights, FieldHint::Records),
        detail::field("host_exchange", &Application::host_exchange, FieldHint::Record),
        detail::field("entry_points", &Application::entry_points, FieldHint::Records),
        detail::field("device_config_writes", &Application::device_config_writes,
                      FieldHint::Records),
    };
};
static_assert(
    detail::lists_every_member<Application>(),
    "RecordFields<Application> must list every member of Application in declaration order");

/// Fields of `ProfileMetadata`.
template <>
struct RecordFields<ProfileMetadata> {
    /// The record's name.
    static constexpr std::string_view name = "ProfileMetadata";
    /// The fields in declaration order.
    static constexpr std::tuple fields{
        detail::field("name", &ProfileMetadata::name, FieldHint::Text),
        detail::field("value", &ProfileMetadata::value, FieldHint::Text),
    };
};
static_assert(detail::lists_every_member<ProfileMetadata>(),
              "RecordFields<ProfileMetadata> must list every member of ProfileMetadata in "
              "declaration order");

/// Fields of `ProfileStep`.
template <>
struct RecordFields<ProfileStep> {
    /// The record's name.
    static constexpr std::string_view name = "ProfileStep";
    /// The fields in declaration order.
    static constexpr std::tuple fields{
        detail::field("local_index", &ProfileStep::local_index, FieldHint::Number),
        detail::field("phase", &ProfileStep::phase, FieldHint::Number),
        detail::field("epoch", &ProfileStep::epoch, FieldHint::Number),
        detail::field("operation", &ProfileStep::operation, FieldHint::Text),
        detail::field("kind", &ProfileStep::kind, FieldHint::Enumeration),
        detail::field("kernel", &ProfileStep::kernel, FieldHint::Text),
        detail::field("metadata", &ProfileStep::metadata, FieldHint::Records),
    };
};
static_assert(
    detail::lists_every_member<ProfileStep>(),
    "RecordFields<ProfileStep> must list every member of ProfileStep in declaration order");

/// Fields of `CycleSample`.
template <>
struct RecordFields<CycleSample> {
    /// The record's name.
    static constexpr std::string_view name = "CycleSample";
    /// The fields in declaration order.
    static constexpr std::tuple fields{
        detail::field("step", &CycleSample::step, FieldHint::Record),
        detail::field("start_cycle", &CycleSample::start_cycle, FieldHint::Number),
        detail::field("end_cycle", &CycleSample::end_cycle, FieldHint::Number),
    };
};
static_assert(
    detail::lists_every_member<CycleSample>(),
    "RecordFields<CycleSample> must list every member of CycleSample in declaration order");

/// Fields of `TileProfile`.
template <>
struct RecordFields<TileProfile> {
    /// The record's name.
    static constexpr std::string_view name = "TileProfile";
    /// The fields in declaration order.
    static constexpr std::tuple fields{
        detail::field("physical_tile", &TileProfile::physical_tile, FieldHint::Number),
        detail::field("samples", &TileProfile::samples, FieldHint::Records),
    };
};
static_assert(
    detail::lists_every_member<TileProfile>(),
    "RecordFields<TileProfile> must list every member of TileProfile in declaration order");

/// Fields of `ProfileReport`.
template <>
struct RecordFields<ProfileReport> {
    /// The record's name.
    static constexpr std::string_view name = "ProfileReport";
    /// The fields in declaration order.
    static constexpr std::tuple fields{
        detail::field("clock_hz", &ProfileReport::clock_hz, FieldHint::Number),
        detail::field("tiles", &ProfileReport::tiles, FieldHint::Records),
    };
};
static_assert(
    detail::lists_every_member<ProfileReport>(),
    "RecordFields<ProfileReport> must list every member of ProfileReport in declaration order");

}  // namespace vexa_package
