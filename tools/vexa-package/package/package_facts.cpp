#include "package/package_facts.hpp"

#include <algorithm>
#include <limits>

namespace vexa_cli {

std::uint64_t saturating_add(std::uint64_t a, std::uint64_t b) {
    return b > std::numeric_limits<std::uint64_t>::max() - a
               ? std::numeric_limits<std::uint64_t>::max()
               : a + b;
}

TileFacts tile_facts(const vexa_package::TileImage& tile) {
    TileFacts facts;
    for (const vexa_package::Segment& segment : tile.segments) {
        facts.data_bytes = saturating_add(facts.data_bytes, segment.data.size());
        facts.memory_bytes = saturating_add(facts.memory_bytes, segment.memory_size);
        facts.load_base = std::min(facts.load_base.value_or(segment.address), segment.address);
    }
    for (const vexa_package::Segment& segment : tile.segments) {
        // In 64 bits the end of a 32-bit range cannot wrap.
        const std::uint64_t end =
            std::uint64_t{segment.address} - *facts.load_base + segment.memory_size;
        facts.image_size = std::max(facts.image_size, end);
    }
    return facts;
}

BindingFacts binding_facts(const vexa_package::Binding& binding) {
    BindingFacts facts;
    for (const vexa_package::RegionSlice& slice : binding.slices) {
        facts.total_bytes = saturating_add(facts.total_bytes, slice.size);
        facts.tiles.push_back(slice.tile);
    }
    std::ranges::sort(facts.tiles);
    const auto repeated = std::ranges::unique(facts.tiles);
    facts.tiles.erase(repeated.begin(), repeated.end());
    return facts;
}

SliceTotals slice_totals(const std::vector<vexa_package::HostSlice>& slices,
                         const std::vector<std::uint32_t>& batch_ends) {
    SliceTotals totals{.slices = slices.size(), .batches = batch_ends.size(), .bytes = 0};
    for (const vexa_package::HostSlice& slice : slices) {
        totals.bytes = saturating_add(totals.bytes, slice.size);
    }
    return totals;
}

}  // namespace vexa_cli
