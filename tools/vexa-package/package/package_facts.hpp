#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "vexa_package/application.hpp"

namespace vexa_cli {

/// Adds without wrapping: a total too large for 64 bits stays at the largest value.
[[nodiscard]] std::uint64_t saturating_add(std::uint64_t a, std::uint64_t b);

/// What a loader sees of one tile.
struct TileFacts {
    /// Bytes of segment data stored in the package.
    std::uint64_t data_bytes = 0;
    /// Bytes the segments occupy in tile memory.
    std::uint64_t memory_bytes = 0;
    /// The lowest segment address, where the image is loaded; none without segments.
    std::optional<std::uint32_t> load_base;
    /// Length of the rebuilt image, from the load base to the highest segment end.
    std::uint64_t image_size = 0;
};
[[nodiscard]] TileFacts tile_facts(const vexa_package::TileImage& tile);

/// Where one binding lives.
struct BindingFacts {
    std::uint64_t total_bytes = 0;
    /// The tiles its slices touch, ascending, each once.
    std::vector<std::uint32_t> tiles;
};
[[nodiscard]] BindingFacts binding_facts(const vexa_package::Binding& binding);

/// One direction of a host call.
struct SliceTotals {
    std::size_t slices = 0;
    std::size_t batches = 0;
    std::uint64_t bytes = 0;
};
[[nodiscard]] SliceTotals slice_totals(const std::vector<vexa_package::HostSlice>& slices,
                                       const std::vector<std::uint32_t>& batch_ends);

}  // namespace vexa_cli
