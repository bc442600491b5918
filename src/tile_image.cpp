#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>

#include "emit.hpp"
#include "hex.hpp"
#include "segment_rules.hpp"
#include "vexa_package/application.hpp"

namespace vexa_package {

std::expected<Bytes, PackageError> Application::tile_image(std::uint32_t physical_tile) const {
    const auto tile = std::ranges::find(tiles, physical_tile, &TileImage::physical_tile);
    if (tile == tiles.end()) {
        return std::unexpected(
            PackageError::invalid("unknown tile " + std::to_string(physical_tile)));
    }
    if (tile->segments.empty()) {
        return std::unexpected(PackageError::invalid("tile has no loadable segments"));
    }
    // The application may never have been validated, so every segment is held to the segment
    // rules first: then no length below wraps and every copy stays inside the image.
    std::uint32_t load_base = tile->segments.front().address;
    std::uint32_t image_end = load_base;
    for (const Segment& segment : tile->segments) {
        const auto end = detail::segment_end(segment, tile->physical_tile);
        if (!end) {
            return std::unexpected(end.error());
        }
        load_base = std::min(load_base, segment.address);
        image_end = std::max(image_end, *end);
    }

    Bytes image(image_end - load_base);
    if (EventSink* sink = detail::sink_for(Level::Trace)) {
        const std::string load_base_text = "0x" + detail::hex(load_base);
        const std::array<EventField, 3> fields{{
            {.name = "physical_tile", .value = std::uint64_t{physical_tile}},
            {.name = "load_base", .value = std::string_view(load_base_text)},
            {.name = "image_bytes", .value = std::uint64_t{image.size()}},
        }};
        detail::emit(*sink, Level::Trace, "reconstructing tile image", fields);
    }
    for (const Segment& segment : tile->segments) {
        // memcpy needs a valid pointer even for zero bytes, which empty data may not have.
        if (!segment.data.empty()) {
            std::memcpy(image.data() + (segment.address - load_base), segment.data.data(),
                        segment.data.size());
        }
    }
    return image;
}

}  // namespace vexa_package
