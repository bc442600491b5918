#pragma once

#include <capnp/message.h>
#include <capnp/serialize.h>

#include "application.capnp.h"
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

}  // namespace vexa_package::testing
