#include <gtest/gtest.h>

#include <capnp/message.h>
#include <capnp/serialize.h>

#include "application.capnp.h"

#include "support/sample_applications.hpp"
#include "support/wire_bytes.hpp"
#include "vexa_package/application.hpp"

namespace vexa_package {
namespace {

namespace wb = testing::wire_bytes;
using testing::batched_application;
using testing::minimal_application;

Bytes written(const Application& application) {
    Bytes bytes;
    EXPECT_TRUE(application.write(bytes).has_value());
    return bytes;
}

// Index of the first data word of the root struct, after checking the root pointer's shape.
std::size_t root_data(const Bytes& message) {
    const std::uint64_t root = wb::segment_word(message, 0);
    EXPECT_EQ(root & 3, 0u) << "root is a struct pointer";
    EXPECT_EQ((root >> 32) & 0xffff, 2u) << "two data words";
    EXPECT_EQ(root >> 48, 9u) << "nine pointers";
    return wb::pointer_target(0, root);
}

std::string text_at(const Bytes& message, std::size_t pointer_index) {
    const std::uint64_t pointer = wb::segment_word(message, pointer_index);
    EXPECT_EQ(pointer & 3, 1u);
    EXPECT_EQ((pointer >> 32) & 7, std::uint64_t{wb::Byte});
    const auto length = static_cast<std::size_t>(pointer >> 35);
    const std::size_t start = 8 + 8 * wb::pointer_target(pointer_index, pointer);
    EXPECT_EQ(message[start + length - 1], 0) << "texts end in NUL";
    return std::string(message.begin() + static_cast<std::ptrdiff_t>(start),
                       message.begin() + static_cast<std::ptrdiff_t>(start + length - 1));
}

TEST(ApplicationLayout, SmallPackageIsOneSegmentWithTheFixedHeader) {
    const Bytes message = written(minimal_application());
    // Segment table: segment count minus one, then the only segment's size in words.
    EXPECT_EQ((Bytes(message.begin(), message.begin() + 4)), (Bytes{0, 0, 0, 0}));
    std::uint32_t words = 0;
    std::memcpy(&words, message.data() + 4, 4);
    EXPECT_EQ(8 + std::size_t{words} * 8, message.size());

    const std::size_t data = root_data(message);
    EXPECT_EQ(wb::segment_word(message, data), wb::pack32(3, 0x4c000));
    EXPECT_EQ(wb::segment_word(message, data + 1), wb::pack32(0x9c000, 0));
    EXPECT_EQ(text_at(message, data + 2), "0.1.0");
    EXPECT_EQ(text_at(message, data + 3), "vexa21");
    for (std::size_t pointer = 0; pointer < 9; ++pointer) {
        EXPECT_NE(wb::segment_word(message, data + 2 + pointer), 0u)
            << "every pointer is written, pointer " << pointer;
    }
}

// Data word holding a host call's invocations, for the single call of a batched package.
std::uint64_t invocation_word(std::uint32_t invocations) {
    Application application = batched_application();
    application.host_exchange.calls[0].invocations = invocations;
    const Bytes message = written(application);
    const std::size_t data = root_data(message);
    const std::size_t exchange_pointer = data + 2 + 6;
    const std::size_t exchange =
        wb::pointer_target(exchange_pointer, wb::segment_word(message, exchange_pointer));
    const std::size_t calls_pointer = exchange + 2 + 2;
    const std::uint64_t calls = wb::segment_word(message, calls_pointer);
    EXPECT_EQ((calls >> 32) & 7, std::uint64_t{wb::Composite});
    const std::size_t tag = wb::pointer_target(calls_pointer, calls);
    EXPECT_EQ(wb::segment_word(message, tag), wb::composite_tag(1, 2, 5));
    return wb::segment_word(message, tag + 1 + 1);
}

TEST(ApplicationLayout, InvocationsAreStoredExclusiveOrOne) {
    EXPECT_EQ(invocation_word(1), 0u);
    EXPECT_EQ(invocation_word(0xffffffff), 0xfffffffeu);
    EXPECT_EQ(invocation_word(2), 3u);

    // Zero invocations never pass validation, so check the schema's own encoding of it.
    capnp::MallocMessageBuilder message;
    auto call = message.initRoot<application_capnp::HostCall>();
    call.setInvocations(0);
    const auto words = capnp::messageToFlatArray(message);
    const Bytes bytes(words.asBytes().begin(), words.asBytes().end());
    EXPECT_EQ(wb::segment_word(bytes, 1 + 1), 1u);
}

// A valid package laid out by hand whose one host call "load" stores `invocation_bits` in
// the invocations slot, the low half of the call's second data word.
Bytes package_with_invocation_bits(std::uint32_t invocation_bits) {
    const std::vector<std::uint64_t> words = {
        wb::struct_pointer(0, 2, 9),            // 0: root
        wb::pack32(3, 0x4c000),                 // 1: schemaVersion, tileMemoryBase
        wb::pack32(0x9c000, 0),                 // 2: tileMemorySize
        0,                                      // 3: compilerVersion, null
        wb::list_pointer(7, wb::Byte, 7),       // 4: target -> 12
        wb::list_pointer(7, wb::Composite, 3),  // 5: tiles -> 13
        0,
        0,
        0,                             // 6-8: inputs, outputs, weights
        wb::struct_pointer(11, 2, 3),  // 9: hostExchange -> 21
        0,
        0,                                      // 10-11: entryPoints, deviceConfigWrites
        wb::text_words("vexa21")[0],            // 12
        wb::composite_tag(1, 2, 1),             // 13: one TileImage
        wb::pack32(0, 0x4c000),                 // 14: physicalTile 0, entryPoint
        0,                                      // 15: commandAddress, diagnosticAddress
        wb::list_pointer(0, wb::Composite, 3),  // 16: segments -> 17
        wb::composite_tag(1, 2, 1),             // 17: one Segment
        wb::pack32(0x4c000, 8),                 // 18: address, memorySize
        0,                                      // 19: flags
        0,                                      // 20: data, null
        0,                                      // 21: startupMark, commandPage 0
        0,                                      // 22: commandOffset 0
        wb::list_pointer(2, wb::Composite, 2),  // 23: pages -> 26
        0,                                      // 24: attachOrder, null
        wb::list_pointer(3, wb::Composite, 7),  // 25: calls -> 29
        wb::composite_tag(1, 2, 0),             // 26: one HostPage
        0,                                      // 27: index 0
        0x1000,                                 // 28: size
        wb::composite_tag(1, 2, 5),             // 29: one HostCall
        wb::pack32(6, 2),                       // 30: command, phases
        wb::pack32(invocation_bits, 0),         // 31: invocations
        wb::list_pointer(4, wb::Byte, 5),       // 32: name -> 37
        0,
        0,
        0,
        0,                          // 33-36: inputs, outputs, batch ends, null
        wb::text_words("load")[0],  // 37
    };
    return wb::frame(words);
}

TEST(ApplicationLayout, StoredInvocationsAreReadExclusiveOrOne) {
    Application expected;
    expected.compiler_version = "";
    expected.tiles = {
        TileImage{.physical_tile = 0,
                  .entry_point = 0x4c000,
                  .segments = {Segment{.address = 0x4c000, .memory_size = 8, .data = {}}}}};
    expected.host_exchange.pages = {HostPage{.index = 0, .size = 0x1000}};
    expected.host_exchange.calls = {HostCall{.name = "load",
                                             .command = 6,
                                             .phases = 2,
                                             .inputs = {},
                                             .outputs = {},
                                             .input_batch_ends = {},
                                             .output_batch_ends = {}}};
    for (const auto& [bits, invocations] :
         {std::pair{0u, 1u}, std::pair{3u, 2u}, std::pair{0xffffffffu, 0xfffffffeu}}) {
        SCOPED_TRACE(bits);
        const auto read = Application::read(package_with_invocation_bits(bits));
        ASSERT_TRUE(read.has_value()) << to_string(read.error());
        expected.host_exchange.calls[0].invocations = invocations;
        EXPECT_EQ(*read, expected);
    }
    // Bits 1 store zero invocations, which validation refuses after reading.
    const auto read = Application::read(package_with_invocation_bits(1));
    ASSERT_FALSE(read.has_value());
    EXPECT_EQ(read.error().kind(), PackageError::Kind::Invalid);
    EXPECT_EQ(read.error().message(), "host call load has no invocations");
}

TEST(ApplicationLayout, HandAssembledPackageReadsAsTheModel) {
    // Root, its text and a tile list with one tile holding one segment of four bytes, laid
    // out by hand from the struct tables: the reader must agree with this layout.
    std::vector<std::uint64_t> words = {
        wb::struct_pointer(0, 2, 9),            // 0: root
        wb::pack32(3, 0x4c000),                 // 1: schemaVersion, tileMemoryBase
        wb::pack32(0x9c000, 0),                 // 2: tileMemorySize
        wb::list_pointer(8, wb::Byte, 4),       // 3: compilerVersion -> 12
        wb::list_pointer(8, wb::Byte, 7),       // 4: target -> 13
        wb::list_pointer(8, wb::Composite, 3),  // 5: tiles -> 14
        0,
        0,
        0,                             // 6-8: inputs, outputs, weights
        wb::struct_pointer(15, 2, 3),  // 9: hostExchange -> 25
        0,
        0,                                      // 10-11: entryPoints, deviceConfigWrites
        0x0000000000332e31ULL,                  // 12: "1.3"
        0x0031326178657600ULL >> 8,             // 13: "vexa21"
        wb::composite_tag(1, 2, 1),             // 14: one TileImage
        wb::pack32(9, 0x4c000),                 // 15: physicalTile 9, entryPoint
        wb::pack32(0x4c100, 0x4c200),           // 16: commandAddress, diagnosticAddress
        wb::list_pointer(0, wb::Composite, 3),  // 17: segments -> 18
        wb::composite_tag(1, 2, 1),             // 18: one Segment
        wb::pack32(0x4c000, 8),                 // 19: address, memorySize
        wb::pack32(5, 0),                       // 20: flags
        wb::list_pointer(0, wb::Byte, 4),       // 21: data -> 22
        0x0000000004030201ULL,                  // 22: 1 2 3 4
        0,
        0,  // 23-24: padding
        wb::pack32(11, 0),
        0,  // 25-26: startupMark 11
        0,
        0,
        0,  // 27-29: null lists
    };
    const auto read = Application::read(wb::frame(words));
    ASSERT_TRUE(read.has_value()) << to_string(read.error());
    Application expected = minimal_application();
    expected.compiler_version = "1.3";
    expected.tiles[0].physical_tile = 9;
    expected.host_exchange.startup_mark = 11;
    EXPECT_EQ(*read, expected);
}

}  // namespace
}  // namespace vexa_package
