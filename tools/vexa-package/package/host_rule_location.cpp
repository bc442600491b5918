#include "package/host_rule_location.hpp"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "output/text_format.hpp"

namespace vexa_cli {
namespace {

using namespace vexa_package;

// Each page index with the position of its entry in the page table.
using PagePositions = std::unordered_map<std::uint32_t, std::size_t>;

// Whether `length` bytes from `offset` fit in `limit` bytes, the sum taken exactly.
bool range_fits(std::uint64_t offset, std::uint64_t length, std::uint64_t limit) {
    return offset <= limit && length <= limit - offset;
}

std::string missing_page_text(std::uint32_t index) {
    return "page " + std::to_string(index) + " is not in host_exchange.pages";
}

// "past the size 0x1000 of page 1 (host_exchange.pages[0])"
std::string page_bound_text(const HostExchange& exchange, std::uint32_t index,
                            std::size_t position) {
    return "past the size " + hex_number(exchange.pages[position].size) + " of page " +
           std::to_string(index) + " (" + element("host_exchange.pages", position) + ")";
}

// Page indices must be unique, and the attach order may name only pages of the table.
std::optional<RuleBreak> page_table_break(const HostExchange& exchange, PagePositions& pages) {
    const std::string message = "invalid host page table";
    for (std::size_t position = 0; position < exchange.pages.size(); ++position) {
        const std::uint32_t index = exchange.pages[position].index;
        if (const auto [first, added] = pages.try_emplace(index, position); !added) {
            return located(message, element("host_exchange.pages", position),
                           "index " + std::to_string(index) + " is already used by " +
                               element("host_exchange.pages", first->second));
        }
    }
    for (std::size_t position = 0; position < exchange.attach_order.size(); ++position) {
        const std::uint32_t index = exchange.attach_order[position];
        if (!pages.contains(index)) {
            return located(message, element("host_exchange.attach_order", position),
                           missing_page_text(index));
        }
    }
    return std::nullopt;
}

std::optional<RuleBreak> startup_break(const HostExchange& exchange, const PagePositions& pages) {
    const std::string message = "invalid host startup protocol";
    const auto page = pages.find(exchange.command_page);
    if (page == pages.end()) {
        return located(message, "host_exchange.command_page",
                       missing_page_text(exchange.command_page) +
                           ", which must hold the command word when there are host calls");
    }
    constexpr std::uint64_t command_word_bytes = 4;
    if (!range_fits(exchange.command_offset, command_word_bytes,
                    exchange.pages[page->second].size)) {
        return located(message, "host_exchange.command_offset",
                       "the 4-byte command word at " + hex_number(exchange.command_offset) +
                           " ends at " + end_text(exchange.command_offset, command_word_bytes) +
                           ", " + page_bound_text(exchange, page->first, page->second));
    }
    return std::nullopt;
}

// One direction of a call: "input" with the inputs and their batch ends, or the outputs.
struct Direction {
    std::string_view word;
    std::string_view slices_field;
    std::string_view ends_field;
    const std::vector<HostSlice>& slices;
    const std::vector<std::uint32_t>& ends;
};

// Batch ends must rise strictly from above 0 and stop exactly at the number of slices.
std::optional<RuleBreak> batch_break(const HostCall& call, const std::string& call_path,
                                     const Direction& direction) {
    const std::size_t count = direction.slices.size();
    const std::string ends_path = call_path + "." + std::string(direction.ends_field);
    const std::string slices_text =
        counted(count, "slice") + " in " + std::string(direction.slices_field);
    std::uint32_t previous = 0;
    for (std::size_t position = 0; position < direction.ends.size(); ++position) {
        const std::uint32_t end = direction.ends[position];
        if (end <= previous || end > count) {
            const std::string end_number = std::to_string(end);
            const std::string why =
                end > count     ? "end " + end_number + " is more than the " + slices_text
                : position == 0 ? "end 0 leaves the first batch empty"
                                : "end " + end_number + " is not above the previous end " +
                                      std::to_string(previous);
            return located("host call " + call.name + " has invalid " +
                               std::string(direction.word) + " batch boundary " + end_number,
                           element(ends_path, position), why);
        }
        previous = end;
    }
    if (previous != count) {
        const std::string last = direction.ends.empty()
                                     ? std::string("the list is empty")
                                     : "the last end is " + std::to_string(previous);
        return located("host call " + call.name + " " + std::string(direction.word) +
                           " batches cover " + std::to_string(previous) + " of " +
                           std::to_string(count) + " slices",
                       ends_path,
                       last + ", but there " + (count == 1 ? "is " : "are ") + slices_text +
                           "; the last end must be " + std::to_string(count));
    }
    return std::nullopt;
}

// Each slice must name a page of the table and lie inside it.
std::optional<RuleBreak> slices_break(const HostCall& call, const std::string& call_path,
                                      const Direction& direction, const HostExchange& exchange,
                                      const PagePositions& pages) {
    for (std::size_t position = 0; position < direction.slices.size(); ++position) {
        const HostSlice& slice = direction.slices[position];
        const auto path = [&] {
            return element(call_path + "." + std::string(direction.slices_field), position);
        };
        const auto page = pages.find(slice.page);
        if (page == pages.end()) {
            return located("host call " + call.name + " references missing page", path(),
                           missing_page_text(slice.page));
        }
        if (!range_fits(slice.page_offset, slice.size, exchange.pages[page->second].size)) {
            return located("host call " + call.name + " exceeds page bounds", path(),
                           "page_offset " + hex_number(slice.page_offset) + " + size " +
                               hex_number(slice.size) + " ends at " +
                               end_text(slice.page_offset, slice.size) + ", " +
                               page_bound_text(exchange, page->first, page->second));
        }
    }
    return std::nullopt;
}

// Invocations first, then the input and output batches, then the input and output slices.
std::optional<RuleBreak> call_break(const HostExchange& exchange, std::size_t position,
                                    const PagePositions& pages) {
    const HostCall& call = exchange.calls[position];
    const std::string path = element("host_exchange.calls", position);
    if (call.invocations == 0) {
        return located("host call " + call.name + " has no invocations", path,
                       "invocations is 0; a call runs at least once");
    }
    const Direction inputs{"input", "inputs", "input_batch_ends", call.inputs,
                           call.input_batch_ends};
    const Direction outputs{"output", "outputs", "output_batch_ends", call.outputs,
                            call.output_batch_ends};
    if (auto broken = batch_break(call, path, inputs)) {
        return broken;
    }
    if (auto broken = batch_break(call, path, outputs)) {
        return broken;
    }
    if (auto broken = slices_break(call, path, inputs, exchange, pages)) {
        return broken;
    }
    return slices_break(call, path, outputs, exchange, pages);
}

}  // namespace

std::optional<RuleBreak> first_host_rule_break(const HostExchange& exchange) {
    PagePositions pages;
    if (auto broken = page_table_break(exchange, pages)) {
        return broken;
    }
    // The command word matters only to an application that makes host calls.
    if (exchange.calls.empty()) {
        return std::nullopt;
    }
    if (auto broken = startup_break(exchange, pages)) {
        return broken;
    }
    for (std::size_t position = 0; position < exchange.calls.size(); ++position) {
        if (auto broken = call_break(exchange, position, pages)) {
            return broken;
        }
    }
    return std::nullopt;
}

}  // namespace vexa_cli
