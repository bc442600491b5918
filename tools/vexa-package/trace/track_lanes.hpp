#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

namespace vexa_cli {

/// Places the slices of each physical tile on tracks where no two of them overlap, for trace
/// formats whose slices must nest: a slice goes on the tile's own track (lane 0) when it lies
/// wholly before or after every slice there, else on the first overflow track (lane 1, 2, ...)
/// where it does. A track remembers only the time its slices span, so memory grows with the
/// number of tiles, not of slices. Slices that fit no track once a tile has `LANE_LIMIT` go on
/// its own track regardless and are counted as crowded.
class TrackLanes {
  public:
    static constexpr std::uint32_t LANE_LIMIT = 16;

    struct Placement {
        std::uint32_t lane = 0;
        /// The first slice on an overflow track: the track is to be announced before it.
        bool new_lane = false;
    };

    /// The track of a slice from `start` to `end` (not before `start`) on `physical_tile`.
    [[nodiscard]] Placement place(std::uint32_t physical_tile, std::uint64_t start,
                                  std::uint64_t end);

    [[nodiscard]] std::size_t overflow_tracks() const noexcept { return overflow_tracks_; }
    [[nodiscard]] std::size_t crowded() const noexcept { return crowded_; }

  private:
    // The times a track's slices span. A slice placed before them ends strictly before the
    // first one begins: one ending at that very time would be written after the first one's
    // begin, and a viewer would take its end for the end of that slice.
    struct Span {
        std::uint64_t first = 0;
        std::uint64_t last = 0;
    };

    std::map<std::uint32_t, std::vector<Span>> tiles_;
    // The tracks of the last tile placed on; map nodes stay where they are.
    std::uint32_t tile_ = 0;
    std::vector<Span>* spans_ = nullptr;
    std::size_t overflow_tracks_ = 0;
    std::size_t crowded_ = 0;
};

}  // namespace vexa_cli
