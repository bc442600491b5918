#include <gtest/gtest.h>

#include <functional>

#include "support/crafted_messages.hpp"
#include "support/recording_sink.hpp"
#include "support/sample_applications.hpp"
#include "support/wire_variants.capnp.h"
#include "vexa_package/application.hpp"

namespace vexa_package {
namespace {

using testing::framed;
using testing::raw_text;
using testing::set_valid_header;
using Kind = PackageError::Kind;
namespace wire = application_capnp;

const std::string BAD_UTF8 = "ab\xff";

PackageError read_error(const Bytes& bytes) {
    auto read = Application::read(bytes);
    EXPECT_FALSE(read.has_value());
    return read ? PackageError::invalid("read unexpectedly succeeded") : read.error();
}

void expect_invalid(const Bytes& bytes, const std::string& message) {
    const PackageError error = read_error(bytes);
    EXPECT_EQ(error.kind(), Kind::Invalid) << to_string(error);
    EXPECT_EQ(error.message(), message);
}

TEST(ApplicationReaderHeader, EveryMismatchIsAnIncompatibleHeader) {
    const std::vector<std::function<void(wire::Application::Builder)>> mismatches = {
        [](auto root) { root.setSchemaVersion(2); },
        [](auto root) { root.setSchemaVersion(4); },
        [](auto root) { root.setTarget("vexa22"); },
        [](auto root) { root.setTarget("VEXA21"); },
        [](auto root) { root.setTarget("vexa21 "); },
        [](auto root) { root.setTarget("vexa2"); },
        [](auto root) { root.disownTarget(); },
        [](auto root) { root.setTileMemoryBase(TILE_MEMORY_BASE - 1); },
        [](auto root) { root.setTileMemoryBase(TILE_MEMORY_BASE + 1); },
        [](auto root) { root.setTileMemorySize(TILE_MEMORY_SIZE + 1); },
        [](auto root) { root.setTileMemorySize(0); },
    };
    for (std::size_t i = 0; i < mismatches.size(); ++i) {
        capnp::MallocMessageBuilder message;
        auto root = message.initRoot<wire::Application>();
        set_valid_header(root);
        testing::add_minimal_tile(root);
        mismatches[i](root);
        SCOPED_TRACE(i);
        expect_invalid(framed(message), "incompatible package header");
    }
}

TEST(ApplicationReaderHeader, IsCheckedBeforeAnythingElse) {
    capnp::MallocMessageBuilder message;
    auto root = message.initRoot<wire::Application>();
    set_valid_header(root);
    root.setSchemaVersion(1);
    root.setCompilerVersion(raw_text(BAD_UTF8));
    root.initInputs(1)[0].setName(raw_text(BAD_UTF8));
    expect_invalid(framed(message), "incompatible package header");
}

TEST(ApplicationReaderHeader, TargetIsOnlyDecodedForTheRightSchemaVersion) {
    capnp::MallocMessageBuilder message;
    auto root = message.initRoot<wire::Application>();
    set_valid_header(root);
    root.setTarget(raw_text("vexa\xc3"));
    EXPECT_EQ(read_error(framed(message)).kind(), Kind::Utf8);
    root.setSchemaVersion(7);
    expect_invalid(framed(message), "incompatible package header");
}

TEST(ApplicationReaderHeader, NullRootIsAnIncompatibleHeader) {
    capnp::MallocMessageBuilder message;
    message.initRoot<capnp::AnyPointer>();
    expect_invalid(framed(message), "incompatible package header");
}

TEST(ApplicationReaderHeader, HeaderAloneReadsAsAnApplicationWithoutTiles) {
    capnp::MallocMessageBuilder message;
    set_valid_header(message.initRoot<wire::Application>());
    expect_invalid(framed(message), "application has no tiles");
}

TEST(ApplicationReaderDefaults, NullHostExchangeReadsAsTheDefault) {
    capnp::MallocMessageBuilder message;
    auto root = message.initRoot<wire::Application>();
    set_valid_header(root);
    testing::add_minimal_tile(root);
    const auto read = Application::read(framed(message));
    ASSERT_TRUE(read.has_value()) << to_string(read.error());
    EXPECT_EQ(read->host_exchange, HostExchange{});
    EXPECT_EQ(read->compiler_version, "");
}

TEST(ApplicationReaderDefaults, OlderHostCallWithoutInvocationsReadsOne) {
    capnp::MallocMessageBuilder message;
    auto root = message.initRoot<testing::variants::OlderApplication>();
    set_valid_header(root);
    testing::add_minimal_tile(root);
    auto exchange = root.initHostExchange();
    auto page = exchange.initPages(1)[0];
    page.setIndex(0);
    page.setSize(16);
    auto call = exchange.initCalls(1)[0];
    call.setName("old");
    call.setCommand(6);
    call.setPhases(2);
    const auto read = Application::read(framed(message));
    ASSERT_TRUE(read.has_value()) << to_string(read.error());
    ASSERT_EQ(read->host_exchange.calls.size(), 1u);
    EXPECT_EQ(read->host_exchange.calls[0], (HostCall{.name = "old",
                                                      .command = 6,
                                                      .phases = 2,
                                                      .inputs = {},
                                                      .outputs = {},
                                                      .invocations = 1,
                                                      .input_batch_ends = {},
                                                      .output_batch_ends = {}}));
}

TEST(ApplicationReaderDefaults, NewerWriterExtraFieldsAreIgnored) {
    capnp::MallocMessageBuilder message;
    auto root = message.initRoot<testing::variants::NewerApplication>();
    set_valid_header(root);
    root.setCompilerVersion("9.0");
    root.setBuildId(0x1234);
    root.setNotes("from the future");
    auto tile = root.initTiles(1)[0];
    tile.setPhysicalTile(3);
    tile.setClusterId(99);
    auto segment = tile.initSegments(1)[0];
    segment.setAddress(0x4c000);
    segment.setMemorySize(2);
    const kj::byte data[] = {7, 8};
    segment.setData(capnp::Data::Reader(data, 2));
    segment.setChecksum(77);
    segment.setOrigin("linker");
    const auto read = Application::read(framed(message));
    ASSERT_TRUE(read.has_value()) << to_string(read.error());
    Application expected;
    expected.compiler_version = "9.0";
    expected.tiles = {
        TileImage{.physical_tile = 3,
                  .segments = {Segment{.address = 0x4c000, .memory_size = 2, .data = {7, 8}}}}};
    EXPECT_EQ(*read, expected);
}

// Builds a valid package with every text field set, then breaks the texts listed.
Bytes package_with_bad_texts(const std::vector<std::string>& broken) {
    const auto text_for = [&](const std::string& field) {
        return std::find(broken.begin(), broken.end(), field) != broken.end() ? BAD_UTF8 : field;
    };
    capnp::MallocMessageBuilder message;
    auto root = message.initRoot<wire::Application>();
    set_valid_header(root);
    root.setCompilerVersion(raw_text(text_for("compiler")));
    testing::add_minimal_tile(root);
    auto inputs = root.initInputs(2);
    inputs[0].setName(raw_text(text_for("input0.name")));
    inputs[0].setDtype(raw_text(text_for("input0.dtype")));
    inputs[1].setName(raw_text(text_for("input1.name")));
    root.initOutputs(1)[0].setName(raw_text(text_for("output.name")));
    root.initWeights(1)[0].setName(raw_text(text_for("weight.name")));
    auto exchange = root.initHostExchange();
    auto page = exchange.initPages(1)[0];
    page.setSize(64);
    exchange.initCalls(1)[0].setName(raw_text(text_for("call.name")));
    root.initEntryPoints(1)[0].setName(raw_text(text_for("entry.name")));
    return framed(message);
}

TEST(ApplicationReaderText, EveryTextIsCheckedForUtf8InReadingOrder) {
    const std::vector<std::string> order = {"compiler",    "input0.name", "input0.dtype",
                                            "input1.name", "output.name", "weight.name",
                                            "call.name",   "entry.name"};
    ASSERT_TRUE(Application::read(package_with_bad_texts({})).has_value());
    for (std::size_t i = 0; i < order.size(); ++i) {
        SCOPED_TRACE(order[i]);
        // Breaking this text and every later one must report this one: valid up to byte 2.
        const std::vector<std::string> broken(order.begin() + static_cast<std::ptrdiff_t>(i),
                                              order.end());
        const PackageError error = read_error(package_with_bad_texts(broken));
        ASSERT_EQ(error.kind(), Kind::Utf8) << to_string(error);
        EXPECT_EQ(*error.utf8(), (Utf8Error{.valid_up_to = 2, .error_len = 1}));
    }
}

TEST(ApplicationReaderFraming, EmptyAndTruncatedInputsAreCapnpErrors) {
    EXPECT_EQ(read_error({}).kind(), Kind::Capnp);
    Bytes bytes;
    ASSERT_TRUE(testing::rich_application().write(bytes).has_value());
    for (std::size_t length = 0; length < bytes.size(); ++length) {
        const auto read = Application::read(std::span(bytes.data(), length));
        ASSERT_FALSE(read.has_value()) << "length " << length;
        EXPECT_EQ(read.error().kind(), Kind::Capnp) << "length " << length;
    }
}

TEST(ApplicationReaderFraming, WrongPointerKindIsACapnpError) {
    capnp::MallocMessageBuilder message;
    auto root = message.initRoot<wire::Application>();
    set_valid_header(root);
    testing::add_minimal_tile(root);
    // A list where the host exchange struct belongs.
    root.getHostExchange();
    auto any = capnp::toAny(root).getPointerSection()[6];
    any.initAsListOfAnyStruct(1, 1, 0);
    const PackageError error = read_error(framed(message));
    EXPECT_EQ(error.kind(), Kind::Capnp) << to_string(error);
}

TEST(ApplicationReaderEvents, OneStartEventPerCallAndOneDoneEventPerSuccess) {
    Bytes bytes;
    ASSERT_TRUE(testing::batched_application().write(bytes).has_value());
    testing::RecordingSink sink;
    ASSERT_TRUE(Application::read(bytes).has_value());
    EXPECT_FALSE(Application::read(std::span(bytes.data(), 7)).has_value());
    const auto events = sink.events();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].message, "reading application package");
    EXPECT_TRUE(events[0].fields.empty());
    EXPECT_EQ(events[1].message, "application package read");
    EXPECT_EQ(events[1].level, Level::Info);
    EXPECT_EQ(events[1].target, "vexa_package");
    EXPECT_EQ(std::get<std::uint64_t>(events[1].fields.at("tiles")), 1u);
    EXPECT_EQ(std::get<std::string>(events[1].fields.at("compiler")), "0.1.0");
    EXPECT_EQ(events[2].message, "reading application package");
}

TEST(ApplicationWriterEvents, TwoEventsOnSuccessAndNoneWhenInvalid) {
    testing::RecordingSink sink;
    Bytes bytes;
    ASSERT_TRUE(testing::rich_application().write(bytes).has_value());
    EXPECT_FALSE(Application{}.write(bytes).has_value());
    const auto events = sink.events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].message, "writing application package");
    EXPECT_EQ(std::get<std::uint64_t>(events[0].fields.at("tiles")), 3u);
    EXPECT_EQ(events[1].message, "application package written");
    EXPECT_TRUE(events[1].fields.empty());
}

TEST(ApplicationEvents, SinkThatWantsNoInfoGetsNothing) {
    testing::RecordingSink sink(Level::Warn);
    Bytes bytes;
    ASSERT_TRUE(testing::minimal_application().write(bytes).has_value());
    ASSERT_TRUE(Application::read(bytes).has_value());
    EXPECT_TRUE(sink.events().empty());
}

}  // namespace
}  // namespace vexa_package
