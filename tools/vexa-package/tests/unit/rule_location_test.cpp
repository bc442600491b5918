#include "package/rule_location.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <system_error>
#include <vector>

namespace vexa_cli {
namespace {

using namespace vexa_package;

constexpr std::uint32_t MAX32 = std::numeric_limits<std::uint32_t>::max();
constexpr std::uint64_t MAX64 = std::numeric_limits<std::uint64_t>::max();

// Tiles 0 and 5, a binding of each kind, two configuration writes and one host call with two
// batched inputs and one output: every rule has something to look at, and all are kept.
Application valid_application() {
    Application application;
    application.tiles = {
        TileImage{.physical_tile = 0,
                  .segments = {Segment{.address = 0x4c000, .memory_size = 0x100, .data = {1, 2}},
                               Segment{.address = 0x50000, .memory_size = 0x1000, .data = {}}}},
        TileImage{.physical_tile = 5,
                  .segments = {Segment{.address = 0x4c000, .memory_size = 0x10, .data = {}}}},
    };
    application.inputs = {
        Binding{.name = "x", .dtype = {}, .shape = {}, .slices = {{0, 0x60000, 0, 0x100}}}};
    application.outputs = {
        Binding{.name = "y", .dtype = {}, .shape = {}, .slices = {{5, 0x4d000, 0, 0x40}}}};
    application.weights = {
        Binding{.name = "w", .dtype = {}, .shape = {}, .slices = {{0, 0x70000, 0, 0x20}}}};
    application.device_config_writes = {{0, 1}, {4, 2}};
    application.host_exchange = HostExchange{
        .command_page = 0,
        .command_offset = 0,
        .pages = {{0, 0x1000}, {1, 0x2000}},
        .attach_order = {0, 1},
        .calls = {HostCall{.name = "load",
                           .inputs = {{1, 0, 0, 0x10}, {1, 0x1000, 0, 0x10}},
                           .outputs = {{1, 0, 0, 0x20}},
                           .invocations = 1,
                           .input_batch_ends = {2},
                           .output_batch_ends = {1}}},
    };
    return application;
}

// A model broken in one way, the library's message for it, and where the tool should say
// the break is.
struct Case {
    std::string name;
    std::function<void(Application&)> breaks;
    std::string message;
    std::string location;
};

void check(const std::vector<Case>& cases) {
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        Application application = valid_application();
        test.breaks(application);
        const auto validated = application.validate();
        ASSERT_FALSE(validated.has_value());
        EXPECT_EQ(validated.error().message(), test.message);
        EXPECT_EQ(locate_rule_failure(application, validated.error()), test.location);
        // The writer refuses with the same error, which is located the same way.
        Bytes bytes;
        const auto written = application.write(bytes);
        ASSERT_FALSE(written.has_value());
        EXPECT_EQ(locate_rule_failure(application, written.error()), test.location);
    }
}

TEST(RuleLocation, TilesPresent) {
    check({{"no tiles, bad writes too",
            [](Application& a) {
                a.tiles.clear();
                a.device_config_writes.push_back({3, 0});
            },
            "application has no tiles",
            "tiles: the list is empty; a package needs at least one tile"}});
}

TEST(RuleLocation, DeviceConfigWrites) {
    check({
        {"unaligned", [](Application& a) { a.device_config_writes.push_back({0x4016, 0}); },
         "unaligned or duplicate device configuration write",
         "device_config_writes[2]: offset 0x4016 is not a multiple of 4"},
        {"duplicate, before a bad tile",
         [](Application& a) {
             a.device_config_writes.insert(a.device_config_writes.begin(), {4, 9});
             a.tiles[0].segments[0].address = 0;
         },
         "unaligned or duplicate device configuration write",
         "device_config_writes[2]: offset 0x4 is already written by device_config_writes[0]"},
    });
}

TEST(RuleLocation, DuplicateTiles) {
    check({
        {"third tile repeats the first",
         [](Application& a) {
             a.tiles.push_back(a.tiles[0]);
             a.tiles[2].segments[0].address = 0;
         },
         "duplicate physical tile 0", "tiles[2]: physical_tile 0 is already used by tiles[0]"},
        {"a bad segment of the first wins",
         [](Application& a) {
             a.tiles.push_back(a.tiles[1]);
             a.tiles[1].segments[0].memory_size = 0;
             a.tiles[1].segments[0].address = 0x4bfff;
         },
         "invalid segment on tile 5",
         "tiles[1].segments[0]: address 0x4bfff is below the tile memory window "
         "0x4c000..0xe8000"},
    });
}

TEST(RuleLocation, Segments) {
    check({
        {"end beyond 32 bits",
         [](Application& a) {
             a.tiles[1].segments[0] = {.address = 0xffffff00, .memory_size = 0x100, .data = {}};
         },
         "segment address overflow",
         "tiles[1].segments[0]: address 0xffffff00 + memory_size 0x100 ends at 0x100000000, "
         "which does not fit in 32 bits"},
        {"one byte below the window",
         [](Application& a) { a.tiles[0].segments[1].address = 0x4bfff; },
         "invalid segment on tile 0",
         "tiles[0].segments[1]: address 0x4bfff is below the tile memory window "
         "0x4c000..0xe8000"},
        {"one byte past the window",
         [](Application& a) { a.tiles[1].segments[0].address = 0xe7ff1; },
         "invalid segment on tile 5",
         "tiles[1].segments[0]: address 0xe7ff1 + memory_size 0x10 ends at 0xe8001, past the "
         "tile memory window 0x4c000..0xe8000"},
        {"data longer than memory",
         [](Application& a) { a.tiles[0].segments[1].data = Bytes(0x1001, 7); },
         "invalid segment on tile 0",
         "tiles[0].segments[1]: data is 0x1001 bytes, more than memory_size 0x1000"},
        {"segments at the bounds pass, a later tile breaks",
         [](Application& a) {
             auto& segments = a.tiles[0].segments;
             segments[0].data = Bytes(0x100, 1);
             segments.push_back({.address = 0xe7000, .memory_size = 0x1000, .data = {}});
             segments.push_back({.address = 0xe8000, .memory_size = 0, .data = {}});
             segments.push_back({.address = 0x51000, .memory_size = 0x10, .data = {}});
             segments.push_back({.address = 0x50800, .memory_size = 0, .data = {}});
             a.tiles[1].segments[0].address = 0;
         },
         "invalid segment on tile 5",
         "tiles[1].segments[0]: address 0x0 is below the tile memory window 0x4c000..0xe8000"},
        {"an earlier tile wins",
         [](Application& a) {
             a.tiles[0].segments[0].data = Bytes(0x101, 1);
             a.tiles[1].segments[0].address = 0;
         },
         "invalid segment on tile 0",
         "tiles[0].segments[0]: data is 0x101 bytes, more than memory_size 0x100"},
    });
}

TEST(RuleLocation, Overlaps) {
    check({
        {"listed twice",
         [](Application& a) { a.tiles[1].segments.push_back(a.tiles[1].segments[0]); },
         "overlapping segments on tile 5: 0x4c000..0x4c010 and 0x4c000..0x4c010",
         "tiles[1].segments[0] and tiles[1].segments[1]: ranges 0x4c000..0x4c010 and "
         "0x4c000..0x4c010 overlap by 0x10 bytes"},
        {"first neighbours in address order, not in list order",
         [](Application& a) {
             // [1] covers [2] and [3]; [3] lies below [2], so [1] and [3] are reported.
             a.tiles[0].segments.push_back({.address = 0x50800, .memory_size = 0x10, .data = {}});
             a.tiles[0].segments.push_back({.address = 0x50400, .memory_size = 0x10, .data = {}});
             a.tiles[0].segments.push_back({.address = 0x50ff8, .memory_size = 0, .data = {}});
         },
         "overlapping segments on tile 0: 0x50000..0x51000 and 0x50400..0x50410",
         "tiles[0].segments[1] and tiles[0].segments[3]: ranges 0x50000..0x51000 and "
         "0x50400..0x50410 overlap by 0x10 bytes"},
        {"partial overlap listed high first",
         [](Application& a) {
             a.tiles[1].segments.insert(a.tiles[1].segments.begin(),
                                        {.address = 0x4c008, .memory_size = 0x10, .data = {}});
         },
         "overlapping segments on tile 5: 0x4c000..0x4c010 and 0x4c008..0x4c018",
         "tiles[1].segments[1] and tiles[1].segments[0]: ranges 0x4c000..0x4c010 and "
         "0x4c008..0x4c018 overlap by 0x8 bytes"},
    });
}

TEST(RuleLocation, BindingNames) {
    check({
        {"empty", [](Application& a) { a.outputs[0].name.clear(); }, "empty or duplicate binding ",
         "outputs[0]: name is empty"},
        {"a weight named like an input", [](Application& a) { a.weights[0].name = "x"; },
         "empty or duplicate binding x", "weights[0]: name is already used by inputs[0]"},
    });
}

TEST(RuleLocation, BindingSlices) {
    check({
        {"size of 2^32", [](Application& a) { a.weights[0].slices[0].size = 1ULL << 32; },
         "binding w slice is too large",
         "weights[0].slices[0]: size 0x100000000 does not fit in 32 bits"},
        {"end beyond 32 bits",
         [](Application& a) { a.inputs[0].slices.push_back({0, 0xfffffff0, 0, 0x20}); },
         "binding address overflow",
         "inputs[0].slices[1]: tile_address 0xfffffff0 + size 0x20 ends at 0x100000010, "
         "which does not fit in 32 bits"},
        {"slices at the bounds pass, a later one breaks",
         [](Application& a) {
             a.inputs[0].slices.push_back({5, 0xe7f00, 0, 0x100});
             a.inputs[0].slices.push_back({0, 0xe8000, 0, 0});
             a.inputs[0].slices.push_back({5, 0x4c000, 0, 0x9c000});
             a.weights[0].slices[0].tile = 1;
         },
         "binding w references invalid tile memory",
         "weights[0].slices[0]: tile 1 is not the physical_tile of any entry of tiles"},
        {"unknown tile", [](Application& a) { a.outputs[0].slices[0].tile = 4; },
         "binding y references invalid tile memory",
         "outputs[0].slices[0]: tile 4 is not the physical_tile of any entry of tiles"},
        {"one byte below the window",
         [](Application& a) { a.inputs[0].slices[0].tile_address = 0x4bfff; },
         "binding x references invalid tile memory",
         "inputs[0].slices[0]: tile_address 0x4bfff is below the tile memory window "
         "0x4c000..0xe8000"},
        {"one byte past the window",
         [](Application& a) { a.weights[0].slices[0] = {5, 0xe7f00, 0, 0x101}; },
         "binding w references invalid tile memory",
         "weights[0].slices[0]: tile_address 0xe7f00 + size 0x101 ends at 0xe8001, past the "
         "tile memory window 0x4c000..0xe8000"},
    });
}

TEST(RuleLocation, HostPageTable) {
    check({
        {"index repeated", [](Application& a) { a.host_exchange.pages.push_back({1, 0x10}); },
         "invalid host page table",
         "host_exchange.pages[2]: index 1 is already used by host_exchange.pages[1]"},
        {"attach order names no page",
         [](Application& a) { a.host_exchange.attach_order = {1, 1, 2}; },
         "invalid host page table",
         "host_exchange.attach_order[2]: page 2 is not in host_exchange.pages"},
    });
}

TEST(RuleLocation, StartupProtocol) {
    check({
        {"no command page", [](Application& a) { a.host_exchange.command_page = 7; },
         "invalid host startup protocol",
         "host_exchange.command_page: page 7 is not in host_exchange.pages, which must hold the "
         "command word when there are host calls"},
        {"one byte past the page",
         [](Application& a) {
             a.host_exchange.command_page = 1;
             a.host_exchange.command_offset = 0x1ffd;
         },
         "invalid host startup protocol",
         "host_exchange.command_offset: the 4-byte command word at 0x1ffd ends at 0x2001, past "
         "the size 0x2000 of page 1 (host_exchange.pages[1])"},
        {"end beyond 64 bits", [](Application& a) { a.host_exchange.command_offset = MAX64 - 1; },
         "invalid host startup protocol",
         "host_exchange.command_offset: the 4-byte command word at 0xfffffffffffffffe ends at "
         "0x10000000000000002, past the size 0x1000 of page 0 (host_exchange.pages[0])"},
    });
}

TEST(RuleLocation, HostCallInvocations) {
    check({{"no invocations, bad batches too",
            [](Application& a) {
                a.host_exchange.calls[0].invocations = 0;
                a.host_exchange.calls[0].input_batch_ends = {0};
            },
            "host call load has no invocations",
            "host_exchange.calls[0]: invocations is 0; a call runs at least once"}});
}

TEST(RuleLocation, HostBatchBoundaries) {
    const auto ends = [](std::vector<std::uint32_t> inputs, std::vector<std::uint32_t> outputs) {
        return [inputs, outputs](Application& a) {
            a.host_exchange.calls[0].input_batch_ends = inputs;
            a.host_exchange.calls[0].output_batch_ends = outputs;
        };
    };
    check({
        {"first end 0", ends({0, 2}, {1}), "host call load has invalid input batch boundary 0",
         "host_exchange.calls[0].input_batch_ends[0]: end 0 leaves the first batch empty"},
        {"repeated end", ends({1, 1, 2}, {1}), "host call load has invalid input batch boundary 1",
         "host_exchange.calls[0].input_batch_ends[1]: end 1 is not above the previous end 1"},
        {"end past the output slices", ends({1, 2}, {2}),
         "host call load has invalid output batch boundary 2",
         "host_exchange.calls[0].output_batch_ends[0]: end 2 is more than the 1 slice in "
         "outputs"},
        {"input problem before output problem", ends({3}, {2}),
         "host call load has invalid input batch boundary 3",
         "host_exchange.calls[0].input_batch_ends[0]: end 3 is more than the 2 slices in "
         "inputs"},
        {"stops short", ends({1}, {1}), "host call load input batches cover 1 of 2 slices",
         "host_exchange.calls[0].input_batch_ends: the last end is 1, but there are 2 slices in "
         "inputs; the last end must be 2"},
        {"empty list with a slice", ends({2}, {}),
         "host call load output batches cover 0 of 1 slices",
         "host_exchange.calls[0].output_batch_ends: the list is empty, but there is 1 slice in "
         "outputs; the last end must be 1"},
    });
}

TEST(RuleLocation, HostSlices) {
    check({
        {"missing page", [](Application& a) { a.host_exchange.calls[0].inputs[1].page = 3; },
         "host call load references missing page",
         "host_exchange.calls[0].inputs[1]: page 3 is not in host_exchange.pages"},
        {"one byte past the page, inputs before outputs",
         [](Application& a) {
             a.host_exchange.calls[0].inputs[1].size = 0x1001;
             a.host_exchange.calls[0].outputs[0].page = 3;
         },
         "host call load exceeds page bounds",
         "host_exchange.calls[0].inputs[1]: page_offset 0x1000 + size 0x1001 ends at 0x2001, "
         "past the size 0x2000 of page 1 (host_exchange.pages[1])"},
        {"command word and slice at the page ends pass, a later slice breaks",
         [](Application& a) {
             a.host_exchange.command_offset = 0xffc;
             a.host_exchange.calls[0].inputs[1].size = 0x1000;
             a.host_exchange.calls[0].inputs.push_back({0, 0x1000, 0, 0});
             a.host_exchange.calls[0].input_batch_ends = {3};
             a.host_exchange.calls[0].outputs[0].page = 3;
         },
         "host call load references missing page",
         "host_exchange.calls[0].outputs[0]: page 3 is not in host_exchange.pages"},
        {"output end beyond 64 bits, in the second call",
         [](Application& a) {
             HostCall second = a.host_exchange.calls[0];
             second.name = "store";
             second.outputs[0] = {0, MAX64, 0, 1};
             a.host_exchange.calls.push_back(second);
         },
         "host call store exceeds page bounds",
         "host_exchange.calls[1].outputs[0]: page_offset 0xffffffffffffffff + size 0x1 ends at "
         "0x10000000000000000, past the size 0x1000 of page 0 (host_exchange.pages[0])"},
    });
}

TEST(RuleLocation, NothingToLocate) {
    const Application valid = valid_application();
    ASSERT_TRUE(valid.validate().has_value());
    EXPECT_EQ(locate_rule_failure(valid, PackageError::invalid("application has no tiles")),
              std::nullopt);

    Application broken = valid;
    broken.tiles[1].physical_tile = 0;
    const auto error = broken.validate().error();
    // Errors of other kinds, of other operations, and of another model.
    EXPECT_EQ(locate_rule_failure(broken, PackageError(std::make_error_code(std::errc::io_error))),
              std::nullopt);
    EXPECT_EQ(locate_rule_failure(broken, PackageError(NotInSchema{9})), std::nullopt);
    EXPECT_EQ(locate_rule_failure(broken, PackageError::invalid("incompatible package header")),
              std::nullopt);
    EXPECT_EQ(locate_rule_failure(broken, PackageError::invalid("unknown tile 5")), std::nullopt);
    EXPECT_EQ(locate_rule_failure(valid, error), std::nullopt);
    EXPECT_EQ(locate_rule_failure(broken, PackageError::invalid("duplicate physical tile 5")),
              std::nullopt);
    EXPECT_TRUE(locate_rule_failure(broken, error).has_value());
}

// One field of one record set to a value near some bound.
struct Change {
    std::string record;
    std::function<void(Application&, std::uint64_t)> apply;
};

std::uint32_t low32(std::uint64_t value) {
    return static_cast<std::uint32_t>(value);
}

// Random single changes of the valid model, which also gets a last call without invocations
// so that the library always refuses it: the tool finds the same first break (or it would say
// nothing), at the record that changed when the change breaks a rule, else at the last call.
// Tile and page numbers are left alone, since changing one breaks the records that use it.
TEST(RuleLocation, RandomChangesAreLocatedAtTheChangedRecord) {
    const std::vector<std::uint64_t> values{
        0,       1,       2,       3,          4,       0x10,       0x20,      0xffc,
        0xffd,   0x1000,  0x1001,  0x2000,     0x4bfff, 0x4c000,    0x4c008,   0x50ff0,
        0x9c000, 0xe7ff0, 0xe8000, 0xfffffff0, MAX32,   1ULL << 32, MAX64 - 3, MAX64};
    using A = Application&;
    using V = std::uint64_t;
    const std::vector<Change> changes{
        {"device_config_writes[1]", [](A a, V v) { a.device_config_writes[1].offset = low32(v); }},
        {"tiles[0].segments[1]", [](A a, V v) { a.tiles[0].segments[1].address = low32(v); }},
        {"tiles[1].segments[0]", [](A a, V v) { a.tiles[1].segments[0].memory_size = low32(v); }},
        {"tiles[0].segments[0]", [](A a, V v) { a.tiles[0].segments[0].data.resize(v % 0x400); }},
        {"outputs[0].slices[0]", [](A a, V v) { a.outputs[0].slices[0].tile_address = low32(v); }},
        {"weights[0].slices[0]", [](A a, V v) { a.weights[0].slices[0].size = v; }},
        {"inputs[0].slices[0]", [](A a, V v) { a.inputs[0].slices[0].tile = low32(v); }},
        {"weights[0]",
         [](A a, V v) { a.weights[0].name = v % 3 == 0   ? ""
                                            : v % 3 == 1 ? "x"
                                                         : "y"; }},
        {"host_exchange.attach_order[0]",
         [](A a, V v) { a.host_exchange.attach_order[0] = low32(v); }},
        {"host_exchange.command_offset", [](A a, V v) { a.host_exchange.command_offset = v; }},
        {"host_exchange.calls[0]",
         [](A a, V v) { a.host_exchange.calls[0].invocations = low32(v); }},
        {"host_exchange.calls[0].input_batch_ends",
         [](A a, V v) { a.host_exchange.calls[0].input_batch_ends.push_back(low32(v)); }},
        {"host_exchange.calls[0].output_batch_ends",
         [](A a, V v) { a.host_exchange.calls[0].output_batch_ends[0] = low32(v); }},
        {"host_exchange.calls[0].inputs[0]",
         [](A a, V v) { a.host_exchange.calls[0].inputs[0].page = low32(v); }},
        {"host_exchange.calls[0].outputs[0]",
         [](A a, V v) { a.host_exchange.calls[0].outputs[0].page_offset = v; }},
        {"host_exchange.calls[0].inputs[1]",
         [](A a, V v) { a.host_exchange.calls[0].inputs[1].size = v; }},
    };
    std::mt19937_64 random(23);
    int broken_by_change = 0;
    for (int round = 0; round < 2000; ++round) {
        Application application = valid_application();
        application.host_exchange.calls.push_back({.name = "last",
                                                   .inputs = {},
                                                   .outputs = {},
                                                   .invocations = 0,
                                                   .input_batch_ends = {},
                                                   .output_batch_ends = {}});
        const std::uint64_t value = values[random() % values.size()];
        const Change& change = changes[random() % changes.size()];
        change.apply(application, value);
        const std::string& changed = change.record;
        const auto validated = application.validate();
        ASSERT_FALSE(validated.has_value());
        const auto location = locate_rule_failure(application, validated.error());
        ASSERT_TRUE(location.has_value()) << validated.error().message() << " after " << changed;
        if (validated.error().message() == "host call last has no invocations") {
            EXPECT_EQ(*location,
                      "host_exchange.calls[1]: invocations is 0; a call runs at least once");
        } else {
            ++broken_by_change;
            EXPECT_NE(location->find(changed), std::string::npos)
                << *location << " does not name " << changed;
        }
    }
    EXPECT_GT(broken_by_change, 500);
}

}  // namespace
}  // namespace vexa_cli
