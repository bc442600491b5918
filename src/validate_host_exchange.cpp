#include "validate_host_exchange.hpp"

#include <cstdint>
#include <string>

namespace vexa_package {
namespace {

using Result = std::expected<void, PackageError>;
using detail::PageSizes;

// Whether bytes offset .. offset + length fit in `limit` bytes, with the sum taken exactly:
// a sum beyond 64 bits never fits.
bool range_fits(std::uint64_t offset, std::uint64_t length, std::uint64_t limit) noexcept {
    return offset <= limit && length <= limit - offset;
}

Result check_page_table(const HostExchange& exchange, PageSizes& pages) {
    for (const HostPage& page : exchange.pages) {
        if (!pages.insert(page.index, page.size)) {
            return std::unexpected(PackageError::invalid("invalid host page table"));
        }
    }
    for (const std::uint32_t index : exchange.attach_order) {
        if (!pages.contains(index)) {
            return std::unexpected(PackageError::invalid("invalid host page table"));
        }
    }
    return {};
}

Result check_startup_protocol(const HostExchange& exchange, const PageSizes& pages) {
    constexpr std::uint64_t command_word_bytes = 4;
    const std::uint64_t* page_size = pages.find(exchange.command_page);
    if (page_size == nullptr ||
        !range_fits(exchange.command_offset, command_word_bytes, *page_size)) {
        return std::unexpected(PackageError::invalid("invalid host startup protocol"));
    }
    return {};
}

Result check_slices(const HostCall& call, const std::vector<HostSlice>& slices,
                    const PageSizes& pages) {
    for (const HostSlice& slice : slices) {
        const std::uint64_t* page_size = pages.find(slice.page);
        if (page_size == nullptr) {
            return std::unexpected(
                PackageError::invalid("host call " + call.name + " references missing page"));
        }
        if (!range_fits(slice.page_offset, slice.size, *page_size)) {
            return std::unexpected(
                PackageError::invalid("host call " + call.name + " exceeds page bounds"));
        }
    }
    return {};
}

Result check_call(const HostCall& call, const PageSizes& pages) {
    if (call.invocations == 0) {
        return std::unexpected(
            PackageError::invalid("host call " + call.name + " has no invocations"));
    }
    if (auto checked =
            validate_host_batch_ends(call, "input", call.input_batch_ends, call.inputs.size());
        !checked) {
        return checked;
    }
    if (auto checked =
            validate_host_batch_ends(call, "output", call.output_batch_ends, call.outputs.size());
        !checked) {
        return checked;
    }
    if (auto checked = check_slices(call, call.inputs, pages); !checked) {
        return checked;
    }
    return check_slices(call, call.outputs, pages);
}

}  // namespace

std::expected<void, PackageError> validate_host_batch_ends(const HostCall& call,
                                                           std::string_view direction,
                                                           std::span<const std::uint32_t> ends,
                                                           std::size_t slice_count) {
    std::uint32_t previous = 0;
    for (const std::uint32_t end : ends) {
        if (end <= previous || end > slice_count) {
            return std::unexpected(PackageError::invalid("host call " + call.name +
                                                         " has invalid " + std::string(direction) +
                                                         " batch boundary " + std::to_string(end)));
        }
        previous = end;
    }
    if (previous != slice_count) {
        return std::unexpected(PackageError::invalid(
            "host call " + call.name + " " + std::string(direction) + " batches cover " +
            std::to_string(previous) + " of " + std::to_string(slice_count) + " slices"));
    }
    return {};
}

namespace detail {

std::expected<void, PackageError> validate_host_exchange(const HostExchange& exchange) {
    PageSizes pages(exchange.pages.size());
    if (auto checked = check_page_table(exchange, pages); !checked) {
        return checked;
    }
    // The startup command word matters only to an application that makes host calls.
    if (exchange.calls.empty()) {
        return {};
    }
    if (auto checked = check_startup_protocol(exchange, pages); !checked) {
        return checked;
    }
    for (const HostCall& call : exchange.calls) {
        if (auto checked = check_call(call, pages); !checked) {
            return checked;
        }
    }
    return {};
}

}  // namespace detail
}  // namespace vexa_package
