#pragma once

#include <capnp/message.h>
#include <capnp/serialize.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>

#include "application.capnp.h"
#include "vexa_package/application.hpp"
#include "vexa_package/constants.hpp"

namespace vexa_package::testing {

/// The message's bytes in stream framing.
inline Bytes framed(capnp::MessageBuilder& message) {
    const auto words = capnp::messageToFlatArray(message);
    return Bytes(words.asBytes().begin(), words.asBytes().end());
}

/// Sets the four header fields to the values every package must carry.
template <typename Root>
void set_valid_header(Root root) {
    root.setSchemaVersion(PACKAGE_SCHEMA_VERSION);
    root.setTarget("vexa21");
    root.setTileMemoryBase(TILE_MEMORY_BASE);
    root.setTileMemorySize(TILE_MEMORY_SIZE);
}

/// A text reader over arbitrary bytes, which need not be UTF-8; the string must outlive it.
inline capnp::Text::Reader raw_text(const std::string& bytes) {
    return capnp::Text::Reader(bytes.data(), bytes.size());
}

/// Adds one tile 0 with one valid segment, enough for validation to pass.
template <typename Root>
void add_minimal_tile(Root root) {
    auto tile = root.initTiles(1)[0];
    auto segment = tile.initSegments(1)[0];
    segment.setAddress(TILE_MEMORY_BASE);
    segment.setMemorySize(8);
}

/// Number of segments of a message in stream framing, from its segment table; 0 for a
/// message too short to hold the count.
inline std::uint32_t segment_count(const Bytes& message) {
    if (message.size() < 4) {
        return 0;
    }
    std::uint32_t count_minus_one = 0;
    std::memcpy(&count_minus_one, message.data(), 4);
    return count_minus_one + 1;
}

/// A valid package and the application it reads back as.
struct PackageBytes {
    Bytes bytes;
    Application application;
};

/// A valid package of one tile and `entry_points` entry points, built in segments of
/// `segment_words` words each: an object that does not fit the space left in a segment goes
/// to a new one, so with small segments every few entry points add a segment.
inline PackageBytes package_in_segments_of(unsigned segment_words, std::uint32_t entry_points) {
    capnp::MallocMessageBuilder message(segment_words, capnp::AllocationStrategy::FIXED_SIZE);
    auto root = message.initRoot<application_capnp::Application>();
    set_valid_header(root);
    PackageBytes package;
    package.application.compiler_version = "segmented";
    root.setCompilerVersion(package.application.compiler_version);
    const Segment segment{
        .address = TILE_MEMORY_BASE, .memory_size = 8, .data = {1, 2, 3}, .flags = 4};
    auto tile = root.initTiles(1)[0];
    tile.setPhysicalTile(5);
    auto stored = tile.initSegments(1)[0];
    stored.setAddress(segment.address);
    stored.setMemorySize(segment.memory_size);
    stored.setData(capnp::Data::Reader(segment.data.data(), segment.data.size()));
    stored.setFlags(segment.flags);
    package.application.tiles = {TileImage{.physical_tile = 5, .segments = {segment}}};
    auto list = root.initEntryPoints(entry_points);
    for (std::uint32_t i = 0; i < entry_points; ++i) {
        EntryPoint entry{.name = "entry " + std::to_string(i), .command = i, .external_syncs = ~i};
        list[i].setName(entry.name);
        list[i].setCommand(entry.command);
        list[i].setExternalSyncs(entry.external_syncs);
        package.application.entry_points.push_back(std::move(entry));
    }
    package.bytes = framed(message);
    return package;
}

/// A valid package stored in exactly `segments` segments, or an empty one when no segment
/// size tried gives that count.
inline PackageBytes package_in_segments(std::uint32_t segments) {
    // Small segments give many segments for few entry points; larger ones are needed for
    // counts below what the tile and the header alone take in small segments.
    for (const unsigned segment_words : {4u, 8u, 16u, 32u, 64u, 128u}) {
        for (std::uint32_t entry_points = 0;; ++entry_points) {
            PackageBytes package = package_in_segments_of(segment_words, entry_points);
            const std::uint32_t count = segment_count(package.bytes);
            if (count == segments) {
                return package;
            }
            if (count > segments) {
                break;
            }
        }
    }
    return {};
}

}  // namespace vexa_package::testing
