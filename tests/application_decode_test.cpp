#include <gtest/gtest.h>

#include "support/crafted_messages.hpp"
#include "support/recording_sink.hpp"
#include "support/sample_applications.hpp"
#include "support/wire_variants.capnp.h"
#include "vexa_package/application.hpp"

namespace vexa_package {
namespace {

using testing::framed;
using testing::set_valid_header;
namespace wire = application_capnp;

TEST(ApplicationDecode, GivesWhatReadGivesForAValidPackage) {
    Bytes bytes;
    ASSERT_TRUE(testing::rich_application().write(bytes).has_value());
    const auto read = Application::read(bytes);
    ASSERT_TRUE(read.has_value());
    const auto decoded = Application::decode(bytes);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(*decoded, *read);
}

// A package that breaks a rule: read refuses it with validation's message, decode hands back
// what it holds, and only read says anything to the event sink.
TEST(ApplicationDecode, KeepsAPackageThatBreaksARule) {
    capnp::MallocMessageBuilder message;
    auto root = message.initRoot<wire::Application>();
    set_valid_header(root);
    auto tile = root.initTiles(1)[0];
    tile.setPhysicalTile(7);
    auto segment = tile.initSegments(1)[0];
    segment.setAddress(0);
    segment.setMemorySize(16);
    const Bytes bytes = framed(message);

    testing::RecordingSink sink;
    const auto read = Application::read(bytes);
    ASSERT_FALSE(read.has_value());
    EXPECT_EQ(read.error().kind(), PackageError::Kind::Invalid);
    const std::size_t events_of_read = sink.events().size();
    EXPECT_EQ(events_of_read, 1U);

    const auto decoded = Application::decode(bytes);
    ASSERT_TRUE(decoded.has_value()) << to_string(decoded.error());
    EXPECT_EQ(sink.events().size(), events_of_read);
    ASSERT_EQ(decoded->tiles.size(), 1U);
    EXPECT_EQ(decoded->tiles[0].physical_tile, 7U);
    EXPECT_EQ(decoded->tiles[0].segments,
              (std::vector<Segment>{{.address = 0, .memory_size = 16, .data = {}}}));
    const auto valid = decoded->validate();
    ASSERT_FALSE(valid.has_value());
    EXPECT_EQ(to_string(valid.error()), to_string(read.error()));
}

TEST(ApplicationDecode, FailsAsReadFailsBeforeValidation) {
    capnp::MallocMessageBuilder message;
    auto root = message.initRoot<wire::Application>();
    set_valid_header(root);
    root.setTarget("vexa22");
    const Bytes foreign = framed(message);
    const Bytes truncated(foreign.begin(), foreign.begin() + 12);
    for (const Bytes& bytes : {foreign, truncated, Bytes{}}) {
        const auto read = Application::read(bytes);
        const auto decoded = Application::decode(bytes);
        ASSERT_FALSE(read.has_value());
        ASSERT_FALSE(decoded.has_value());
        EXPECT_EQ(to_string(decoded.error()), to_string(read.error()));
    }
}

}  // namespace
}  // namespace vexa_package
