#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "vexa_package/application.hpp"

namespace vexa_package {
namespace {

constexpr std::uint64_t u64_max = std::numeric_limits<std::uint64_t>::max();

HostSlice host_slice(std::uint32_t page, std::uint64_t page_offset, std::uint64_t size) {
    return HostSlice{.page = page, .page_offset = page_offset, .file_offset = 0, .size = size};
}

// One call with one input and one output slice on a page of 0x1000 bytes, every rule met.
HostCall load_call() {
    HostCall call;
    call.name = "load";
    call.inputs = {host_slice(0, 0, 0x10)};
    call.outputs = {host_slice(0, 0x10, 0x10)};
    call.input_batch_ends = {1};
    call.output_batch_ends = {1};
    return call;
}

Application with_exchange(HostExchange exchange) {
    Application application;
    application.tiles = {TileImage{.physical_tile = 0, .segments = {}}};
    application.host_exchange = std::move(exchange);
    return application;
}

HostExchange one_page_exchange(std::vector<HostCall> calls) {
    return HostExchange{
        .pages = {{.index = 0, .size = 0x1000}}, .attach_order = {}, .calls = std::move(calls)};
}

std::string outcome(const std::expected<void, PackageError>& result) {
    if (result) {
        return "ok";
    }
    EXPECT_EQ(result.error().kind(), PackageError::Kind::Invalid);
    return result.error().message();
}

std::string outcome(const HostExchange& exchange) {
    return outcome(with_exchange(exchange).validate());
}

TEST(HostExchange, PageTableIndicesAreUniqueAndAttachOrderNamesTablePages) {
    struct Case {
        std::vector<HostPage> pages;
        std::vector<std::uint32_t> attach_order;
        bool valid;
    };
    const std::vector<Case> cases = {
        {{{0, 1}, {0, 2}}, {}, false},
        {{{0, 1}, {0, 1}}, {0}, false},
        {{{0, 1}, {1, 1}}, {0, 2}, false},
        {{{0, 1}, {1, 1}}, {1, 1}, true},
        {{{0, 1}, {1, 1}}, {}, true},
        {{}, {0}, false},
        {{}, {}, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(
            outcome(HostExchange{.pages = c.pages, .attach_order = c.attach_order, .calls = {}}),
            c.valid ? "ok" : "invalid host page table");
    }
    // Checked before the startup protocol and the calls.
    HostExchange exchange = one_page_exchange({load_call()});
    exchange.pages.push_back({.index = 0, .size = 0x1000});
    exchange.command_page = 5;
    exchange.calls[0].invocations = 0;
    EXPECT_EQ(outcome(exchange), "invalid host page table");
}

TEST(HostExchange, StartupCommandWordMustFitItsPageWhenThereAreCalls) {
    struct Case {
        std::uint64_t page_size;
        std::uint32_t command_page;
        std::uint64_t command_offset;
        bool valid;
    };
    const std::vector<Case> cases = {
        {0x1000, 0, 0, true},
        {0x1000, 0, 0xffc, true},
        {0x1000, 0, 0xffd, false},
        {0x1000, 1, 0, false},
        {0, 0, 0, false},
        {4, 0, 0, true},
        {u64_max, 0, u64_max - 4, true},
        {u64_max, 0, u64_max - 3, false},
        {u64_max, 0, u64_max, false},
    };
    for (const Case& c : cases) {
        HostCall call;
        call.name = "c";
        HostExchange exchange{.command_page = c.command_page,
                              .command_offset = c.command_offset,
                              .pages = {{.index = 0, .size = c.page_size}},
                              .attach_order = {},
                              .calls = {call}};
        EXPECT_EQ(outcome(exchange), c.valid ? "ok" : "invalid host startup protocol")
            << c.page_size << " " << c.command_offset;
        // Without calls the command word is not looked at.
        exchange.calls.clear();
        EXPECT_EQ(outcome(exchange), "ok");
    }
}

TEST(HostExchange, BatchEndsTable) {
    HostCall call;
    call.name = "load";
    struct Case {
        std::vector<std::uint32_t> ends;
        std::size_t slices;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {{1, 3}, 3, "ok"},
        {{3}, 3, "ok"},
        {{1, 2, 3}, 3, "ok"},
        {{}, 0, "ok"},
        {{0, 3}, 3, "host call load has invalid output batch boundary 0"},
        {{2, 2, 3}, 3, "host call load has invalid output batch boundary 2"},
        {{2, 1, 3}, 3, "host call load has invalid output batch boundary 1"},
        {{4}, 3, "host call load has invalid output batch boundary 4"},
        {{1}, 0, "host call load has invalid output batch boundary 1"},
        {{0}, 0, "host call load has invalid output batch boundary 0"},
        {{1, 2}, 3, "host call load output batches cover 2 of 3 slices"},
        {{}, 1, "host call load output batches cover 0 of 1 slices"},
        {{}, 5'000'000'000ULL, "host call load output batches cover 0 of 5000000000 slices"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(outcome(validate_host_batch_ends(call, "output", c.ends, c.slices)), c.expected);
    }
}

TEST(HostExchange, CallRulesRunInOrderInvocationsInputBatchesOutputBatchesSlices) {
    HostCall call = load_call();
    call.invocations = 0;
    call.input_batch_ends = {};
    call.inputs[0].page = 9;
    EXPECT_EQ(outcome(one_page_exchange({call})), "host call load has no invocations");

    call.invocations = 1;
    call.output_batch_ends = {};
    EXPECT_EQ(outcome(one_page_exchange({call})),
              "host call load input batches cover 0 of 1 slices");

    call.input_batch_ends = {1};
    EXPECT_EQ(outcome(one_page_exchange({call})),
              "host call load output batches cover 0 of 1 slices");

    call.output_batch_ends = {1};
    EXPECT_EQ(outcome(one_page_exchange({call})), "host call load references missing page");

    // Calls are visited in list order.
    HostCall broken = load_call();
    broken.name = "second";
    broken.invocations = 0;
    EXPECT_EQ(outcome(one_page_exchange({load_call(), broken, call})),
              "host call second has no invocations");
}

TEST(HostExchange, InputSlicesAreCheckedBeforeOutputSlices) {
    HostCall call = load_call();
    call.inputs.push_back(host_slice(0, 0x1000, 1));
    call.input_batch_ends = {2};
    call.outputs[0].page = 7;
    EXPECT_EQ(outcome(one_page_exchange({call})), "host call load exceeds page bounds");
    call.inputs.pop_back();
    call.input_batch_ends = {1};
    EXPECT_EQ(outcome(one_page_exchange({call})), "host call load references missing page");
}

// A slice on a page missing from the table is reported before any page is looked up. Each
// check runs in a child process, so that looking the missing page up fails this assertion
// rather than ending the test program.
TEST(HostExchange, SliceOnAMissingPageIsReportedBeforeThePageIsLookedUp) {
    for (const bool as_output : {false, true}) {
        HostCall call = load_call();
        (as_output ? call.outputs : call.inputs)[0].page = 3;
        const HostExchange exchange = one_page_exchange({call});
        EXPECT_EXIT(
            std::exit(outcome(exchange) == "host call load references missing page" ? 0 : 1),
            ::testing::ExitedWithCode(0), "")
            << (as_output ? "output" : "input");
    }
}

TEST(HostExchange, SliceBoundsAreExactSums) {
    struct Case {
        std::uint64_t page_size;
        HostSlice slice;
        bool valid;
    };
    const std::vector<Case> cases = {
        {0x1000, host_slice(0, 0xff0, 0x10), true},
        {0x1000, host_slice(0, 0xff0, 0x11), false},
        {0x1000, host_slice(0, 0x1000, 0), true},
        {0x1000, host_slice(0, 0x1001, 0), false},
        {0, host_slice(0, 0, 0), true},
        {u64_max, host_slice(0, u64_max, 0), true},
        {u64_max, host_slice(0, u64_max, 1), false},
        {u64_max, host_slice(0, 1, u64_max), false},
        {u64_max, host_slice(0, 0, u64_max), true},
    };
    for (const Case& c : cases) {
        for (const bool as_output : {false, true}) {
            // The other direction's slice and the command word stay on a second page.
            HostCall call = load_call();
            call.inputs[0].page = 1;
            call.outputs[0].page = 1;
            (as_output ? call.outputs : call.inputs)[0] = c.slice;
            HostExchange exchange = one_page_exchange({call});
            exchange.pages = {{.index = 0, .size = c.page_size}, {.index = 1, .size = 0x1000}};
            exchange.command_page = 1;
            EXPECT_EQ(outcome(exchange), c.valid ? "ok" : "host call load exceeds page bounds")
                << c.page_size << " " << to_string(c.slice) << " output: " << as_output;
        }
    }
}

TEST(HostExchange, CallNamesNeedNotBeUniqueOrNonEmpty) {
    HostCall call = load_call();
    call.name = "";
    EXPECT_EQ(outcome(one_page_exchange({call, call})), "ok");
    call.invocations = 0;
    EXPECT_EQ(outcome(one_page_exchange({call})), "host call  has no invocations");
}

}  // namespace
}  // namespace vexa_package
