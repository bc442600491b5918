#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include <capnp/any.h>
#include <capnp/message.h>
#include <capnp/serialize.h>
#include <kj/io.h>

#include "profile.capnp.h"
#include "support/allocation_counter.hpp"
#include "support/crafted_messages.hpp"
#include "support/wire_bytes.hpp"
#include "vexa_package/profile.hpp"

namespace vexa_package {
namespace {

namespace wb = testing::wire_bytes;
using testing::framed;
using testing::raw_text;
using wb::composite_tag;
using wb::frame;
using wb::list_pointer;
using wb::pack32;
using wb::struct_pointer;
using wb::text_words;
using Kind = PackageError::Kind;
using Edit = std::function<void(profile_capnp::Profile::Builder)>;

// --- Hand-assembled messages -------------------------------------------------------------

// Words of a message whose segment table is given too, for tables that lie about the input.
Bytes raw_words(const std::vector<std::uint64_t>& words) {
    Bytes bytes(words.size() * sizeof(std::uint64_t));
    std::memcpy(bytes.data(), words.data(), bytes.size());
    return bytes;
}

// The segment table word of a one-segment message.
constexpr std::uint64_t one_segment(std::uint32_t words) {
    return std::uint64_t{words} << 32;
}

constexpr std::uint32_t MAX_LIST_ELEMENTS = (std::uint32_t{1} << 29) - 1;

// The segment of a complete report, object by object in the order the writer places them;
// each index is the word number.
std::vector<std::uint64_t> hand_assembled(std::uint32_t version) {
    return {
        struct_pointer(0, 2, 1),            // 0: root Profile
        pack32(version, 0),                 // 1: schemaVersion, unused
        1500000000,                         // 2: clockHz
        list_pointer(0, wb::Composite, 2),  // 3: tiles
        composite_tag(1, 1, 1),             // 4
        pack32(17, 0),                      // 5: physicalTile
        list_pointer(0, wb::Composite, 2),  // 6: samples
        composite_tag(1, 1, 1),             // 7
        pack32(0xfffffff0, 0x10),           // 8: startCycle, endCycle
        struct_pointer(0, 2, 3),            // 9: step
        pack32(1, 5),                       // 10: localIndex, phase
        pack32(8, 2),                       // 11: epoch, kind synchronization
        list_pointer(2, wb::Byte, 7),       // 12: operation
        list_pointer(2, wb::Byte, 5),       // 13: kernel
        list_pointer(2, wb::Composite, 2),  // 14: metadata
        text_words("matmul").front(),       // 15
        text_words("gemm").front(),         // 16
        composite_tag(1, 0, 2),             // 17
        list_pointer(1, wb::Byte, 5),       // 18: name
        list_pointer(1, wb::Byte, 2),       // 19: value
        text_words("tile").front(),         // 20
        text_words("8").front(),            // 21
    };
}

ProfileReport hand_assembled_report() {
    const ProfileStep step{.local_index = 1,
                           .phase = 5,
                           .epoch = 8,
                           .operation = "matmul",
                           .kind = ProfileStepKind::Synchronization,
                           .kernel = "gemm",
                           .metadata = {{.name = "tile", .value = "8"}}};
    return ProfileReport{
        .clock_hz = 1500000000,
        .tiles = {TileProfile{
            .physical_tile = 17,
            .samples = {CycleSample{.step = step, .start_cycle = 0xfffffff0, .end_cycle = 0x10}}}}};
}

// --- Messages built with the generated builders -------------------------------------------

// A well-formed message of one tile with `samples` samples, which `edit` then breaks.
Bytes profile_message(std::uint32_t samples, const Edit& edit) {
    capnp::MallocMessageBuilder message;
    auto root = message.initRoot<profile_capnp::Profile>();
    root.setSchemaVersion(PROFILE_SCHEMA_VERSION);
    root.setClockHz(1000);
    auto tile = root.initTiles(1)[0];
    tile.setPhysicalTile(7);
    auto stored = tile.initSamples(samples);
    for (std::uint32_t i = 0; i < samples; ++i) {
        stored[i].setStartCycle(100 + i);
        stored[i].setEndCycle(200 + i);
        auto step = stored[i].initStep();
        step.setLocalIndex(i);
        step.setPhase(1);
        step.setEpoch(2);
        step.setOperation("op");
        step.setKind(profile_capnp::StepKind::COMPUTE);
        step.setKernel("kern");
        auto entry = step.initMetadata(1)[0];
        entry.setName("name");
        entry.setValue("value");
    }
    edit(root);
    return framed(message);
}

// What an unedited `profile_message` holds.
ProfileReport profile_report(std::uint32_t samples) {
    TileProfile tile{.physical_tile = 7, .samples = {}};
    for (std::uint32_t i = 0; i < samples; ++i) {
        tile.samples.push_back(CycleSample{.step = ProfileStep{.local_index = i,
                                                               .phase = 1,
                                                               .epoch = 2,
                                                               .operation = "op",
                                                               .kind = ProfileStepKind::Compute,
                                                               .kernel = "kern",
                                                               .metadata = {{"name", "value"}}},
                                           .start_cycle = 100 + i,
                                           .end_cycle = 200 + i});
    }
    return ProfileReport{.clock_hz = 1000, .tiles = {tile}};
}

profile_capnp::CycleSample::Builder sample_of(profile_capnp::Profile::Builder root,
                                              std::uint32_t sample) {
    return root.getTiles()[0].getSamples()[sample];
}

profile_capnp::ProfileStep::Builder step_of(profile_capnp::Profile::Builder root,
                                            std::uint32_t sample) {
    return sample_of(root, sample).getStep();
}

// The pointer section of a stored struct, to put pointers of the wrong kind into it.
template <typename Builder>
capnp::List<capnp::AnyPointer>::Builder pointers_of(Builder builder) {
    return capnp::AnyStruct::Builder(kj::mv(builder)).getPointerSection();
}

void set_kind(profile_capnp::ProfileStep::Builder step, std::uint16_t code) {
    step.setKind(static_cast<profile_capnp::StepKind>(code));
}

// --- Checks -------------------------------------------------------------------------------

void expect_reads_as(const Bytes& bytes, const ProfileReport& expected) {
    const auto result = ProfileReport::read(bytes);
    ASSERT_TRUE(result.has_value()) << result.error();
    EXPECT_EQ(*result, expected);
}

void expect_kind(const Bytes& bytes, Kind kind) {
    const auto result = ProfileReport::read(bytes);
    ASSERT_FALSE(result.has_value()) << *result;
    EXPECT_EQ(result.error().kind(), kind) << result.error();
}

void expect_version_error(const Bytes& bytes, std::uint32_t version) {
    const auto result = ProfileReport::read(bytes);
    ASSERT_FALSE(result.has_value()) << *result;
    EXPECT_EQ(result.error().kind(), Kind::Invalid);
    EXPECT_EQ(result.error().message(),
              "unsupported profile schema version " + std::to_string(version));
}

std::uint32_t le32(kj::ArrayPtr<const kj::byte> bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

// Written bytes as aligned words for Cap'n Proto's own reader.
kj::Array<capnp::word> aligned(const Bytes& bytes) {
    auto words = kj::heapArray<capnp::word>(bytes.size() / sizeof(capnp::word));
    std::memcpy(words.begin(), bytes.data(), words.size() * sizeof(capnp::word));
    return words;
}

// --- Layout -------------------------------------------------------------------------------

TEST(ProfileWire, HandAssembledMessageReadsAndMatchesTheWriter) {
    expect_reads_as(frame(hand_assembled(2)), hand_assembled_report());

    // The writer places the same objects in the same order, so its bytes are these words.
    Bytes output;
    ASSERT_TRUE(hand_assembled_report().write(output).has_value());
    EXPECT_EQ(output, frame(hand_assembled(PROFILE_SCHEMA_VERSION)));
}

TEST(ProfileWire, EachKindCodeSitsInBytes12And13OfTheStep) {
    TileProfile tile{.physical_tile = 1, .samples = {}};
    for (std::uint32_t code = 0; code < 4; ++code) {
        tile.samples.push_back(
            CycleSample{.step = ProfileStep{.local_index = 0x11 + code,
                                            .phase = 0x22,
                                            .epoch = 0x33,
                                            .operation = "",
                                            .kind = static_cast<ProfileStepKind>(code),
                                            .kernel = "",
                                            .metadata = {}}});
    }
    const ProfileReport report{.clock_hz = 1, .tiles = {tile}};
    Bytes output;
    ASSERT_TRUE(report.write(output).has_value());

    const auto words = aligned(output);
    capnp::FlatArrayMessageReader message(words);
    const auto samples = message.getRoot<profile_capnp::Profile>().getTiles()[0].getSamples();
    for (std::uint32_t code = 0; code < 4; ++code) {
        SCOPED_TRACE(code);
        const capnp::AnyStruct::Reader step(samples[code].getStep());
        const auto data = step.getDataSection();
        ASSERT_EQ(data.size(), 16u);
        EXPECT_EQ(le32(data, 0), 0x11 + code);
        EXPECT_EQ(le32(data, 4), 0x22u);
        EXPECT_EQ(le32(data, 8), 0x33u);
        EXPECT_EQ(data[12], code);
        EXPECT_EQ(data[13], 0u);
        EXPECT_EQ(data[14], 0u);
        EXPECT_EQ(data[15], 0u);
    }
}

TEST(ProfileWire, AbsentFieldsReadAsDefaults) {
    // A null step pointer gives the default step; the cycles are still read.
    expect_reads_as(
        profile_message(0,
                        [](auto root) {
                            auto sample = root.getTiles()[0].initSamples(1)[0];
                            sample.setStartCycle(5);
                            sample.setEndCycle(6);
                        }),
        ProfileReport{
            .clock_hz = 1000,
            .tiles = {TileProfile{.physical_tile = 7,
                                  .samples = {CycleSample{
                                      .step = ProfileStep{}, .start_cycle = 5, .end_cycle = 6}}}}});

    // Null tiles, samples, metadata and text pointers read as empty.
    expect_reads_as(profile_message(0, [](auto root) { root.disownTiles(); }),
                    ProfileReport{.clock_hz = 1000, .tiles = {}});
    expect_reads_as(profile_message(0, [](auto root) { root.getTiles()[0].disownSamples(); }),
                    profile_report(0));
    ProfileReport emptied = profile_report(1);
    emptied.tiles[0].samples[0].step.operation.clear();
    emptied.tiles[0].samples[0].step.kernel.clear();
    emptied.tiles[0].samples[0].step.metadata = {{"", ""}};
    expect_reads_as(profile_message(1,
                                    [](auto root) {
                                        auto step = step_of(root, 0);
                                        step.disownOperation();
                                        step.disownKernel();
                                        step.getMetadata()[0].disownName();
                                        step.getMetadata()[0].disownValue();
                                    }),
                    emptied);
    emptied.tiles[0].samples[0].step.metadata.clear();
    expect_reads_as(profile_message(1,
                                    [](auto root) {
                                        auto step = step_of(root, 0);
                                        step.disownOperation();
                                        step.disownKernel();
                                        step.disownMetadata();
                                    }),
                    emptied);
}

TEST(ProfileWire, ShortDataSectionsReadMissingFieldsAsZero) {
    // An all-zero data section is version 0, refused before anything else.
    expect_version_error(raw_words({one_segment(3), struct_pointer(0, 2, 0), 0, 0}), 0);
    // No data section at all reads the same.
    expect_version_error(raw_words({one_segment(1), struct_pointer(-1, 0, 0)}), 0);
    // A one-word data section holds the version; the clock outside it reads as 0.
    expect_reads_as(raw_words({one_segment(2), struct_pointer(0, 1, 0), pack32(3, 0)}),
                    ProfileReport{});
    // A step with a one-word data section: its only word now holds the local index and
    // phase, and the epoch and the kind, outside it, read as 0 and exchange.
    std::vector<std::uint64_t> words = hand_assembled(3);
    words[9] = struct_pointer(1, 1, 3);
    ProfileReport expected = hand_assembled_report();
    expected.tiles[0].samples[0].step.local_index = 8;
    expected.tiles[0].samples[0].step.phase = 2;
    expected.tiles[0].samples[0].step.epoch = 0;
    expected.tiles[0].samples[0].step.kind = ProfileStepKind::Exchange;
    expect_reads_as(frame(words), expected);
}

// --- Versions -----------------------------------------------------------------------------

TEST(ProfileWire, VersionsOneToThreeReadAlike) {
    for (const std::uint32_t version : {1u, 2u, 3u}) {
        SCOPED_TRACE(version);
        expect_reads_as(
            profile_message(2, [version](auto root) { root.setSchemaVersion(version); }),
            profile_report(2));
        expect_reads_as(frame(hand_assembled(version)), hand_assembled_report());
    }
}

TEST(ProfileWire, OtherVersionsAreRefusedFirst) {
    for (const std::uint32_t version : {0u, 4u, 0xffffffffu}) {
        SCOPED_TRACE(version);
        expect_version_error(
            profile_message(2, [version](auto root) { root.setSchemaVersion(version); }), version);

        // Tiles pointing far outside the message are not looked at under a bad version.
        const std::vector<std::uint64_t> malformed = {one_segment(4), struct_pointer(0, 2, 1),
                                                      pack32(version, 0), 0,
                                                      list_pointer(1000, wb::Composite, 2)};
        expect_version_error(raw_words(malformed), version);
    }
    expect_kind(raw_words({one_segment(4), struct_pointer(0, 2, 1), pack32(3, 0), 0,
                           list_pointer(1000, wb::Composite, 2)}),
                Kind::Capnp);
}

TEST(ProfileWire, NullRootReadsAsVersionZero) {
    capnp::MallocMessageBuilder message;
    static_cast<void>(message.getRoot<capnp::AnyPointer>());
    expect_version_error(framed(message), 0);
    expect_version_error(raw_words({one_segment(1), 0}), 0);
}

// --- Kinds and texts ----------------------------------------------------------------------

TEST(ProfileWire, KindCodesOutsideTheSchemaAreRefusedWithTheCode) {
    for (const std::uint16_t code :
         {std::uint16_t{0}, std::uint16_t{1}, std::uint16_t{2}, std::uint16_t{3}}) {
        ProfileReport expected = profile_report(2);
        expected.tiles[0].samples[1].step.kind = static_cast<ProfileStepKind>(code);
        expect_reads_as(profile_message(2, [code](auto root) { set_kind(step_of(root, 1), code); }),
                        expected);
    }
    for (const std::uint16_t code : {std::uint16_t{4}, std::uint16_t{255}, std::uint16_t{65535}}) {
        SCOPED_TRACE(code);
        const auto result = ProfileReport::read(
            profile_message(2, [code](auto root) { set_kind(step_of(root, 1), code); }));
        ASSERT_FALSE(result.has_value());
        ASSERT_EQ(result.error().kind(), Kind::SchemaEnum);
        EXPECT_EQ(*result.error().schema_enum(), code);
    }
}

TEST(ProfileWire, InvalidUtf8IsRefusedInEveryTextField) {
    using Field = std::function<void(profile_capnp::ProfileStep::Builder, capnp::Text::Reader)>;
    const std::vector<std::pair<std::string_view, Field>> fields = {
        {"operation", [](auto step, auto text) { step.setOperation(text); }},
        {"kernel", [](auto step, auto text) { step.setKernel(text); }},
        {"name", [](auto step, auto text) { step.getMetadata()[0].setName(text); }},
        {"value", [](auto step, auto text) { step.getMetadata()[0].setValue(text); }},
    };
    const std::vector<std::pair<std::string, Utf8Error>> texts = {
        {"ok\xff", Utf8Error{.valid_up_to = 2, .error_len = 1}},
        {"ok\xc3", Utf8Error{.valid_up_to = 2, .error_len = std::nullopt}},
        {"\xed\xa0\x80", Utf8Error{.valid_up_to = 0, .error_len = 1}},
    };
    for (const auto& [name, set] : fields) {
        for (const auto& [text, expected] : texts) {
            SCOPED_TRACE(std::string(name) + " " + std::to_string(expected.valid_up_to));
            const auto result = ProfileReport::read(
                profile_message(1, [&](auto root) { set(step_of(root, 0), raw_text(text)); }));
            ASSERT_FALSE(result.has_value());
            ASSERT_EQ(result.error().kind(), Kind::Utf8);
            EXPECT_EQ(*result.error().utf8(), expected);
        }
    }
}

// --- Which fault wins ---------------------------------------------------------------------

// The fault that must be reported: its kind, and the stored code or the valid UTF-8 prefix
// that tells which field it came from.
struct Expected {
    Kind kind;
    std::size_t detail;
};

TEST(ProfileWire, TheFirstFaultInReadingOrderWins) {
    const auto bad_kind = [](std::uint32_t sample) {
        return [sample](auto root) { set_kind(step_of(root, sample), 4); };
    };
    const auto bad_kernel = [](std::uint32_t sample) {
        return [sample](auto root) { step_of(root, sample).setKernel(raw_text("\xff")); };
    };
    const auto both = [](Edit first, Edit second) {
        return [first, second](auto root) {
            first(root);
            second(root);
        };
    };
    const std::vector<std::tuple<std::string_view, Edit, Expected>> cases = {
        {"earlier sample's kind beats later sample's text",
         both(bad_kind(1), bad_kernel(2)),
         {Kind::SchemaEnum, 4}},
        {"the later text alone is a fault", bad_kernel(2), {Kind::Utf8, 0}},
        {"operation before kind",
         both(bad_kind(1), [](auto root) { step_of(root, 1).setOperation(raw_text("ab\xff")); }),
         {Kind::Utf8, 2}},
        {"kind before kernel", both(bad_kernel(1), bad_kind(1)), {Kind::SchemaEnum, 4}},
        {"kernel before metadata",
         both(bad_kernel(0),
              [](auto root) { step_of(root, 0).getMetadata()[0].setName(raw_text("abc\xff")); }),
         {Kind::Utf8, 0}},
        {"metadata name before value",
         [](auto root) {
             auto entry = step_of(root, 0).getMetadata()[0];
             entry.setName(raw_text("a\xff"));
             entry.setValue(raw_text("abc\xff"));
         },
         {Kind::Utf8, 1}},
        {"a step pointer of the wrong kind before a later kind",
         both(bad_kind(2),
              [](auto root) {
                  pointers_of(sample_of(root, 1))[0].initAsAnyList(capnp::ElementSize::BYTE, 3);
              }),
         {Kind::Capnp, 0}},
    };
    for (const auto& [name, edit, expected] : cases) {
        SCOPED_TRACE(name);
        const auto result = ProfileReport::read(profile_message(3, edit));
        ASSERT_FALSE(result.has_value());
        ASSERT_EQ(result.error().kind(), expected.kind) << result.error();
        if (expected.kind == Kind::SchemaEnum) {
            EXPECT_EQ(*result.error().schema_enum(), expected.detail);
        }
        if (expected.kind == Kind::Utf8) {
            EXPECT_EQ(result.error().utf8()->valid_up_to, expected.detail);
        }
    }
}

// --- Malformed and hostile input ----------------------------------------------------------

TEST(ProfileWire, PointersOfTheWrongKindGiveCapnp) {
    const std::vector<std::pair<std::string_view, Edit>> cases = {
        {"tiles as a struct", [](auto root) { pointers_of(root)[0].initAsAnyStruct(1, 0); }},
        {"operation as a struct",
         [](auto root) { pointers_of(step_of(root, 0))[0].initAsAnyStruct(1, 0); }},
        {"metadata as a list of bits",
         [](auto root) {
             pointers_of(step_of(root, 0))[2].initAsAnyList(capnp::ElementSize::BIT, 2);
         }},
    };
    for (const auto& [name, edit] : cases) {
        SCOPED_TRACE(name);
        expect_kind(profile_message(1, edit), Kind::Capnp);
    }

    // A root that is a list, and a text without its NUL terminator.
    expect_kind(raw_words({one_segment(2), list_pointer(0, wb::Byte, 3), 0}), Kind::Capnp);
    std::vector<std::uint64_t> unterminated = hand_assembled(3);
    unterminated[12] = list_pointer(2, wb::Byte, 6);
    expect_kind(frame(unterminated), Kind::Capnp);
}

TEST(ProfileWire, ListsClaimingMoreThanTheMessageHoldsGiveCapnp) {
    // 48 bytes whose tiles claim 2^29 - 1 elements of zero size.
    const Bytes empty_tiles =
        raw_words({one_segment(5), struct_pointer(0, 2, 1), pack32(3, 0), 0,
                   list_pointer(0, wb::Composite, 0), composite_tag(MAX_LIST_ELEMENTS, 0, 0)});
    EXPECT_EQ(empty_tiles.size(), 48u);
    {
        // Refused before any element is decoded: nothing is reserved for the claim.
        const testing::AllocationCounter counter;
        expect_kind(empty_tiles, Kind::Capnp);
        EXPECT_LT(counter.peak_bytes(), std::size_t{64} << 10);
    }

    std::vector<std::uint64_t> words = hand_assembled(3);
    words[14] = list_pointer(2, wb::Composite, 0);
    words[17] = composite_tag(MAX_LIST_ELEMENTS, 0, 0);
    expect_kind(frame(words), Kind::Capnp);

    words = hand_assembled(3);
    words[12] = list_pointer(2, wb::Byte, MAX_LIST_ELEMENTS);
    expect_kind(frame(words), Kind::Capnp);

    words = hand_assembled(3);
    words[6] = list_pointer(0, wb::Composite, MAX_LIST_ELEMENTS);
    words[7] = composite_tag(MAX_LIST_ELEMENTS, 1, 1);
    expect_kind(frame(words), Kind::Capnp);
}

TEST(ProfileWire, FramingThatTheInputDoesNotBackGivesCapnp) {
    const std::vector<Bytes> inputs = {
        {},
        {0, 0, 0, 0},
        raw_words({one_segment(0xffffffff), struct_pointer(0, 2, 1), pack32(3, 0)}),
        raw_words({0xffffffffu, 0}),
        raw_words({pack32(1, 1), pack32(0xffffffff, 0), struct_pointer(0, 0, 0)}),
    };
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        SCOPED_TRACE(i);
        expect_kind(inputs[i], Kind::Capnp);
        kj::ArrayInputStream stream(kj::arrayPtr(inputs[i].data(), inputs[i].size()));
        const auto result = ProfileReport::read(stream);
        ASSERT_FALSE(result.has_value());
        EXPECT_EQ(result.error().kind(), Kind::Capnp);
    }
}

TEST(ProfileWire, EveryTruncationGivesCapnp) {
    const Bytes whole = frame(hand_assembled(3));
    for (std::size_t size = 0; size < whole.size(); ++size) {
        SCOPED_TRACE(size);
        const auto from_bytes = ProfileReport::read(std::span(whole.data(), size));
        ASSERT_FALSE(from_bytes.has_value());
        EXPECT_EQ(from_bytes.error().kind(), Kind::Capnp);

        kj::ArrayInputStream stream(kj::arrayPtr(whole.data(), size));
        const auto from_stream = ProfileReport::read(stream);
        ASSERT_FALSE(from_stream.has_value());
        EXPECT_EQ(from_stream.error().kind(), Kind::Capnp);
    }
}

TEST(ProfileWire, CorruptedBytesEitherFailOrGiveAReportThatRoundTrips) {
    const Bytes whole = frame(hand_assembled(3));
    for (std::size_t at = 0; at < whole.size(); ++at) {
        for (const std::uint8_t mask :
             {std::uint8_t{0x01}, std::uint8_t{0x80}, std::uint8_t{0xff}}) {
            SCOPED_TRACE(std::to_string(at) + " " + std::to_string(mask));
            Bytes corrupted = whole;
            corrupted[at] ^= mask;
            const auto result = ProfileReport::read(corrupted);
            if (!result.has_value()) {
                continue;
            }
            Bytes again;
            ASSERT_TRUE(result->write(again).has_value());
            expect_reads_as(again, *result);
        }
    }
}

}  // namespace
}  // namespace vexa_package
